// The compressor's match finder as it was: hash chains over three- and
// four-byte keys. Kept for the benchmarks only, as the "before" of each
// pair, so that both finders run on the same inputs in one run.
#include "chain_matches.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "flz0.hpp"

namespace {

constexpr std::size_t kHistoryStart = kRingSize;
constexpr std::size_t kWindow = kRingSize;
constexpr std::size_t kPadding = 8;
constexpr std::size_t kZeroSource = kHistoryStart - kMaxMatch - 1;

constexpr unsigned kHashBits = 15;
constexpr std::uint32_t kNoPosition = 0;  // position 0 is never a candidate: sources start at kZeroSource

// Hash chains over the history: for each position, the previous one whose
// first `key` bytes hash alike. Candidates for a match of three bytes come
// from a chain of three-byte keys; for longer matches, from a chain of
// four-byte keys, which holds far fewer positions that match one byte.
struct Chain {
    unsigned key;
    std::vector<std::uint32_t> head;
    std::unique_ptr<std::uint32_t[]> prev;
};

Chain make_chain(unsigned key, std::size_t positions)
{
    return {key, std::vector<std::uint32_t>(std::size_t{1} << kHashBits, kNoPosition),
            std::make_unique_for_overwrite<std::uint32_t[]>(positions)};
}

std::uint32_t hash_at(const Chain& c, const std::uint8_t* p)
{
    std::uint32_t v = p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16;
    if (c.key > 3)
        v |= static_cast<std::uint32_t>(p[3]) << 24;
    return (v * 2654435761u) >> (32 - kHashBits);
}

void insert(Chain& c, const std::uint8_t* h, std::size_t pos)
{
    std::uint32_t& head = c.head[hash_at(c, h + pos)];
    c.prev[pos] = head;
    head = static_cast<std::uint32_t>(pos);
}

// The best match known at a position: its length and distance back.
struct Best {
    unsigned length;
    unsigned distance;
};

// longest_in_chain -- improve on best from the candidates of one chain:
// a source can only do better if it agrees in the byte just past best
void longest_in_chain(const Chain& c, const std::uint8_t* h, std::size_t p, unsigned limit, Best& best)
{
    for (std::uint32_t s = c.head[hash_at(c, h + p)]; s != kNoPosition && p - s <= kWindow; s = c.prev[s]) {
        if (h[s + best.length] != h[p + best.length])
            continue;
        unsigned len = common_length(h + s, h + p, limit);
        if (len > best.length) {
            best = {len, static_cast<unsigned>(p - s)};
            if (len == limit)
                return;
        }
    }
}

// any_three -- a source that agrees in three bytes, if there is one
void any_three(const Chain& c, const std::uint8_t* h, std::size_t p, Best& best)
{
    for (std::uint32_t s = c.head[hash_at(c, h + p)]; s != kNoPosition && p - s <= kWindow; s = c.prev[s])
        if (h[s] == h[p] && h[s + 1] == h[p + 1] && h[s + 2] == h[p + 2]) {
            best = {kMinMatch, static_cast<unsigned>(p - s)};
            return;
        }
}

// find_matches -- the longest match at every position of the data
Matches chain_matches_in(const std::uint8_t* h, std::size_t n)
{
    Matches m{std::make_unique_for_overwrite<std::uint8_t[]>(n), std::make_unique_for_overwrite<std::uint16_t[]>(n)};
    const std::size_t positions = kHistoryStart + n;
    Chain three = make_chain(3, positions), four = make_chain(4, positions);
    for (std::size_t s = kZeroSource; s < kHistoryStart; ++s) {
        insert(three, h, s);
        insert(four, h, s);
    }
    Best best{0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t p = kHistoryStart + i;
        const unsigned limit = static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, n - i));
        // The match found one position back, less its first byte, is still
        // a match here: start from it, extended as far as it goes.
        if (best.length > kMinMatch) {
            const unsigned known = best.length - 1;
            best.length = known + common_length(h + p + known - best.distance, h + p + known, limit - known);
        } else {
            best = {kMinMatch - 1, 0};  // anything better has three bytes
        }
        if (best.length < limit) {
            if (limit > kMinMatch)
                longest_in_chain(four, h, p, limit, best);
            if (best.length < kMinMatch)
                any_three(three, h, p, best);
        }
        insert(three, h, p);
        insert(four, h, p);
        if (best.length < kMinMatch)
            best = {0, 0};
        m.length[i] = static_cast<std::uint8_t>(best.length);
        m.distance[i] = static_cast<std::uint16_t>(best.distance);
    }
    return m;
}

}  // namespace

Matches chain_matches(std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> history(kHistoryStart + data.size() + kPadding, 0);
    std::copy(data.begin(), data.end(), history.begin() + kHistoryStart);
    return chain_matches_in(history.data(), data.size());
}
