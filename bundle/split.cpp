#include "split.hpp"

#include <algorithm>
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
        return tool_failure(Fault::write_failed, path, msg::kIsTheBundle);
    return {};
}

// committed -- an output's commit, as bndsplit reports it: with one
// message for every piece that cannot be made, named or not
Outcome committed(Output& out)
{
    Outcome f = out.commit();
    if (f && f->fault == Fault::cannot_rename)
        f->fault = Fault::write_failed;
    return f;
}

// start_output -- an output for a piece file, made once every name it
// uses is found not to reach the bundle. Not synced: a piece is as durable
// as any copied file, and syncing each would cost several times the copy.
Outcome start_output(const Source& src, Output& out)
{
    for (const std::string& name : {out.temp(), out.path()})
        if (Outcome f = reaches_the_bundle(src, name))
            return f;
    return out.create();
}

// remove_stale -- a regular file of an earlier run at path, if any, removed
Outcome remove_stale(FileSystem& fs, const std::string& dir, const std::string& name, const SplitEvents& events)
{
    const std::string path = dir + "/" + name;
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::write_failed, path, there.error);
    if (there.value.kind != platform::Kind::regular)
        return {};
    if (Outcome f = events.removing(name))
        return f;
    if (platform::SysError e = fs.remove(path))
        return system_failure(Fault::write_failed, path, e);
    return {};
}

// write_decoded -- an FLZ0 piece as varnix would leave it: decoded under
// its name, its own bytes beside it as <nnn>.BAK, each whole or not at all
Outcome write_decoded(const Source& src, const std::string& path, std::span<const std::uint8_t> packed,
                      std::span<const std::uint8_t> decoded)
{
    FileSystem& fs = src.file.fs();
    Output backup(fs, path + kBackupSuffix, OldFile::replace, Durability::cached);
    Output plain(fs, path, OldFile::replace, Durability::cached);
    for (Output* out : {&backup, &plain})
        if (Outcome f = start_output(src, *out))
            return f;
    if (Outcome f = backup.write(packed))
        return f;
    if (Outcome f = plain.write(decoded))
        return f;
    if (Outcome f = committed(backup))
        return f;
    return committed(plain);
}

// write_raw -- a piece as it stands, from memory; an <nnn>.BAK of an
// earlier run beside it is removed
Outcome write_raw(const Source& src, const std::string& path, std::span<const std::uint8_t> bytes)
{
    Output out(src.file.fs(), path, OldFile::replace, Durability::cached);
    if (Outcome f = start_output(src, out))
        return f;
    if (Outcome f = out.write(bytes))
        return f;
    return committed(out);
}

// decode_piece -- with decode: the piece read whole, and written decoded
// where it is an FLZ0 file that decodes, else as it stands
Outcome decode_piece(const Source& src, const Piece& piece, const std::string& path, const SplitEvents& events,
                     bool& raw)
{
    std::vector<std::uint8_t> bytes(piece.size());
    platform::Result<std::size_t> r = read_full(src.file.fs(), src.file.handle(), bytes);
    if (r.error)
        return system_failure(Fault::read_failed, src.file.path(), r.error);
    if (r.value != bytes.size())
        return past_the_end(src, piece);
    raw = true;
    if (!has_flz0_magic(bytes))
        return write_raw(src, path, bytes);
    const Flz0Header header = read_flz0_header(bytes);
    if (Outcome f = events.decoding(header))
        return f;
    std::vector<std::uint8_t> decoded(header.original_size);
    const Decoded d = decode_flz0_file(bytes, decoded);
    if (d.status == DecodeStatus::ok) {
        raw = false;
        return write_decoded(src, path, bytes, decoded);
    }
    events.not_decoded(tool_failure(Fault::corrupt, path,
                                    format_text(msg::kStreamEndsFormat, d.produced, header.original_size)));
    return write_raw(src, path, bytes);
}

// write_piece -- one piece, under its final name once it is complete, so
// that its name holds either an earlier run's piece or this one, never a part
Outcome write_piece(const Source& src, const Piece& piece, const SplitOptions& options, const SplitEvents& events,
                    std::vector<std::uint8_t>& buf)
{
    const std::string name = piece_file_name(piece.index);
    const std::string path = options.dir + "/" + name;
    if (platform::SysError e = src.file.fs().seek(src.file.handle(), piece.start))
        return system_failure(Fault::read_failed, src.file.path(), e);
    bool raw = true;
    if (options.decode) {
        if (Outcome f = decode_piece(src, piece, path, events, raw))
            return f;
    } else {
        Output out(src.file.fs(), path, OldFile::replace, Durability::cached);
        if (Outcome f = start_output(src, out))
            return f;
        if (Outcome f = copy_exactly(src.file, out, piece.size(), buf,
                                     [&](std::uint64_t) { return past_the_end(src, piece); }))
            return f;
        if (Outcome f = committed(out))
            return f;
    }
    // A piece written as it stands was never compressed: no backup of it stays.
    return raw ? remove_stale(src.file.fs(), options.dir, name + kBackupSuffix, events) : Outcome{};
}

// remove_beyond -- the pieces of an earlier run numbered from `count` on
Outcome remove_beyond(FileSystem& fs, const std::string& dir, int count, const SplitEvents& events)
{
    platform::Result<std::vector<std::string>> names = fs.list_dir(dir);
    if (names.error)
        return system_failure(Fault::write_failed, dir, names.error);
    std::sort(names.value.begin(), names.value.end());
    for (const std::string& name : names.value) {
        if (piece_number(name) < count)
            continue;  // a piece kept, or no piece file at all
        if (Outcome f = remove_stale(fs, dir, name, events))
            return f;
    }
    return {};
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

Outcome split_bundle(FileSystem& fs, const std::string& bundle, const SplitOptions& options,
                     const SplitEvents& events, BundleSeen& seen)
{
    InputFile in(fs, bundle, platform::Links::follow);
    platform::FileInfo info;
    if (Outcome f = open_bundle(in, options.maxfiles, info, seen))
        return f;
    const Source src{in, info};
    std::vector<std::uint8_t> buf;
    bool dir_made = false;
    for (const Piece& piece : seen.list.pieces) {
        if (Outcome f = events.started(piece))
            return f;
        // Known in advance: fail before touching any piece file of an
        // earlier run.
        if (piece.end > src.info.size)
            return past_the_end(src, piece);
        // Made only for a piece, so that a file that describes none
        // leaves nothing behind.
        if (!dir_made) {
            if (platform::SysError e = fs.make_dir(options.dir))
                return system_failure(Fault::write_failed, options.dir, e);
            dir_made = true;
            buf.resize(kCopyBlock);
        }
        if (Outcome f = write_piece(src, piece, options, events, buf))
            return f;
    }
    // The directory now holds this bundle's pieces, and only those.
    if (!dir_made || seen.list.more)
        return {};
    return remove_beyond(fs, options.dir, static_cast<int>(seen.list.pieces.size()), events);
}
