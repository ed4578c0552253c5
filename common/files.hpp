// Reading and writing through a FileSystem: whole buffers, and input files
// that close themselves.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "failure.hpp"
#include "platform.hpp"

// read_full -- read until the buffer is full, the file ends, or an error;
// the bytes that arrived
platform::Result<std::size_t> read_full(platform::FileSystem& fs, platform::Handle h, std::span<std::uint8_t> buf);

// read_full_at -- the same, from offset `at` of the file
platform::Result<std::size_t> read_full_at(platform::FileSystem& fs, platform::Handle h, std::uint64_t at,
                                           std::span<std::uint8_t> buf);

// write_all -- write every byte of data
platform::SysError write_all(platform::FileSystem& fs, platform::Handle h, std::span<const std::uint8_t> data);

// An input file, open for reading from when it is made until it is closed
// or goes out of scope. Closing a file that was only read loses nothing,
// so that result is not needed.
class InputFile {
public:
    InputFile(platform::FileSystem& fs, std::string path, platform::Links links);
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // error -- why it could not be opened; none when it is open
    platform::SysError error() const { return error_; }
    platform::Handle handle() const { return h_; }
    const std::string& path() const { return path_; }
    platform::FileSystem& fs() const { return fs_; }
    // close -- done with it; an open file cannot be renamed on every system
    void close();

private:
    platform::FileSystem& fs_;
    std::string path_;
    platform::Handle h_ = platform::kNoHandle;
    platform::SysError error_;
};

// read_whole -- every byte of a file, opened by name; every failure is
// `fault`, naming the file
Outcome read_whole(platform::FileSystem& fs, const std::string& path, platform::Links links, Fault fault,
                   std::vector<std::uint8_t>& bytes);
