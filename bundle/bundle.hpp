// The bundle ("BND") table.
//
// A bundle is its pieces laid end to end behind a 512-byte table of 128
// unsigned 32-bit little-endian offsets. Entry k is where piece k starts and
// entry k+1 where it ends (exclusive), so neighbouring pieces share a
// boundary. The file has no magic, count, names or sizes: the table is all
// there is. The list of pieces ends at the first pair whose end is 0, whose
// size is 0, whose end is below its start, or whose size exceeds
// kMaxPieceSize.
// Offsets are not compared with the file: that is the copier's business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::size_t kTableEntries = 128;
inline constexpr std::size_t kEntrySize = 4;
inline constexpr std::size_t kTableSize = kTableEntries * kEntrySize;  // 512
inline constexpr std::uint32_t kMaxPieceSize = 0x134000;               // 1,261,568
inline constexpr std::int32_t kMaxPieces = kTableEntries - 1;          // 127
inline constexpr std::int32_t kDefaultMaxFiles = kMaxPieces;

struct Piece {
    int index;
    std::uint32_t start;
    std::uint32_t end;  // exclusive
    std::uint32_t size() const { return end - start; }
};

using Table = std::span<const std::uint8_t, kTableSize>;
using TableBytes = std::array<std::uint8_t, kTableSize>;

// table_entry -- entry k of the table
std::uint32_t table_entry(Table table, std::size_t k);

// enumerate_pieces -- the pieces the table describes, at most `limit` of
// them (none when limit <= 0) and never more than the table can hold
std::vector<Piece> enumerate_pieces(Table table, std::int32_t limit);

// make_table -- the table with the given entries first (at most 128) and
// zeros after them
TableBytes make_table(std::span<const std::uint32_t> entries);
