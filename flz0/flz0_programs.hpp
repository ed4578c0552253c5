// The FLZ0 programs, each the whole run of its command over a file
// system: the system's own for the program, a test's in-process.
#pragma once

#include "command.hpp"
#include "platform.hpp"

// varnix_main -- decompress FLZ0 files in place
int varnix_main(const Args& args, platform::FileSystem& fs);

// flz0pack_main -- compress files in place into FLZ0 files
int flz0pack_main(const Args& args, platform::FileSystem& fs);
