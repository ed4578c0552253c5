// The bundle programs, each the whole run of its command over a file
// system: the system's own for the program, a test's in-process.
#pragma once

#include "command.hpp"
#include "platform.hpp"

// bndsplit_main -- cut a bundle into numbered piece files
int bndsplit_main(const Args& args, platform::FileSystem& fs);

// bndjoin_main -- build bundles from their piece files
int bndjoin_main(const Args& args, platform::FileSystem& fs);
