// What the bundle tools call things: the directory of a bundle's pieces,
// each piece's file name, and the line shown for a piece.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bundle.hpp"

// piece_dir_name -- the directory for a bundle's pieces: the bundle's path
// with the extension of its file name removed (DATA.BND gives DATA), or
// with ".d" appended when the file name has none (SE gives SE.d). A '.'
// in a directory part, or at the start of the file name, is not one.
std::string piece_dir_name(std::string_view bundle);

inline constexpr std::size_t kPieceNameDigits = 3;

// piece_file_name -- the piece's index as three digits
std::string piece_file_name(int index);

// piece_number -- the index a piece file's name gives, for NNN and for
// NNN.BAK beside it: exactly three digits; -1 for any other name
int piece_number(std::string_view name);

// piece_line -- a line about a piece, from a format with the piece's file
// name, start and end offsets
std::string piece_line(const char* format, const Piece& piece);

