// Reading and writing through a FileSystem: whole buffers, and input files
// that close themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "failure.hpp"
#include "platform.hpp"
#include "sha256.hpp"

// Bytes a tool holds.
using Bytes = std::vector<std::uint8_t>;

// in_dir -- a file of a directory
std::string in_dir(const std::string& dir, std::string_view name);

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

// read_exact -- bytes [at, at + out.size()) of an open file, all of them:
// a read that fails is read_failed, and a file that ends first is too,
// saying where it ended (ended_after: at + the bytes read, of at +
// out.size())
Outcome read_exact(const InputFile& in, std::uint64_t at, std::span<std::uint8_t> out);

// opened -- a failure (`fault`, naming the file) where a file could not
// be opened or looked at; else what it is
Outcome opened(const InputFile& in, Fault fault, platform::FileInfo& info);

// read_whole -- every byte of a file, opened by name; every failure is
// `fault`, naming the file
Outcome read_whole(platform::FileSystem& fs, const std::string& path, platform::Links links, Fault fault,
                   std::vector<std::uint8_t>& bytes);

// read_if_regular -- every byte of the file a name holds where it is a
// regular file, not reached through a link; none where the name holds
// nothing or anything else. Every failure is cannot_open, naming it.
Outcome read_if_regular(platform::FileSystem& fs, const std::string& path, std::optional<Bytes>& bytes);

// side_of_file -- the size and SHA-256 of the regular file a name holds,
// not reached through a link; not present where the name holds nothing.
// Anything else there, or a failure, is `fault`, naming it.
Outcome side_of_file(platform::FileSystem& fs, const std::string& path, Fault fault, Side& side);

// Bytes read at any offset: a file's, or a planned output's (plan.hpp).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // name -- the file a failure names
    virtual const std::string& name() const = 0;
    virtual std::uint64_t size() const = 0;
    // read -- bytes [at, at + out.size()), all of them, as read_exact reads them
    virtual Outcome read(std::uint64_t at, std::span<std::uint8_t> out) = 0;
};

// An open input file as a ByteSource, of the size it had when it was looked at.
class FileBytes final : public ByteSource {
public:
    FileBytes(const InputFile& in, std::uint64_t size) : in_(in), size_(size) {}
    const std::string& name() const override { return in_.path(); }
    std::uint64_t size() const override { return size_; }
    Outcome read(std::uint64_t at, std::span<std::uint8_t> out) override { return read_exact(in_, at, out); }

private:
    const InputFile& in_;
    std::uint64_t size_;
};
