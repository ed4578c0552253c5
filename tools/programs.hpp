// The six programs, each the whole run of its command over a file system:
// the system's own for the program, a test's in-process.
#pragma once

#include "command.hpp"
#include "platform.hpp"

// bndsplit_main -- cut a bundle into numbered piece files
int bndsplit_main(const Args& args, platform::FileSystem& fs);

// bndjoin_main -- build bundles from their piece files
int bndjoin_main(const Args& args, platform::FileSystem& fs);

// varnix_main -- decompress FLZ0 files in place
int varnix_main(const Args& args, platform::FileSystem& fs);

// flz0pack_main -- compress files in place into FLZ0 files
int flz0pack_main(const Args& args, platform::FileSystem& fs);

// bnddiff_main -- make a patch that turns one bundle into another
int bnddiff_main(const Args& args, platform::FileSystem& fs);

// bndpatch_main -- apply a patch, take it back out, or show it
int bndpatch_main(const Args& args, platform::FileSystem& fs);
