#include "split.hpp"

#include <array>
#include <optional>
#include <vector>

#include "bundle.hpp"
#include "messages.hpp"
#include "platform.hpp"
#include "replace.hpp"

namespace {

// The bundle being split, as the copy needs it.
struct Source {
    const std::string& name;
    platform::Handle handle;
    std::optional<platform::FileId> id;      // to tell it from any piece path
    std::optional<std::uint64_t> size;       // known in advance for a regular file
};

SplitResult failure(SplitStatus status, Detail detail)
{
    return {status, std::move(detail)};
}

SplitResult past_the_end(const Source& src, const Piece& piece)
{
    std::string where = src.size ? format_text("the %llu-byte bundle", static_cast<unsigned long long>(*src.size))
                                 : std::string("the bundle");
    return failure(SplitStatus::read_failed,
                   tool_detail(src.name, format_text("piece %d ends at 0x%08x, past the end of %s", piece.index,
                                                     static_cast<unsigned>(piece.end), where.c_str())));
}

// is_the_bundle -- whether a path reaches the bundle itself, as it can
// through a piece directory that is a link back to the bundle's own
bool is_the_bundle(const Source& src, const std::string& path)
{
    return src.id && platform::identity_of(path) == src.id;
}

// copy_piece -- the piece's bytes from the bundle into out
SplitResult copy_piece(const Source& src, const Piece& piece, platform::Handle out, const std::string& temp,
                       std::vector<std::uint8_t>& buf)
{
    if (!platform::seek_to(src.handle, piece.start))
        return failure(SplitStatus::read_failed, system_detail(src.name));
    switch (platform::copy_exactly(src.handle, out, piece.size(), buf).status) {
    case platform::CopyStatus::done:
        break;
    case platform::CopyStatus::read_error:
        return failure(SplitStatus::read_failed, system_detail(src.name));
    case platform::CopyStatus::ended:
        return past_the_end(src, piece);
    case platform::CopyStatus::write_error:
        return failure(SplitStatus::write_failed, system_detail(temp));
    }
    return {SplitStatus::completed, {}};
}

// write_piece -- one piece, written under a temporary name and renamed
// once it is complete, so that its final name holds either an earlier
// run's piece or this one, never a part
SplitResult write_piece(const Source& src, const Piece& piece, const std::string& dir, std::vector<std::uint8_t>& buf)
{
    const std::string path = dir + "/" + piece_file_name(piece.index);
    const std::string temp = path + kTempSuffix;
    for (const std::string& name : {temp, path})
        if (is_the_bundle(src, name))
            return failure(SplitStatus::write_failed, tool_detail(name, "is the bundle being split"));

    platform::Handle out = platform::create_temp(temp);
    if (out == platform::kNoHandle)
        return failure(SplitStatus::write_failed, system_detail(temp));
    SplitResult copied = copy_piece(src, piece, out, temp, buf);
    if (copied.status != SplitStatus::completed) {
        discard_temp(out, temp);
        return copied;
    }
    // Not synced: a piece is as durable as any copied file, and syncing
    // each would cost several times the copy.
    Detail why;
    if (!finish_temp(out, temp, false, why))
        return failure(SplitStatus::write_failed, why);
    SwapResult s = swap_in_or_discard(path, temp, OldFile::replace, Durable::no);
    if (s.status != SwapStatus::done)
        return failure(SplitStatus::write_failed, s.detail);
    return copied;
}

// split_open_bundle -- the part of the run that needs the bundle open
SplitResult split_open_bundle(const Source& src, const std::string& dir, std::int32_t maxfiles)
{
    std::array<std::uint8_t, kTableSize> table{};  // a short bundle reads as zeros
    if (platform::read_full(src.handle, table).error)
        return failure(SplitStatus::cannot_open, system_detail(src.name));

    bool have_dir = false;
    std::vector<std::uint8_t> buf;
    for (const Piece& piece : enumerate_pieces(table, maxfiles)) {
        if (!say_now(piece_line(msg::kCuttingFormat, piece)))
            return failure(SplitStatus::write_failed, stdout_detail());
        // Known in advance for a regular file: fail before touching any
        // piece file of an earlier run.
        if (src.size && piece.end > *src.size)
            return past_the_end(src, piece);
        // Made only for a piece, so that a file that describes none
        // leaves nothing behind.
        if (!have_dir) {
            if (platform::make_dir(dir) == platform::DirResult::failed)
                return failure(SplitStatus::write_failed, system_detail(dir));
            have_dir = true;
            buf.resize(kCopyBlock);
        }
        SplitResult r = write_piece(src, piece, dir, buf);
        if (r.status != SplitStatus::completed)
            return r;
    }
    return {SplitStatus::completed, {}};
}

}  // namespace

SplitResult split_bundle(const std::string& bundle, std::int32_t maxfiles)
{
    platform::InputFile in(platform::open_read(bundle));
    if (!in.is_open())
        return failure(SplitStatus::cannot_open, system_detail(bundle));
    const Source src{bundle, in.handle(), platform::identity(in.handle()), platform::regular_size(in.handle())};
    return split_open_bundle(src, piece_dir_name(bundle), maxfiles);
}
