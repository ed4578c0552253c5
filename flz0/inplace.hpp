// Replacing a file by its FLZ0 decoding or encoding, on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>
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

// compress_in_place -- compress path into path.$$$, check that it decodes
// to the same bytes, then swap it in; no backup is kept. Where path.BAK is
// the FLZ0 file path was decoded from (backup_form), it takes the name
// back instead, and no path.BAK remains. `packed` is told the original and
// stream sizes once the new file is ready, before it takes the name; a
// failure there leaves the file as it was.
Outcome compress_in_place(platform::FileSystem& fs, const std::string& path,
                          const std::function<Outcome(std::size_t original, std::size_t stream)>& packed);

// pack_file -- compress path in memory, checked as compress_in_place
// checks it; `packed` gets the whole FLZ0 file; nothing is written
Outcome pack_file(platform::FileSystem& fs, const std::string& path,
                  const std::function<Outcome(std::span<const std::uint8_t>)>& packed);

// pack_plain -- plain data compressed as flz0pack compresses it, checked
// by decoding it again; `path` names it in a failure
Outcome pack_plain(const std::string& path, std::span<const std::uint8_t> plain, std::vector<std::uint8_t>& packed);

// What path.BAK is to path.
struct BackupForm {
    bool flz0 = false;                             // it is a regular FLZ0 file
    std::optional<std::vector<std::uint8_t>> bytes;  // its bytes, where it decodes to exactly path's
};

// backup_form -- whether path.BAK is the form path had before varnix
// decoded it: an FLZ0 file that decodes to exactly `plain`, what path holds
Outcome backup_form(platform::FileSystem& fs, const std::string& path, std::span<const std::uint8_t> plain,
                    BackupForm& form);
