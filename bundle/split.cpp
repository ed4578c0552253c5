#include "split.hpp"

#include <vector>

#include "files.hpp"
#include "messages.hpp"
#include "naming.hpp"
#include "output.hpp"
#include "text.hpp"

namespace {

using platform::FileSystem;

// The bundle being split, as the copy needs it.
struct Source {
    const InputFile& file;
    platform::FileInfo info;  // its size, and which file it is, to tell it from any piece path
};

Failure past_the_end(const Source& src, const Piece& piece)
{
    return tool_failure(Fault::read_failed, src.file.path(),
                        format_text(msg::kPastTheEndFormat, piece.index, static_cast<unsigned>(piece.end),
                                    static_cast<unsigned long long>(src.info.size)));
}

// reaches_the_bundle -- a failure when a path reaches the bundle itself, as
// it can through a piece directory that is a link back to the bundle's own
Outcome reaches_the_bundle(const Source& src, const std::string& path)
{
    platform::Result<platform::FileInfo> r = src.file.fs().look(path, platform::Links::follow);
    if (r.error)
        return system_failure(Fault::write_failed, path, r.error);
    if (r.value.kind != platform::Kind::none && r.value.id == src.info.id)
        return tool_failure(Fault::write_failed, path, "is the bundle being split");
    return {};
}

// write_piece -- one piece, under its final name once it is complete, so
// that its name holds either an earlier run's piece or this one, never a part
Outcome write_piece(const Source& src, const Piece& piece, const std::string& dir, std::vector<std::uint8_t>& buf)
{
    // Not synced: a piece is as durable as any copied file, and syncing
    // each would cost several times the copy.
    Output out(src.file.fs(), dir + "/" + piece_file_name(piece.index), OldFile::replace, Durability::cached);
    for (const std::string& name : {out.temp(), out.path()})
        if (Outcome f = reaches_the_bundle(src, name))
            return f;
    if (Outcome f = out.create())
        return f;
    if (platform::SysError e = src.file.fs().seek(src.file.handle(), piece.start))
        return system_failure(Fault::read_failed, src.file.path(), e);
    if (Outcome f = copy_exactly(src.file, out, piece.size(), buf,
                                 [&](std::uint64_t) { return past_the_end(src, piece); }))
        return f;
    Outcome committed = out.commit();
    // bndsplit has one message for every piece that cannot be made, named
    // or not: a piece that cannot take its name is not written.
    if (committed && committed->fault == Fault::cannot_rename)
        committed->fault = Fault::write_failed;
    return committed;
}

// open_bundle -- the bundle open, its table read
Outcome open_bundle(const InputFile& in, std::int32_t maxfiles, platform::FileInfo& info, BundleSeen& seen)
{
    if (in.error())
        return system_failure(Fault::cannot_open, in.path(), in.error());
    platform::Result<platform::FileInfo> r = in.fs().info(in.handle());
    if (r.error)
        return system_failure(Fault::cannot_open, in.path(), r.error);
    info = r.value;
    TableBytes table{};  // a short bundle reads as zeros
    if (platform::Result<std::size_t> read = read_full(in.fs(), in.handle(), table); read.error)
        return system_failure(Fault::cannot_open, in.path(), read.error);
    seen = {list_pieces(table, maxfiles), info.size};
    return {};
}

}  // namespace

Outcome look_at_bundle(FileSystem& fs, const std::string& bundle, std::int32_t maxfiles, BundleSeen& seen)
{
    InputFile in(fs, bundle, platform::Links::follow);
    platform::FileInfo info;
    return open_bundle(in, maxfiles, info, seen);
}

Outcome split_bundle(FileSystem& fs, const std::string& bundle, const std::string& dir, std::int32_t maxfiles,
                     const std::function<Outcome(const Piece&)>& started, BundleSeen& seen)
{
    InputFile in(fs, bundle, platform::Links::follow);
    platform::FileInfo info;
    if (Outcome f = open_bundle(in, maxfiles, info, seen))
        return f;
    const Source src{in, info};
    std::vector<std::uint8_t> buf;
    for (const Piece& piece : seen.list.pieces) {
        if (Outcome f = started(piece))
            return f;
        // Known in advance: fail before touching any piece file of an
        // earlier run.
        if (piece.end > src.info.size)
            return past_the_end(src, piece);
        // Made only for a piece, so that a file that describes none
        // leaves nothing behind.
        if (buf.empty()) {
            if (platform::SysError e = fs.make_dir(dir))
                return system_failure(Fault::write_failed, dir, e);
            buf.resize(kCopyBlock);
        }
        if (Outcome f = write_piece(src, piece, dir, buf))
            return f;
    }
    return {};
}
