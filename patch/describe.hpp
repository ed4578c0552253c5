// What a patch holds, in words: both bundles, then a line for each entry.
#pragma once

#include <string>

#include "patch.hpp"

// describe_patch -- the lines bnddiff and bndpatch -l show
std::string describe_patch(const Patch& patch);

// entry_name -- what an entry is of: "piece 003", or the frame
std::string entry_name(const Entry& e);
