// Compressing a file on disk into an FLZ0 file: in place, as flz0pack
// does, or in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "failure.hpp"
#include "platform.hpp"

// compress_in_place -- compress path into path.$$$, check that it decodes
// to the same bytes, then swap it in; no backup is kept. Where path.BAK is
// the FLZ0 file that decodes to exactly what path holds (the file varnix
// decoded it from), it takes the name back instead, and no path.BAK
// remains. `packed` is told the original and stream sizes once the new
// file is ready, before it takes the name; a failure there leaves the
// file as it was.
Outcome compress_in_place(platform::FileSystem& fs, const std::string& path,
                          const std::function<Outcome(std::size_t original, std::size_t stream)>& packed);

// pack_file -- compress path in memory, checked as compress_in_place
// checks it; `packed` gets the whole FLZ0 file; nothing is written
Outcome pack_file(platform::FileSystem& fs, const std::string& path,
                  const std::function<Outcome(std::span<const std::uint8_t>)>& packed);
