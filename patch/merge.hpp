// Two changes of one piece's content combined: a decoded script, up to
// 65,535 bytes, usually text with '\n' line ends and sometimes binary.
//
// Each side's edits against the base are hunks, a base range [s, e)
// replaced by some bytes. Where base and side both hold line ends, the
// hunks are whole lines, from the shortest line-by-line difference (Myers'
// greedy O(ND) algorithm); where either holds none, or that difference
// takes too many edits, the side is one hunk, from the bytes it shares with
// the base at the start to those it shares at the end. That is still exact,
// only coarser: two edits of one side far apart make one hunk over both.
//
// A hunk of one side and one of the other overlap where their base ranges
// intersect, where both insert at one place, or where one inserts strictly
// inside the other's range. Ranges that only touch do not overlap, and a
// hunk both sides make alike (the same range and the same bytes) counts
// once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "files.hpp"

// A range of the base both sides change: bytes [start, end) of it (an
// empty range where both insert at one place).
struct Conflict {
    std::size_t start = 0;
    std::size_t end = 0;
    bool operator==(const Conflict&) const = default;
};

// merge3 -- base changed two ways, into a and into b: the bytes that hold
// both changes, where they change different parts of base; a change both
// make alike counts once. Where they overlap, false, and the first range of
// base that both change.
bool merge3(std::span<const std::uint8_t> base, std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
            Bytes& out, Conflict& conflict);
