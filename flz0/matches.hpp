// The compressor's match finder: the longest match at every position of
// the data, as the decoder's ring makes matches possible.
//
// The decoder is LZ77 in disguise: a reference at ring position p, made
// when the write position is w, repeats the output from distance
// (w - p) mod 4096 back (4096 when p == w), and anything before the start
// of the output reads as zero. So a match is sought in a history of 4096
// zero bytes followed by the data: at distance 1 to 4096 back, of 3 to 18
// bytes, and it may overlap the bytes it produces.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

// The longest match at each data position, and a distance back that gives it.
struct Matches {
    std::unique_ptr<std::uint8_t[]> length;  // 0 where no match of kMinMatch bytes or more exists
    std::unique_ptr<std::uint16_t[]> distance;
};

// Which finder searches: the hash chains until they cost more than the
// tree would; for the tests, which check that each gives the same
// matches, one of them throughout, or the chains for the first half of the
// data and the tree after it.
enum class Finder { automatic, chains, tree, halfway };

// find_matches -- the longest match at every position of data (at most
// kMaxOriginalSize bytes), never reaching past its end. Where several
// sources give the longest, the distance is the match carried on from the
// position before, where it is as long; else the nearest.
Matches find_matches(std::span<const std::uint8_t> data, Finder finder = Finder::automatic);

// common_length -- how many bytes a and b agree in, up to limit (at most
// kMaxMatch; both may be read up to 8 bytes past limit's reach). Inline:
// the searches call it at every step.
inline unsigned common_length(const std::uint8_t* a, const std::uint8_t* b, unsigned limit)
{
    constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    unsigned n = 0;
    if (!kLittleEndian) {
        while (n < limit && a[n] == b[n])
            ++n;
        return n;
    }
    while (n < limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (std::uint64_t diff = x ^ y) {
            n += static_cast<unsigned>(__builtin_ctzll(diff)) / 8;  // the lowest byte is the first in memory
            break;
        }
        n += 8;
    }
    return std::min(n, limit);
}
