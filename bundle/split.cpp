#include "split.hpp"

#include <array>
#include <optional>
#include <vector>

#include "bundle.hpp"
#include "console.hpp"
#include "platform.hpp"

namespace {

// Large enough that copying costs few system calls, smaller than the largest
// piece (1,261,568 bytes), so no piece is ever held whole. Plain reads and
// writes of this size beat the kernel's in-place copy (copy_file_range) on
// bundles: pieces start 512 bytes past a page boundary, which the kernel
// copies a split page at a time.
constexpr std::size_t kCopyBlock = 1024 * 1024;

enum class CopyResult { ok, read_failed, write_failed };

// copy_range -- copy size bytes from offset `start` of in to out
CopyResult copy_range(platform::Handle in, platform::Handle out, std::uint64_t start,
                      std::uint64_t size, std::vector<std::uint8_t>& buf)
{
    if (!platform::seek_to(in, start))
        return CopyResult::read_failed;
    while (size > 0) {
        std::span<std::uint8_t> block(buf.data(), std::min<std::uint64_t>(size, buf.size()));
        platform::ReadResult r = platform::read_full(in, block);
        if (r.error || r.count != block.size())
            return CopyResult::read_failed;
        if (!platform::write_all(out, block))
            return CopyResult::write_failed;
        size -= block.size();
    }
    return CopyResult::ok;
}

// write_piece -- create one piece file and fill it; a piece that fails
// part-way is removed, so no file holds less than its piece
SplitStatus write_piece(platform::Handle in, const Piece& piece, const std::string& path,
                        std::vector<std::uint8_t>& buf)
{
    platform::Handle out = platform::create_write(path);
    if (out == platform::kNoHandle)
        return SplitStatus::write_failed;
    CopyResult copied = copy_range(in, out, piece.start, piece.size(), buf);
    bool closed = platform::close_file(out);
    if (copied == CopyResult::ok && closed)
        return SplitStatus::completed;
    platform::remove_file(path);
    return copied == CopyResult::read_failed ? SplitStatus::read_failed : SplitStatus::write_failed;
}

// split_open_bundle -- the part of the run that needs the bundle open
SplitStatus split_open_bundle(platform::Handle in, const std::string& dir, std::int32_t maxfiles)
{
    std::array<std::uint8_t, kTableSize> table{};  // a short bundle reads as zeros
    if (platform::read_full(in, table).error)
        return SplitStatus::cannot_open;
    if (platform::make_dir(dir) == platform::DirResult::failed)
        return SplitStatus::write_failed;

    std::optional<std::uint64_t> bundle_size = platform::regular_size(in);
    std::vector<std::uint8_t> buf(kCopyBlock);
    for (const Piece& piece : enumerate_pieces(table, maxfiles)) {
        say(progress_line(piece));
        // Known in advance for a regular file: fail before touching any
        // piece file of an earlier run.
        if (bundle_size && piece.end > *bundle_size)
            return SplitStatus::read_failed;
        SplitStatus s = write_piece(in, piece, dir + "/" + piece_file_name(piece.index), buf);
        if (s != SplitStatus::completed)
            return s;
    }
    return SplitStatus::completed;
}

}  // namespace

SplitStatus split_bundle(const std::string& bundle, std::int32_t maxfiles)
{
    platform::Handle in = platform::open_read(bundle);
    if (in == platform::kNoHandle)
        return SplitStatus::cannot_open;
    SplitStatus s = split_open_bundle(in, piece_dir_name(bundle), maxfiles);
    platform::close_file(in);  // read only: nothing can be lost on close
    return s;
}
