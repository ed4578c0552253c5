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

// Why a list of pieces ended.
enum class ListEnd {
    limit,            // the limit given
    capacity,         // the table's 127 pieces
    end_zero,         // the first failing pair: its end is 0,
    size_zero,        // its size is 0,
    end_below_start,  // its end is below its start,
    too_large,        // or its size exceeds kMaxPieceSize
};

// The pieces a table lists, and why the list ended: where a pair failed,
// entry `entry` is its end and the pair is (start, stop).
struct PieceList {
    std::vector<Piece> pieces;
    std::int32_t limit = 0;  // as it was given
    ListEnd end = ListEnd::limit;
    bool more = false;       // the limit left out pieces the table lists
    std::size_t entry = 0;
    std::uint32_t start = 0;
    std::uint32_t stop = 0;
};

// list_pieces -- the pieces the table describes, at most `limit` of them
// (none when limit <= 0) and never more than the table can hold
PieceList list_pieces(Table table, std::int32_t limit);

// enumerate_pieces -- the pieces alone
std::vector<Piece> enumerate_pieces(Table table, std::int32_t limit);

// The bytes of a file that lie outside the table and every piece.
struct Uncovered {
    std::uint64_t count = 0;
    std::uint64_t first = 0;        // where the first of them is
    std::uint64_t after = 0;        // the end of the last piece, or of the table
    bool all_after = false;         // whether every one of them lies after `after`
};

// uncovered -- of a file of `size` bytes, what the table and the pieces
// leave out; the parts of pieces past the end of the file cover nothing
Uncovered uncovered(std::span<const Piece> pieces, std::uint64_t size);

// set_entries -- entries first, first + 1, ... of the table set to these,
// none past entry 127; the others as they were
void set_entries(TableBytes& table, std::size_t first, std::span<const std::uint32_t> entries);

// make_table -- the table with the given entries first (at most 128) and
// zeros after them
TableBytes make_table(std::span<const std::uint32_t> entries);
