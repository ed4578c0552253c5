#include "matches.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "flz0.hpp"

// Two finders, each exact, and each choosing the same distance where several
// give the longest match, so that either gives the same matches:
//
// Hash chains: for each position the one before it whose first three (or
// four) bytes hash alike. The match carried from the position before is
// extended, and only sources that agree in the byte just past the best so
// far are looked at. On text that looks at a few sources a position; on
// binary data with many near-repeats, at hundreds, since every source that
// shares four bytes is in the chain.
//
// A binary tree over the positions of the history whose first
// four bytes hash alike, ordered by their next 18 bytes, each node older
// than its parent. Putting a position in walks the one path its bytes
// lead to, and the tree is then split along that path under the new
// position, the newest of all. The newest source sharing any number of
// bytes with the position is on that path (it is the oldest common
// ancestor of the sources that share them), and the path meets sources
// newest first: so the walk finds the longest match and the nearest
// source that gives it, exactly. Below a node outside the window every
// node is older still, so the walk stops there and drops what is below;
// and a node that matches the new position in all 18 bytes is replaced by
// it, since no later position can tell them apart. No path grows with the
// number of sources that share a prefix, as a hash chain does: binary
// data with many near-repeats costs about what text does, what ten to
// thirty chain steps cost, by the data.
//
// So the chains search until a span of positions costs them more than the
// tree would; then the tree is built over the window and searches the rest.

