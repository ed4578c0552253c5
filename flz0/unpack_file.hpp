// Decoding an FLZ0 file on disk: in place, as varnix does, or in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "failure.hpp"
#include "flz0.hpp"
#include "platform.hpp"

// decompress_in_place -- decode path into path.$$$, then swap it in,
// keeping the compressed file as path.BAK, never replacing an existing
// file. `sizes_read` is told the header once it has been read, before any
// file is touched; a failure there ends the run.
Outcome decompress_in_place(platform::FileSystem& fs, const std::string& path,
                            const std::function<Outcome(const Flz0Header&)>& sizes_read);

// decode_file -- decode path in memory: `sizes_read` is told the header,
// then `decoded` gets the data; nothing is written
Outcome decode_file(platform::FileSystem& fs, const std::string& path,
                    const std::function<Outcome(const Flz0Header&)>& sizes_read,
                    const std::function<Outcome(std::span<const std::uint8_t>)>& decoded);
