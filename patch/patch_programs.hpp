// The patch programs, each the whole run of its command over a file
// system: the system's own for the program, a test's in-process.
#pragma once

#include "command.hpp"
#include "platform.hpp"

// bnddiff_main -- make a patch from two bundles
int bnddiff_main(const Args& args, platform::FileSystem& fs);

// bndpatch_main -- apply a patch to a bundle, take it back out, or show it
int bndpatch_main(const Args& args, platform::FileSystem& fs);