namespace {

constexpr std::size_t kHistoryStart = kRingSize;  // data position 0 in the history
constexpr std::size_t kWindow = kRingSize;        // a reference reaches 1 to 4096 bytes back
// Zeros after the history: a key is always 18 bytes, and common_length
// reads eight bytes at a time from up to 18 bytes on.
constexpr std::size_t kPadding = kMaxMatch + 16;

// Sources in the zeros that end 18 bytes or more before the data all read
// the same: the last of them stands for them all.
constexpr std::size_t kZeroSource = kHistoryStart - kMaxMatch - 1;
constexpr std::uint32_t kNone = 0;  // position 0 is never a source: sources start at kZeroSource

// The hashes only spread the sources: no two keys that share their first
// three bytes hash alike as four, since the fourth byte moves the top bits
// of the product by an odd multiple. So the chains of four-byte keys hold
// every source of four bytes or more and none that shares just three, and
// each hash is as small as spreads the sources well: every page of memory
// a run touches costs it.
constexpr unsigned kTreeHashBits = 14;
constexpr unsigned kThreeHashBits = 13;
constexpr unsigned kFourHashBits = 15;

// Only sources in the window are ever followed, so each position's links
// live in a ring of slots twice the window, where a slot is reused only
// once its position has left the window.
constexpr std::size_t kSlots = 2 * kWindow;

std::size_t slot(std::uint32_t p)
{
    return p & (kSlots - 1);
}

// When the chains give way to the tree: after a span of positions in which
// they took more steps a position than a tree insertion costs on any data
// (text of few words has the deepest trees). Binaries take 100 to 500.
constexpr std::size_t kSpan = 256;
constexpr std::size_t kTreeSteps = 32;
constexpr std::size_t kSample = 16;

std::uint32_t load3(const std::uint8_t* p)
{
    return p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16;
}

// The trees: a root for each hash of four bytes, and for each position its
// two children, the one whose bytes sort before and the one after.
struct Trees {
    std::vector<std::uint32_t> root;
    std::unique_ptr<std::uint32_t[]> child;
};

// A source found: how long a match it gives, and how far back it is.
struct Found {
    unsigned length = 0;
    unsigned distance = 0;
};

// insert -- put position p in its tree, and find on the way the longest
// match up to `limit` bytes, with the nearest source that gives it
Found insert(Trees& t, const std::uint8_t* h, std::uint32_t p, unsigned limit)
{
    const std::uint32_t key = load3(h + p) | static_cast<std::uint32_t>(h[p + 3]) << 24;
    std::uint32_t& root = t.root[(key * 2654435761u) >> (32 - kTreeHashBits)];
    std::uint32_t node = root;
    root = p;
    std::uint32_t* before = &t.child[2 * slot(p)];     // where the next node that sorts before p goes
    std::uint32_t* after = &t.child[2 * slot(p) + 1];  // and the next that sorts after
    unsigned before_len = 0, after_len = 0;  // what the nodes on either side share with p
    const std::uint32_t oldest = p > kWindow ? static_cast<std::uint32_t>(p - kWindow) : 0;
    Found best;
    while (node != kNone && node >= oldest) {
        // Every node below shares with p at least what both sides do.
        unsigned len = std::min(before_len, after_len);
        len += common_length(h + node + len, h + p + len, kMaxMatch - len);
        const unsigned reach = std::min(len, limit);
        if (reach > best.length)
            best = {reach, p - node};
        std::uint32_t* children = &t.child[2 * slot(node)];
        if (len == kMaxMatch) {  // the same key: p takes its place
            *before = children[0];
            *after = children[1];
            return best;
        }
        if (h[node + len] < h[p + len]) {
            *before = node;
            before = &children[1];
            before_len = len;
            node = children[1];
        } else {
            *after = node;
            after = &children[0];
            after_len = len;
            node = children[0];
        }
    }
    *before = kNone;
    *after = kNone;
    return best;
}

// A chain of the positions whose first `key` bytes hash alike, newest first.
struct Chain {
    unsigned key;
    unsigned bits;  // of the hash
    std::vector<std::uint32_t> head;
    std::unique_ptr<std::uint32_t[]> prev;  // by slot
};

Chain make_chain(unsigned key, unsigned bits)
{
    return {key, bits, std::vector<std::uint32_t>(std::size_t{1} << bits, kNone),
            std::make_unique_for_overwrite<std::uint32_t[]>(kSlots)};
}

std::uint32_t hash_at(const Chain& c, const std::uint8_t* p)
{
    std::uint32_t v = load3(p);
    if (c.key > 3)
        v |= static_cast<std::uint32_t>(p[3]) << 24;
    return (v * 2654435761u) >> (32 - c.bits);
}

// chain -- put p at the head of its chain, of the given hash
void chain(Chain& c, std::uint32_t hash, std::uint32_t p)
{
    std::uint32_t& head = c.head[hash];
    c.prev[slot(p)] = head;
    head = p;
}

// longest_in_chain -- improve on best from the sources of one chain: a
// source can only do better if it agrees in the byte just past best; with
// Count, the steps taken are added to `steps`
template <bool Count>
[[gnu::always_inline]] inline void longest_in_chain(const Chain& c, std::uint32_t hash, const std::uint8_t* h,
                                                    std::uint32_t p, unsigned limit, Found& best, std::size_t& steps)
{
    std::size_t taken = 0;
    Found found = best;
    for (std::uint32_t s = c.head[hash]; s != kNone && p - s <= kWindow; s = c.prev[slot(s)]) {
        if constexpr (Count)
            ++taken;
        if (h[s + found.length] != h[p + found.length])
            continue;
        const unsigned len = common_length(h + s, h + p, limit);
        if (len > found.length) {
            found = {len, p - s};
            if (len == limit)
                break;
        }
    }
    best = found;
    if constexpr (Count)
        steps += taken;
}

// three_in_chain -- the nearest source in p's chain that shares three bytes
// with it, if any
[[gnu::always_inline]] inline unsigned three_in_chain(const Chain& c, std::uint32_t hash, const std::uint8_t* h,
                                                       std::uint32_t p)
{
    for (std::uint32_t s = c.head[hash]; s != kNone && p - s <= kWindow; s = c.prev[slot(s)])
        if (h[s] == h[p] && h[s + 1] == h[p + 1] && h[s + 2] == h[p + 2])
            return p - s;
    return 0;
}

// The state of a search: the history, both finders' structures, and which
// of them searches.
struct Search {
    const std::uint8_t* h;
    Chain three;
    Chain four;  // for the chains only
    Trees trees;  // made only when the tree takes over
};

// extend -- the match carried from the position before, less its first
// byte, extended as far as it goes; none where it was not over three
Found extend(const std::uint8_t* h, std::uint32_t p, unsigned limit, Found carried)
{
    if (carried.length <= kMinMatch)
        return {};
    const unsigned known = carried.length - 1;
    return {known + common_length(h + p + known - carried.distance, h + p + known, limit - known), carried.distance};
}

// by_chains -- the best match at p: the carried one, bettered from the
// chains of four-byte keys, else any source of three bytes; with Count, the
// steps taken are added to `steps`
template <bool Count>
[[gnu::always_inline]] inline Found by_chains(Search& s, std::uint32_t p, unsigned limit, Found carried,
                                             std::size_t& steps)
{
    const std::uint32_t three = hash_at(s.three, s.h + p), four = hash_at(s.four, s.h + p);
    Found best = extend(s.h, p, limit, carried);
    if (best.length == 0)
        best = {kMinMatch - 1, 0};  // anything better has three bytes
    if (best.length < limit) {
        if (limit > kMinMatch)
            longest_in_chain<Count>(s.four, four, s.h, p, limit, best, steps);
        if (best.length < kMinMatch)
            if (unsigned d = three_in_chain(s.three, three, s.h, p))
                best = {kMinMatch, d};
    }
    chain(s.three, three, p);
    chain(s.four, four, p);
    return best;
}

// by_tree -- the same match from the tree, which holds the sources whose
// first four bytes hash alike: the longest of four bytes or more, from the
// nearest source, unless the carried one is as long; else the nearest
// source of three bytes, from the chain of three-byte keys
[[gnu::always_inline]] inline Found by_tree(Search& s, std::uint32_t p, unsigned limit, Found carried)
{
    const std::uint32_t three = hash_at(s.three, s.h + p);
    const Found longest = insert(s.trees, s.h, p, limit);
    Found best = extend(s.h, p, limit, carried);
    if (longest.length > kMinMatch && longest.length > best.length)
        best = longest;
    if (best.length < kMinMatch && limit >= kMinMatch)
        if (unsigned d = three_in_chain(s.three, three, s.h, p))
            best = {kMinMatch, d};
    chain(s.three, three, p);
    return best;
}

// to_tree -- build the tree over the window before p, so that it holds
// every source the chains would find
void to_tree(Search& s, std::uint32_t p)
{
    s.trees = {std::vector<std::uint32_t>(std::size_t{1} << kTreeHashBits, kNone),
               std::make_unique_for_overwrite<std::uint32_t[]>(2 * kSlots)};
    const std::uint32_t first = static_cast<std::uint32_t>(std::max<std::size_t>(kZeroSource, p > kWindow ? p - kWindow : 0));
    for (std::uint32_t q = first; q < p; ++q)
        insert(s.trees, s.h, q, kMaxMatch);
}

}  // namespace

