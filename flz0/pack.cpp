#include "pack.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "cost_vector.hpp"
#include "flz0.hpp"
#include "le.hpp"

// The decoder is LZ77 in disguise: a reference at ring position p, made when
// the write position is w, repeats the output from distance (w - p) mod 4096
// back (4096 when p == w), and anything before the start of the output
// reads as zero. So matches are searched for in a history of 4096 zero
// bytes followed by the data, and each distance back becomes a ring
// position when the stream is written.
//
// The parse is a shortest path over the positions of the data, found in one
// backward pass: the cost of the rest of the stream from each position, for
// each count of items already written modulo eight (a flag byte is paid
// when an item starts a group). Every reference costs the same, so only
// the longest match at each position matters: every shorter length is a
// prefix of it.

namespace {

constexpr std::size_t kHistoryStart = kRingSize;  // data position 0 in the history
constexpr std::size_t kWindow = kRingSize;        // a reference reaches 1 to 4096 bytes back
constexpr std::size_t kPadding = 8;               // zeros after the history, for 8-byte reads

// Sources in the zeros that end 18 bytes or more before the data all read
// the same: the last of them stands for them all.
constexpr std::size_t kZeroSource = kHistoryStart - kMaxMatch - 1;

constexpr unsigned kHashBits = 15;
constexpr std::uint32_t kNoPosition = 0;  // position 0 is never a candidate: sources start at kZeroSource

// The longest match at each data position, and a distance back that gives it.
struct Matches {
    std::unique_ptr<std::uint8_t[]> length;  // 0 where no match of kMinMatch bytes or more exists
    std::unique_ptr<std::uint16_t[]> distance;
};

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

// common_length -- how many bytes a and b agree in, up to limit (at most
// kMaxMatch; both may be read up to 8 bytes past limit's reach)
unsigned common_length(const std::uint8_t* a, const std::uint8_t* b, unsigned limit)
{
    unsigned n = 0;
    while (n < limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (std::uint64_t diff = x ^ y) {
            n += static_cast<unsigned>(__builtin_ctzll(diff)) / 8;  // little-endian: first differing byte
            break;
        }
        n += 8;
    }
    return std::min(n, limit);
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
Matches find_matches(const std::uint8_t* h, std::size_t n)
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

using flz0_costs::Costs;
using flz0_costs::lesser;
using flz0_costs::next_item;

// A lane holds the cost less 32768, so that the signed minimum every vector
// unit has compares them; costs from kCap on are more than any file
// holds, and stay there.
constexpr int kCostBias = 32768;
constexpr std::int16_t kCap = 32764;  // stored cost: 65532, more than a file holds, less than overflow
constexpr Costs kCaps = {kCap, kCap, kCap, kCap, kCap, kCap, kCap, kCap};

int cost_in(Costs c, unsigned lane)
{
    return c[lane] + kCostBias;
}

// What an item costs, by the count of items before it, one lane on: the
// first item of a group also pays for the group's flag byte. Adding these
// to a successor's costs and then moving each lane down one (next_item)
// gives the costs of the items that lead to it.
constexpr Costs kLiteralCost = {1, 2, 1, 1, 1, 1, 1, 1};
constexpr Costs kReferenceCost = {2, 3, 2, 2, 2, 2, 2, 2};

// item_cost -- what an item started at a lane costs
int item_cost(const Costs& cost, unsigned lane)
{
    return cost[(lane + 1) % kItemsPerGroup];
}

// shortest_costs -- the backward pass: the costs from every position, given
// what is allowed at the end
std::unique_ptr<Costs[]> shortest_costs(const Matches& m, std::size_t n, Costs at_end)
{
    auto cost = std::make_unique_for_overwrite<Costs[]>(n + 1);
    cost[n] = at_end;
    Costs window{};  // least cost among the ends of the references from i + 1
    unsigned window_len = 0;
    for (std::size_t i = n; i-- > 0;) {
        Costs best = cost[i + 1] + kLiteralCost;
        const unsigned len = m.length[i];
        if (len >= kMinMatch) {
            // The references from i end at i + 3 .. i + len. One position
            // on they ended at i + 4 .. i + 1 + window_len: the same span
            // but its first end when len is one more.
            if (window_len >= kMinMatch && len == window_len + 1) {
                window = lesser(window, cost[i + kMinMatch]);
            } else {
                window = cost[i + kMinMatch];
                for (unsigned l = kMinMatch + 1; l <= len; ++l)
                    window = lesser(window, cost[i + l]);
            }
            best = lesser(best, window + kReferenceCost);
        }
        window_len = len;
        cost[i] = next_item(lesser(best, kCaps));
    }
    return cost;
}

struct Item {
    std::uint8_t length;  // 0 for a literal
    std::uint16_t distance;
};

// best_items -- the items along the shortest path from the start
std::vector<Item> best_items(const Matches& m, const Costs* cost, std::size_t n)
{
    std::vector<Item> items;
    unsigned lane = 0;
    for (std::size_t i = 0; i < n;) {
        const unsigned next = (lane + 1) % kItemsPerGroup;
        const int due = cost_in(cost[i], lane);
        unsigned taken = 0;
        for (unsigned l = m.length[i]; l >= kMinMatch && !taken; --l)
            if (cost_in(cost[i + l], next) + item_cost(kReferenceCost, lane) == due)
                taken = l;
        items.push_back({static_cast<std::uint8_t>(taken), taken ? m.distance[i] : std::uint16_t{0}});
        i += taken ? taken : 1;
        lane = next;
    }
    return items;
}

// write_file -- the header and the stream of the items; flag bits of items
// missing from the last group are 1
std::vector<std::uint8_t> write_file(std::span<const std::uint8_t> data, const std::vector<Item>& items)
{
    std::vector<std::uint8_t> out(kFlz0HeaderSize);
    std::copy(kFlz0Magic.begin(), kFlz0Magic.end(), out.begin());
    put_le16(out.data() + kOriginalSizeOffset, static_cast<std::uint32_t>(data.size()));
    std::size_t flags_at = 0, i = 0;
    for (std::size_t k = 0; k < items.size(); ++k) {
        const unsigned bit = k % kItemsPerGroup;
        if (bit == 0) {
            flags_at = out.size();
            out.push_back(0xFF);
        }
        const Item& it = items[k];
        if (it.length == 0) {
            out.push_back(data[i++]);
            continue;
        }
        out[flags_at] &= static_cast<std::uint8_t>(~(1u << bit));
        const std::size_t w = (kRingStart + i) % kRingSize;
        const std::size_t pos = (w + kRingSize - it.distance) % kRingSize;
        out.push_back(static_cast<std::uint8_t>(pos & 0xFF));
        out.push_back(static_cast<std::uint8_t>(((pos >> 4) & 0xF0) | (it.length - kMinMatch)));
        i += it.length;
    }
    put_le16(out.data() + kCompressedSizeOffset, static_cast<std::uint32_t>(out.size() - kFlz0HeaderSize));
    return out;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> flz0_pack(std::span<const std::uint8_t> data)
{
    if (data.size() > kMaxOriginalSize)
        return std::nullopt;
    const std::size_t n = data.size();
    std::vector<std::uint8_t> history(kHistoryStart + n + kPadding, 0);
    std::copy_n(data.begin(), n, history.begin() + kHistoryStart);
    const Matches m = find_matches(history.data(), n);

    // Whole groups first; any count only where no parse of whole groups fits.
    constexpr std::int16_t kFree = -kCostBias;
    constexpr Costs kWholeGroups = {kFree, kCap, kCap, kCap, kCap, kCap, kCap, kCap};
    constexpr Costs kAnyCount = {kFree, kFree, kFree, kFree, kFree, kFree, kFree, kFree};
    constexpr int kMaxStream = static_cast<int>(kMaxFlz0FileSize - kFlz0HeaderSize);
    std::unique_ptr<Costs[]> cost = shortest_costs(m, n, kWholeGroups);
    if (cost_in(cost[0], 0) > kMaxStream)
        cost = shortest_costs(m, n, kAnyCount);
    if (cost_in(cost[0], 0) > kMaxStream)
        return std::nullopt;
    return write_file(data, best_items(m, cost.get(), n));
}
