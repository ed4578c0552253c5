// Wildcards in file names, which Windows leaves to each program to expand:
// `*` stands for any run of characters, `?` for any one, in the last part
// of a path only, as the system's own console tools take them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform.hpp"

// has_wildcards -- whether the last part of a path holds `*` or `?`,
// which no Windows file name may
bool has_wildcards(std::string_view path);

// wildcard_match -- whether a file name (UTF-8) fits a pattern; letters
// A to Z match either case, as the system's names do, and `?` takes one
// character, however many bytes it is
bool wildcard_match(std::string_view pattern, std::string_view name);

// How many files an argument may stand for.
enum class Expand {
    each,  // every match, in name order
    one,   // only when it matches exactly one file
};

// expand_wildcards -- each argument that holds wildcards and names no
// existing file, replaced by the files (not directories) in its directory
// that fit it, each as the directory part given followed by its name;
// one that fits none, or more than one where only one may, stays as given
// and so fails as a missing file
std::vector<std::string> expand_wildcards(const std::vector<std::string>& args, platform::FileSystem& fs,
                                          Expand expand);
