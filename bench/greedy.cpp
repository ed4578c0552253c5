#include "greedy.hpp"

#include <algorithm>
#include <array>

#include "flz0.hpp"
#include "le.hpp"

namespace {

// The decoder is LZ77 in disguise: a reference at ring position p, made when
// the write position is w, repeats the output from distance (w - p) mod 4096
// back (4096 when p == w), and anything before the start of the output reads
// as zero. So the encoder searches a history of kRingSize zeros followed by
// the data, and turns each distance back into a ring position.
constexpr std::size_t kHashSize = 1 << 12;
constexpr int kMaxChain = 256;
constexpr std::size_t kNone = SIZE_MAX;

struct Matcher {
    std::vector<std::uint8_t> hist;   // kRingSize zeros, then the data
    std::vector<std::size_t> head = std::vector<std::size_t>(kHashSize, kNone);
    std::vector<std::size_t> prev;    // previous position with the same hash
};

std::size_t hash3(const std::vector<std::uint8_t>& h, std::size_t i)
{
    return ((h[i] << 8) ^ (h[i + 1] << 4) ^ h[i + 2]) % kHashSize;
}

void insert(Matcher& m, std::size_t i)
{
    if (i + kMinMatch > m.hist.size())
        return;
    std::size_t k = hash3(m.hist, i);
    m.prev[i] = m.head[k];
    m.head[k] = i;
}

// longest -- best match for hist[i..], as (length, distance)
std::pair<std::size_t, std::size_t> longest(const Matcher& m, std::size_t i)
{
    std::size_t limit = std::min<std::size_t>(kMaxMatch, m.hist.size() - i);
    std::pair<std::size_t, std::size_t> best{0, 0};
    if (limit < kMinMatch)
        return best;
    std::size_t c = m.head[hash3(m.hist, i)];
    for (int chain = 0; c != kNone && chain < kMaxChain; c = m.prev[c], ++chain) {
        if (i - c > kRingSize)
            break;
        std::size_t n = 0;
        while (n < limit && m.hist[c + n] == m.hist[i + n])
            ++n;
        if (n > best.first)
            best = {n, i - c};
    }
    return best;
}

// finish -- the header, once the stream's size is known
void finish(std::vector<std::uint8_t>& file, std::size_t original)
{
    write_flz0_header(std::span(file).first<kFlz0HeaderSize>(),
                      {static_cast<std::uint16_t>(original), static_cast<std::uint16_t>(file.size() - kFlz0HeaderSize)});
}

}  // namespace

std::vector<std::uint8_t> greedy_encode(std::span<const std::uint8_t> data)
{
    Matcher m;
    m.hist.assign(kRingSize, 0);
    m.hist.insert(m.hist.end(), data.begin(), data.end());
    m.prev.assign(m.hist.size(), kNone);
    for (std::size_t i = 0; i < kRingSize; ++i)
        insert(m, i);

    std::vector<std::uint8_t> out(kFlz0HeaderSize);
    std::size_t flag_at = 0;
    unsigned item = kItemsPerGroup;
    for (std::size_t i = kRingSize; i < m.hist.size();) {
        if (item == kItemsPerGroup) {
            flag_at = out.size();
            out.push_back(0);
            item = 0;
        }
        auto [len, dist] = longest(m, i);
        if (len >= kMinMatch) {
            const Flz0Reference ref = flz0_reference(ring_position(i - kRingSize, dist), len);
            out.insert(out.end(), ref.begin(), ref.end());
        } else {
            len = 1;
            out[flag_at] |= static_cast<std::uint8_t>(1u << item);
            out.push_back(m.hist[i]);
        }
        for (std::size_t j = 0; j < len; ++j)
            insert(m, i + j);
        i += len;
        ++item;
    }
    finish(out, data.size());
    return out;
}
