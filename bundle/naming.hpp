// What the bundle tools call things: the directory of a bundle's pieces,
// and each piece's file name and path in it.
#pragma once

#include "files.hpp"

#include <cstddef>
#include <string>
#include <string_view>

// piece_dir_name -- the directory for a bundle's pieces: the bundle's path
// with the extension of its file name removed (DATA.BND gives DATA), or
// with ".d" appended when the file name has none (SE gives SE.d). A '.'
// in a directory part, or at the start of the file name, is not one.
std::string piece_dir_name(std::string_view bundle);

inline constexpr std::size_t kPieceNameDigits = 3;

// piece_file_name -- the piece's index as three digits
std::string piece_file_name(int index);

// piece_path -- piece k's file in a piece directory, or a file beside it
// (a suffix such as ".BAK")
std::string piece_path(const std::string& dir, int index, std::string_view suffix = {});


// piece_number -- the index a piece file's name gives, for NNN and for
// NNN.BAK beside it: exactly three digits; -1 for any other name
int piece_number(std::string_view name);

// file_name_of -- the last part of a path
std::string file_name_of(std::string_view path);

// beside -- a file named `name` in the directory a path names its file in
std::string beside(std::string_view path, std::string_view name);

// beside_dir -- a file named `name` beside a directory, however many
// separators end its path: DATA/ gives DATA.BND as DATA does
std::string beside_dir(std::string_view dir, std::string_view name);
