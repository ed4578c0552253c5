// FLZ0 files on disk: decoded in place (varnix), compressed in place
// (flz0pack), or either in memory. Each in-place job is a plan (see
// plan.hpp) of one output beside the file it replaces.
#pragma once

#include <span>
#include <string>

#include "failure.hpp"
#include "plan.hpp"

// plan_decode -- decode path in place: the decoded data takes its name,
// the compressed file is kept as path.BAK, never replacing a file.
// `observer` is told the header (Tell::sizes) once it is read, before
// anything else is checked; a failure it gives ends the plan there.
Outcome plan_decode(platform::FileSystem& fs, const std::string& path, const Observer& observer, Plan& plan);

// decode_file -- decode path in memory, telling the header the same way
Outcome decode_file(platform::FileSystem& fs, const std::string& path, const Observer& observer, Bytes& decoded);

// plan_pack -- compress path in place into path.$$$, checked to decode to
// the same bytes, then swapped in; no backup is kept. Where path.BAK is
// the FLZ0 file that decodes to exactly what path holds (the file varnix
// decoded it from), it takes the name back instead, and no path.BAK
// remains. The commit tells the original and stream sizes (Tell::packed)
// once the new file is ready, before it takes the name.
Outcome plan_pack(platform::FileSystem& fs, const std::string& path, Plan& plan);

// pack_file -- compress path in memory, checked the same way: the whole FLZ0 file
Outcome pack_file(platform::FileSystem& fs, const std::string& path, Bytes& packed);