Matches find_matches(std::span<const std::uint8_t> data, Finder finder)
{
    const std::size_t n = data.size();
    std::vector<std::uint8_t> history(kHistoryStart + n + kPadding, 0);
    std::copy_n(data.begin(), n, history.begin() + kHistoryStart);
    Search s{history.data(), make_chain(3, kThreeHashBits), make_chain(4, kFourHashBits), {}};
    for (std::size_t q = kZeroSource; q < kHistoryStart; ++q) {
        chain(s.three, hash_at(s.three, s.h + q), static_cast<std::uint32_t>(q));
        chain(s.four, hash_at(s.four, s.h + q), static_cast<std::uint32_t>(q));
    }

    Matches m{std::make_unique_for_overwrite<std::uint8_t[]>(n), std::make_unique_for_overwrite<std::uint16_t[]>(n)};
    Found carried;  // the match of the position before
    std::size_t i = 0;
    // record -- the match found at i, which the next position carries on
    auto record = [&](Found best) {
        if (best.length < kMinMatch)
            best = {};
        m.length[i] = static_cast<std::uint8_t>(best.length);
        m.distance[i] = static_cast<std::uint16_t>(best.distance);
        carried = best;
    };
    auto limit_at = [n](std::size_t at) { return static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, n - at)); };
    // The steps of one position in kSample are counted: enough to tell
    // what the chains cost, at a fraction of the cost of counting.
    std::size_t steps = 0;
    const std::size_t switch_at = finder == Finder::tree ? 0 : finder == Finder::halfway ? n / 2 : n;
    for (; i < n && i < switch_at; ++i) {
        if (i % kSpan == 0) {
            if (finder == Finder::automatic && steps * kSample > kSpan * kTreeSteps)
                break;
            steps = 0;
        }
        const auto p = static_cast<std::uint32_t>(kHistoryStart + i);
        record(i % kSample == 0 ? by_chains<true>(s, p, limit_at(i), carried, steps)
                                : by_chains<false>(s, p, limit_at(i), carried, steps));
    }
    if (i < n)
        to_tree(s, static_cast<std::uint32_t>(kHistoryStart + i));
    for (; i < n; ++i)
        record(by_tree(s, static_cast<std::uint32_t>(kHistoryStart + i), limit_at(i), carried));
    return m;
}
