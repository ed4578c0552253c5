// The compressor's match finders against a plain search: the longest
// match at every position, on each kind of data, by each finder.
#include "matches.hpp"

#include <algorithm>

#include <gtest/gtest.h>

#include "support.hpp"

namespace {

// plain_longest -- the longest match at each position, the plain way:
// every distance from 1 to 4096 into 4096 zero bytes and then the data,
// at most 18 bytes and never past the end
std::vector<unsigned> plain_longest(const std::string& data)
{
    const std::string h = std::string(4096, '\0') + data;
    std::vector<unsigned> longest(data.size(), 0);
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::size_t p = 4096 + i, most = std::min<std::size_t>(18, data.size() - i);
        for (std::size_t d = 1; d <= 4096; ++d) {
            std::size_t len = 0;
            while (len < most && h[p + len] == h[p + len - d])
                ++len;
            longest[i] = std::max<unsigned>(longest[i], static_cast<unsigned>(len));
        }
        if (longest[i] < 3)
            longest[i] = 0;
    }
    return longest;
}

std::string runs(std::size_t n)
{
    std::string s;
    for (std::size_t k = 0; s.size() < n; ++k)
        s += std::string(1 + k % 23, static_cast<char>('a' + k % 3)) + std::string(k % 5, 'b');
    return s.substr(0, n);
}

}  // namespace

TEST(FindMatches, EachFinderGivesTheLongestMatchEverywhereAndTheSameDistances)
{
    const std::string binary = read_file(fs::path(TEST_DATA_DIR) / "varnix.bin").value_or("").substr(20000, 5000);
    ASSERT_EQ(binary.size(), 5000u);
    const struct {
        const char* what;
        std::string data;
    } cases[] = {
        {"text", text_of(5000)},
        {"binary", binary},
        {"runs", runs(5000)},
        {"random", random_bytes(5000, 4)},
        {"zeros at the start, which the ring's zeros match", std::string(30, '\0') + "a" + std::string(40, '\0') +
                                                                 random_bytes(100, 5) + std::string(4500, '\0')},
        // Its last two bytes were once followed by a zero, as the bytes
        // past the end are in memory: no match may reach past the end.
        {"an end like an earlier place", binary + std::string("xy\0", 3) + random_bytes(300, 6) + "xy"},
        // Where the tree takes over halfway, at 5000, the only match is
        // the oldest source in the window, 4096 back.
        {"a match only at the window's edge", [] {
             std::string s = random_bytes(10000, 7);
             s.replace(5000, 12, s.substr(904, 12));
             return s;
         }()},
    };
    for (const auto& c : cases) {
        const std::vector<unsigned> expected = plain_longest(c.data);
        const std::string h = std::string(4096, '\0') + c.data;
        const Matches chains = find_matches(bytes_of(c.data), Finder::chains);
        for (Finder f : {Finder::chains, Finder::tree, Finder::automatic, Finder::halfway}) {
            const Matches m = find_matches(bytes_of(c.data), f);
            std::size_t wrong = 0;
            for (std::size_t i = 0; i < c.data.size(); ++i) {
                const unsigned len = m.length[i], d = m.distance[i];
                bool ok = len == expected[i] && m.distance[i] == chains.distance[i];
                // The distance gives a match of that length, within the ring.
                for (unsigned j = 0; ok && j < len; ++j)
                    ok = d >= 1 && d <= 4096 && h[4096 + i + j] == h[4096 + i + j - d];
                wrong += !ok;
            }
            EXPECT_EQ(wrong, 0u) << c.what << ", finder " << static_cast<int>(f);
        }
    }
}
