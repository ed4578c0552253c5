// The thin layer over the operating system: files by handle, directories,
// links and renaming. Everything above it works on byte spans and these few
// calls. A call that fails records why; last_error() gives it back until the
// next call of this layer that fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// An open file; -1 when none is open.
using Handle = int;
inline constexpr Handle kNoHandle = -1;

// The characters that end a directory part of a path.
#ifdef _WIN32
inline constexpr char kPathSeparators[] = "/\\:";
#else
inline constexpr char kPathSeparators[] = "/";
#endif

// Why a call failed: a C runtime error number (errno), or on Windows a
// system error code when win32 is set. Negative codes are this layer's own.
struct SysError {
    int code = 0;
    bool win32 = false;
};
inline constexpr int kNotRegular = -1;  // the name is not a regular file (a directory, link, FIFO, device)

// last_error -- why the most recent failing call of this layer failed
SysError last_error();

// error_text -- the system's own text for an error, in English
std::string error_text(SysError e);

// What a read into a buffer returned: the bytes that arrived, and whether it
// stopped on an error rather than the end of the file.
struct ReadResult {
    std::size_t count = 0;
    bool error = false;
};

// open_read -- open an existing file of any kind for binary reading
Handle open_read(const std::string& path);

enum class Links { follow, refuse };

// open_regular -- open a regular file for binary reading without waiting
// on it; anything else, and with Links::refuse a symbolic link, fails with
// kNotRegular before it is opened
Handle open_regular(const std::string& path, Links links);

// create_temp -- a new, empty file for binary writing: whatever file had
// the name before (a stale one, or a link) is removed, never written through
Handle create_temp(const std::string& path);

// close_file -- close a handle; false when the system reports a failure
bool close_file(Handle h);

// read_full -- read until the buffer is full, the file ends, or an error
ReadResult read_full(Handle h, std::span<std::uint8_t> buf);

// write_all -- write every byte of the span; false on any failure
bool write_all(Handle h, std::span<const std::uint8_t> data);

enum class CopyStatus { done, read_error, ended, write_error };

// What a copy did: how it ended, and how many bytes it moved.
struct CopyResult {
    CopyStatus status;
    std::uint64_t copied;
};

// copy_exactly -- size bytes from in's position to out, a buffer at a time;
// `ended` when in has fewer
CopyResult copy_exactly(Handle in, Handle out, std::uint64_t size, std::span<std::uint8_t> buf);

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

// copy_attributes -- give `to` the permission bits of `from`, and its owner
// and group where the process may
bool copy_attributes(Handle from, Handle to);

// remove_file -- delete a file (never a directory)
bool remove_file(const std::string& path);

// exists -- whether anything has this name; a link is not followed
bool exists(const std::string& path);

// Which file a name or handle reaches: device and file number.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileId&) const = default;
};

// identity / identity_of -- the file behind a handle, or behind a name
// (links followed); none when it cannot be told
std::optional<FileId> identity(Handle h);
std::optional<FileId> identity_of(const std::string& path);

enum class DirResult { created, existed, failed };

// make_dir -- create a directory, or accept one that already exists; a
// non-directory of that name is a failure
DirResult make_dir(const std::string& path);

// list_dir -- the names in a directory, "." and ".." left out
std::optional<std::vector<std::string>> list_dir(const std::string& path);

// parent_dir -- the directory a path names its file in ("." for a bare name)
std::string parent_dir(const std::string& path);

// sync_dir -- make the names in a directory durable, where the system
// needs that done apart from the files
bool sync_dir(const std::string& path);

enum class LinkResult { linked, failed, unsupported };

// link_file -- give a file a second name; fails when that name is taken.
// unsupported when the filesystem cannot link at all (FAT, or a link
// refused with EPERM, EXDEV, EMLINK, ENOTSUP or EOPNOTSUPP)
LinkResult link_file(const std::string& from, const std::string& to);

// rename_over -- give a file a new name in one step, replacing a file that
// had it
bool rename_over(const std::string& from, const std::string& to);

// rename_noreplace -- give a file a new name; fails, changing nothing, when
// the new name is taken
bool rename_noreplace(const std::string& from, const std::string& to);

// rename_by_link -- the same through a second link and removal of the first,
// for filesystems whose rename cannot refuse to replace
bool rename_by_link(const std::string& from, const std::string& to);

// An input file that closes itself when it goes out of scope. Closing a
// file that was only read loses nothing, so its result is not needed.
class InputFile {
public:
    explicit InputFile(Handle h) : h_(h) {}
    ~InputFile()
    {
        if (h_ != kNoHandle)
            close_file(h_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    bool is_open() const { return h_ != kNoHandle; }
    Handle handle() const { return h_; }

private:
    Handle h_;
};

// The standard streams, for the console calls below.
enum class Stream { out, err };

// Which encoding a text is in, for write_console.
enum class TextEncoding { utf8, native };

// write_console -- when the stream is a console that takes UTF-16 text
// (Windows), write the text there and return true; otherwise, and on
// every other system, false, and the caller writes the bytes as they are
bool write_console(Stream s, std::string_view text, TextEncoding encoding);

// locale_codeset -- the character encoding the user's locale names for
// text written to a file or pipe ("UTF-8", "SHIFT_JIS", "EUC-JP", ...)
std::string locale_codeset();

}  // namespace platform
