// The bundle ("BND") format.
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

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kTableEntries = 128;
inline constexpr std::size_t kEntrySize = 4;
inline constexpr std::size_t kTableSize = kTableEntries * kEntrySize;  // 512
inline constexpr std::uint32_t kMaxPieceSize = 0x134000;               // 1,261,568
inline constexpr std::int32_t kMaxPieces = kTableEntries - 1;          // 127
inline constexpr std::int32_t kDefaultMaxFiles = kMaxPieces;

// The block pieces are copied in, both ways: large enough that copying
// costs few system calls, smaller than the largest piece, so no piece is
// ever held whole. Plain reads and writes of this size beat the kernel's
// in-place copy (copy_file_range) on bundles: pieces start 512 bytes past
// a page boundary, which the kernel copies a split page at a time.
inline constexpr std::size_t kCopyBlock = 1024 * 1024;

struct Piece {
    int index;
    std::uint32_t start;
    std::uint32_t end;  // exclusive
    std::uint32_t size() const { return end - start; }
};

using Table = std::span<const std::uint8_t, kTableSize>;

// enumerate_pieces -- the pieces the table describes, at most `limit` of
// them (none when limit <= 0) and never more than the table can hold
std::vector<Piece> enumerate_pieces(Table table, std::int32_t limit);

// parse_count -- read the optional piece limit: "0x" followed by a
// hexadecimal number, else a decimal number, else 0; wraps modulo 2^32
std::int32_t parse_count(std::string_view text);

// piece_dir_name -- the directory for a bundle's pieces: the bundle's path
// with the extension of its file name removed (DATA.BND gives DATA), or
// with ".d" appended when the file name has none (SE gives SE.d). A '.'
// in a directory part, or at the start of the file name, is not one.
std::string piece_dir_name(std::string_view bundle);

// piece_file_name -- the piece's index as three digits
std::string piece_file_name(int index);

// piece_line -- the line printed before a piece is copied, from a format
// with the piece's file name, start and end offsets
std::string piece_line(const char* format, const Piece& piece);
