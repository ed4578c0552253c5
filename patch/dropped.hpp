// A patch dropped on bndpatch: Explorer starts the program with the
// dropped files' names and nothing else, in any order, so the program
// tells which is the patch and finds what it applies to.
#pragma once

#include <span>
#include <string>

#include "failure.hpp"
#include "platform.hpp"

// is_patch -- whether a file starts as a patch does (bundle or folder)
bool is_patch(platform::FileSystem& fs, const std::string& path);

// target_of -- what a patch dropped alone applies to. A bundle patch: the
// first file, in name order, beside the patch and then in each of `dirs`,
// that is the bundle it was made from or the one it makes (by size and
// SHA-256), so that a bundle already patched is told as such; none found
// is no_target. A folder patch: the folder the patch is in.
Outcome target_of(platform::FileSystem& fs, const std::string& patch, std::span<const std::string> dirs,
                  std::string& target);
