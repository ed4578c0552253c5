#include "delta.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint8_t kCopy = 0;
constexpr std::uint8_t kAdd = 1;
// A copy shorter than this costs as much as the bytes themselves.
constexpr std::size_t kMinCopy = 8;
// How many earlier places with the same first bytes a search tries.
constexpr int kMaxCandidates = 32;
constexpr int kMaxHashBits = 16;

std::uint64_t zigzag(std::int64_t n)
{
    return n < 0 ? (static_cast<std::uint64_t>(-(n + 1)) << 1) | 1 : static_cast<std::uint64_t>(n) << 1;
}

std::int64_t unzigzag(std::uint64_t n)
{
    return (n & 1) ? -static_cast<std::int64_t>(n >> 1) - 1 : static_cast<std::int64_t>(n >> 1);
}

std::uint32_t hash_at(std::span<const std::uint8_t> bytes, std::size_t at, int bits)
{
    std::uint64_t v = 0;
    std::memcpy(&v, bytes.data() + at, kMinCopy);
    return static_cast<std::uint32_t>((v * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

// Every place in the source by the hash of the kMinCopy bytes that start
// there: the earliest in `head`, each one's next in `prev`.
struct SourceIndex {
    int bits = 1;  // of the hash: about as many heads as places, up to 2^kMaxHashBits
    std::vector<std::int64_t> head;
    std::vector<std::int64_t> prev;
};

SourceIndex index_source(std::span<const std::uint8_t> source)
{
    SourceIndex index;
    if (source.size() < kMinCopy)
        return index;
    while (index.bits < kMaxHashBits && (std::size_t{1} << index.bits) < source.size())
        ++index.bits;
    index.head.assign(std::size_t{1} << index.bits, -1);
    index.prev.assign(source.size(), -1);
    // From the end, so that the earliest place comes first: from there a
    // copy can run longest.
    for (std::size_t at = source.size() - kMinCopy + 1; at-- > 0;) {
        const std::uint32_t h = hash_at(source, at, index.bits);
        index.prev[at] = index.head[h];
        index.head[h] = static_cast<std::int64_t>(at);
    }
    return index;
}

struct Match {
    std::size_t source = 0;
    std::size_t length = 0;
};

// longest_match -- the longest run of source bytes that target[at...]
// starts with, among the places the index gives
Match longest_match(std::span<const std::uint8_t> source, const SourceIndex& index,
                    std::span<const std::uint8_t> target, std::size_t at)
{
    Match best;
    if (index.prev.empty() || at + kMinCopy > target.size())
        return best;
    std::int64_t candidate = index.head[hash_at(target, at, index.bits)];
    for (int tries = 0; candidate >= 0 && tries < kMaxCandidates; ++tries) {
        const auto from = static_cast<std::size_t>(candidate);
        const std::size_t most = std::min(source.size() - from, target.size() - at);
        std::size_t n = 0;
        while (n < most && source[from + n] == target[at + n])
            ++n;
        if (n > best.length)
            best = {from, n};
        candidate = index.prev[from];
    }
    return best;
}

void put_add(std::vector<std::uint8_t>& delta, std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return;
    delta.push_back(kAdd);
    put_number(delta, bytes.size());
    delta.insert(delta.end(), bytes.begin(), bytes.end());
}

// A reader of a delta's numbers, which says where it ran out or overflowed.
struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    DeltaStatus status = DeltaStatus::ok;

    bool number(std::uint64_t& n) { return read_number(bytes, at, n, status); }
};

}  // namespace

void put_number(std::vector<std::uint8_t>& out, std::uint64_t n)
{
    while (n >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(n | 0x80));
        n >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(n));
}

bool read_number(std::span<const std::uint8_t> bytes, std::size_t& at, std::uint64_t& n, DeltaStatus& why)
{
    n = 0;
    for (int shift = 0;; shift += 7) {
        if (at == bytes.size()) {
            why = DeltaStatus::truncated;
            return false;
        }
        const std::uint8_t b = bytes[at++];
        if (shift == 63 && b > 1) {  // more than 64 bits
            why = DeltaStatus::too_large;
            return false;
        }
        n |= static_cast<std::uint64_t>(b & 0x7f) << shift;
        if (!(b & 0x80))
            return true;
        if (shift == 63) {
            why = DeltaStatus::too_large;
            return false;
        }
    }
}

std::vector<std::uint8_t> make_delta(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target)
{
    std::vector<std::uint8_t> delta;
    put_number(delta, target.size());
    const SourceIndex index = index_source(source);
    std::size_t literal = 0;  // where the bytes not yet said start
    std::size_t last_end = 0;
    for (std::size_t at = 0; at < target.size();) {
        const Match m = longest_match(source, index, target, at);
        if (m.length < kMinCopy) {
            ++at;
            continue;
        }
        put_add(delta, target.subspan(literal, at - literal));
        delta.push_back(kCopy);
        put_number(delta, zigzag(static_cast<std::int64_t>(m.source) - static_cast<std::int64_t>(last_end)));
        put_number(delta, m.length);
        last_end = m.source + m.length;
        at += m.length;
        literal = at;
    }
    put_add(delta, target.subspan(literal));
    return delta;
}

DeltaStatus apply_delta(std::span<const std::uint8_t> source, std::span<const std::uint8_t> delta, std::size_t limit,
                        std::vector<std::uint8_t>& out)
{
    out.clear();
    Reader r{delta};
    std::uint64_t size = 0;
    if (!r.number(size))
        return r.status;
    if (size > limit)
        return DeltaStatus::too_large;
    std::vector<std::uint8_t> target;
    target.reserve(static_cast<std::size_t>(size));
    std::uint64_t last_end = 0;
    while (target.size() < size) {
        if (r.at == delta.size())
            return DeltaStatus::truncated;
        const std::uint8_t op = delta[r.at++];
        std::uint64_t length = 0;
        if (op == kCopy) {
            std::uint64_t shift = 0;
            if (!r.number(shift) || !r.number(length))
                return r.status;
            const std::int64_t moved = unzigzag(shift);
            // Where the copy starts, checked before any sum can wrap.
            if ((moved < 0 && static_cast<std::uint64_t>(-(moved + 1)) + 1 > last_end) ||
                (moved > 0 && static_cast<std::uint64_t>(moved) > source.size()))
                return DeltaStatus::past_the_source;
            const std::uint64_t from = last_end + static_cast<std::uint64_t>(moved);
            if (from > source.size() || length > source.size() - from)
                return DeltaStatus::past_the_source;
            if (length == 0 || length > size - target.size())
                return DeltaStatus::malformed;
            target.insert(target.end(), source.begin() + static_cast<std::ptrdiff_t>(from),
                          source.begin() + static_cast<std::ptrdiff_t>(from + length));
            last_end = from + length;
        } else if (op == kAdd) {
            if (!r.number(length))
                return r.status;
            if (length == 0 || length > size - target.size())
                return DeltaStatus::malformed;
            if (length > delta.size() - r.at)
                return DeltaStatus::truncated;
            target.insert(target.end(), delta.begin() + static_cast<std::ptrdiff_t>(r.at),
                          delta.begin() + static_cast<std::ptrdiff_t>(r.at + length));
            r.at += static_cast<std::size_t>(length);
        } else {
            return DeltaStatus::malformed;
        }
    }
    if (r.at != delta.size())
        return DeltaStatus::malformed;
    out = std::move(target);
    return DeltaStatus::ok;
}
