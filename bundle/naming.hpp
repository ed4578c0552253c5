// What the bundle tools call things: the directory of a bundle's pieces,
// each piece's file name, the line shown for a piece, and the piece limit
// read from bndsplit's command line.
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

// piece_file_name -- the piece's index as three digits
std::string piece_file_name(int index);

// piece_line -- a line about a piece, from a format with the piece's file
// name, start and end offsets
std::string piece_line(const char* format, const Piece& piece);

// parse_count -- read the optional piece limit: "0x" followed by a
// hexadecimal number, else a decimal number, else 0; wraps modulo 2^32
std::int32_t parse_count(std::string_view text);
