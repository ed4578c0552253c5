// The thin layer over the operating system: files by handle, directories and
// renaming. Everything above it works on byte spans and these few calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace platform {

// An open file; -1 when none is open.
using Handle = int;
inline constexpr Handle kNoHandle = -1;

// What a read into a buffer returned: the bytes that arrived, and whether it
// stopped on an error rather than the end of the file.
struct ReadResult {
    std::size_t count = 0;
    bool error = false;
};

// open_read -- open an existing file for binary reading
Handle open_read(const std::string& path);

// create_write -- create or truncate a file for binary writing
Handle create_write(const std::string& path);

// close_file -- close a handle; false when the system reports a failure
bool close_file(Handle h);

// read_full -- read until the buffer is full, the file ends, or an error
ReadResult read_full(Handle h, std::span<std::uint8_t> buf);

// write_all -- write every byte of the span; false on any failure
bool write_all(Handle h, std::span<const std::uint8_t> data);

// read_some / write_some -- one read or write: the bytes moved, 0 at the
// end of the file when reading, -1 on an error. Each system provides these;
// read_full and write_all loop over them.
std::ptrdiff_t read_some(Handle h, std::uint8_t* buf, std::size_t n);
std::ptrdiff_t write_some(Handle h, const std::uint8_t* data, std::size_t n);

// seek_to -- position at an absolute 64-bit offset
bool seek_to(Handle h, std::uint64_t offset);

// regular_size -- the size of a regular file; none for pipes and devices,
// whose length cannot be known in advance
std::optional<std::uint64_t> regular_size(Handle h);

// sync_file -- push the file's data to stable storage
bool sync_file(Handle h);

// remove_file -- delete a file (never a directory)
bool remove_file(const std::string& path);

enum class DirResult { created, existed, failed };

// make_dir -- create a directory, or accept one that already exists; a
// non-directory of that name is a failure
DirResult make_dir(const std::string& path);

// rename_noreplace -- give a file a new name; fails, changing nothing, when
// the new name is taken
bool rename_noreplace(const std::string& from, const std::string& to);

using RenameFn = bool (*)(const std::string& from, const std::string& to);

// rename_by_link -- the same through a second link and removal of the first,
// for filesystems whose rename cannot refuse to replace
bool rename_by_link(const std::string& from, const std::string& to);

}  // namespace platform
