#include "split.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "files.hpp"
#include "messages.hpp"
#include "naming.hpp"
#include "output.hpp"
#include "piece_kind.hpp"
#include "rebuild.hpp"
#include "record.hpp"
#include "sha256.hpp"
#include "text.hpp"

namespace {

using platform::FileSystem;

// The bundle being split, as the copy needs it.
struct Source {
    const InputFile& file;
    platform::FileInfo info;  // its size, and which file it is, to tell it from any piece path
    HashBehind& whole;        // of every byte read so far, in order, hashed behind the copy
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

// remove_stale -- a regular file of an earlier run at path, if any, removed,
// `removing` told of it first
Outcome remove_stale(FileSystem& fs, const std::string& dir, const std::string& name,
                     const std::function<Outcome(const std::string&)>& removing)
{
    const std::string path = dir + "/" + name;
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::write_failed, path, there.error);
    if (there.value.kind != platform::Kind::regular)
        return {};
    if (Outcome f = removing(name))
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

// read_range -- bytes [at, at + size) of the bundle, whole, fed to the
// bundle's hash (so they must stay until the next feed); a range past its
// end is `past`
Outcome read_range(const Source& src, std::uint64_t at, std::vector<std::uint8_t>& bytes, std::size_t size,
                   const std::function<Failure()>& past)
{
    bytes.resize(size);
    platform::Result<std::size_t> r = read_full_at(src.file.fs(), src.file.handle(), at, bytes);
    if (r.error)
        return system_failure(Fault::read_failed, src.file.path(), r.error);
    if (r.value != bytes.size())
        return past();
    src.whole.feed(bytes);
    return {};
}

// note_piece -- what the record keeps of a piece's bytes: their hash and,
// for an FLZ0 file that decodes as varnix decodes it, its decoded size
// and hash and the bytes after its stream; the decoded content, if any
std::optional<std::vector<std::uint8_t>> note_piece(std::span<const std::uint8_t> bytes, PieceRecord& rec)
{
    rec.stored = sha256(bytes);
    std::optional<Flz0Content> c = flz0_content(bytes);
    if (!c)
        return std::nullopt;
    rec.flz0 = true;
    rec.decoded_size = static_cast<std::uint32_t>(c->decoded.size());
    rec.decoded = sha256(c->decoded);
    rec.after.assign(bytes.begin() + static_cast<std::ptrdiff_t>(c->after), bytes.end());
    return std::move(c->decoded);
}

// write_piece -- one piece, under its final name once it is complete, so
// that its name holds either an earlier run's piece or this one, never a
// part; with decode, an FLZ0 piece decoded beside its own bytes as NNN.BAK
Outcome write_piece(const Source& src, const Piece& piece, const SplitOptions& options, const SplitEvents& events,
                    std::span<const std::uint8_t> bytes, const std::optional<std::vector<std::uint8_t>>& decoded)
{
    const std::string name = piece_file_name(piece.index);
    const std::string path = options.dir + "/" + name;
    bool raw = true;
    if (options.decode && has_flz0_magic(bytes)) {
        const Flz0Header header = read_flz0_header(bytes);
        if (Outcome f = events.decoding(header))
            return f;
        if (decoded) {
            raw = false;
            if (Outcome f = write_decoded(src, path, bytes, *decoded))
                return f;
        } else {
            std::vector<std::uint8_t> part(header.original_size);
            const Decoded d = decode_flz0_file(bytes, part);
            events.not_decoded(
                tool_failure(Fault::corrupt, path, format_text(msg::kStreamEndsFormat, d.produced, header.original_size)));
        }
    }
    if (raw)
        if (Outcome f = write_raw(src, path, bytes))
            return f;
    // A piece written as it stands was never compressed: no backup of it stays.
    return raw ? remove_stale(src.file.fs(), options.dir, name + kBackupSuffix, events.removing) : Outcome{};
}

// same_as_bundle -- whether a piece file holds the bytes the bundle holds
// for a piece now, which a split writes again: nothing of the user's is
// lost in replacing it, whatever the record says
Outcome same_as_bundle(const Source& src, const PieceRecord& p, std::span<const std::uint8_t> file,
                       std::vector<std::uint8_t>& held, bool& same)
{
    same = false;
    if (file.size() != p.end - p.start)
        return {};
    held.resize(file.size());
    platform::Result<std::size_t> r = read_full_at(src.file.fs(), src.file.handle(), p.start, held);
    if (r.error)
        return system_failure(Fault::read_failed, src.file.path(), r.error);
    same = r.value == held.size() && std::equal(held.begin(), held.end(), file.begin());
    return {};
}

// edits_kept -- a failure where dir holds the record of another bundle,
// or of this one with pieces changed since, which a split would replace
Outcome edits_kept(const Source& src, const std::string& dir, const SplitRecord& now)
{
    FileSystem& fs = src.file.fs();
    std::optional<SplitRecord> was;
    if (Outcome f = load_record(fs, dir, was))
        return f;
    if (!was)
        return {};
    if (was->bundle != now.bundle || was->size != now.size || was->table != now.table)
        return tool_failure(Fault::cannot_rename, dir, format_text(msg::kHoldsOtherFormat, was->bundle.c_str()));
    std::string changed;
    std::vector<std::uint8_t> file, held;  // kept from piece to piece, so that memory is not asked for again
    for (std::size_t k = 0; k < was->written; ++k) {
        const std::string name = piece_file_name(static_cast<int>(k));
        platform::Result<platform::FileInfo> there = fs.look(dir + "/" + name, platform::Links::refuse);
        if (there.error || there.value.kind != platform::Kind::regular)
            continue;  // gone, or never the tools': nothing of the user's to lose here
        if (Outcome f = read_whole(fs, dir + "/" + name, platform::Links::refuse, Fault::cannot_open, file))
            return f;
        // Compared first with the bundle, which costs less than a hash.
        bool same = false;
        if (!(was->decoded && was->pieces[k].flz0))
            if (Outcome f = same_as_bundle(src, was->pieces[k], file, held, same))
                return f;
        if (!same && !piece_unchanged(*was, k, file.size(), sha256(file)))
            changed += (changed.empty() ? "" : ", ") + name;
    }
    if (!changed.empty())
        return tool_failure(Fault::cannot_rename, dir, format_text(msg::kEditedFormat, changed.c_str()));
    return {};
}

// write_record -- the split record, whole or not at all, beside the pieces
Outcome write_record(const Source& src, const std::string& dir, const SplitRecord& rec)
{
    Output out(src.file.fs(), dir + "/" + kRecordName, OldFile::replace, Durability::cached);
    if (Outcome f = start_output(src, out))
        return f;
    const std::string text = record_text(rec);
    if (Outcome f = out.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}))
        return f;
    return committed(out);
}

// remove_record -- the split record in dir, if there is one, removed:
// the tools' own file, so with no word of it
Outcome remove_record(FileSystem& fs, const std::string& dir)
{
    return remove_stale(fs, dir, kRecordName, [](const std::string&) { return Outcome{}; });
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
        if (Outcome f = remove_stale(fs, dir, name, events.removing))
            return f;
    }
    return {};
}

// open_bundle -- the bundle open, its table read
Outcome open_bundle(const InputFile& in, std::int32_t maxfiles, platform::FileInfo& info, BundleSeen& seen,
                    TableBytes& table)
{
    if (in.error())
        return system_failure(Fault::cannot_open, in.path(), in.error());
    platform::Result<platform::FileInfo> r = in.fs().info(in.handle());
    if (r.error)
        return system_failure(Fault::cannot_open, in.path(), r.error);
    info = r.value;
    table = TableBytes{};  // a short bundle reads as zeros
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
    TableBytes table;
    return open_bundle(in, maxfiles, info, seen, table);
}

Outcome describe_pieces(FileSystem& fs, const std::string& bundle, const BundleSeen& seen,
                        std::vector<std::string>& kinds)
{
    InputFile in(fs, bundle, platform::Links::follow);
    if (in.error())
        return system_failure(Fault::cannot_open, bundle, in.error());
    std::vector<std::uint8_t> bytes;
    for (const Piece& piece : seen.list.pieces) {
        kinds.emplace_back();
        if (piece.end > seen.size)
            continue;
        bytes.resize(piece.size());
        platform::Result<std::size_t> r = read_full_at(fs, in.handle(), piece.start, bytes);
        if (r.error)
            return system_failure(Fault::read_failed, bundle, r.error);
        if (r.value == bytes.size())
            kinds.back() = piece_kind(bytes);
    }
    return {};
}

Outcome split_bundle(FileSystem& fs, const std::string& bundle, const SplitOptions& options,
                     const SplitEvents& events, BundleSeen& seen)
{
    InputFile in(fs, bundle, platform::Links::follow);
    platform::FileInfo info;
    TableBytes table{};
    if (Outcome f = open_bundle(in, options.maxfiles, info, seen, table))
        return f;
    // The record lists every piece the table does, also those past the limit.
    const std::vector<Piece> listed = list_pieces(table, kMaxPieces).pieces;
    SplitRecord rec;
    // Each piece is read into one of two buffers in turn: the bundle's hash
    // goes on over the one while the next is read into the other. Every
    // byte it is given (these, the record's head and tail, the table) is
    // made before it, so that it ends, and waits, first.
    std::array<std::vector<std::uint8_t>, 2> buffers;
    Sha256 hash;
    HashBehind whole(hash);
    const Source src{in, info, whole};
    rec.bundle = file_name_of(bundle);
    rec.size = info.size;
    rec.table = table;
    rec.decoded = options.decode;
    rec.listed = listed.size();
    rec.finished = false;
    // Nothing the user changed is replaced unasked.
    if (!options.force && !seen.list.pieces.empty())
        if (Outcome f = edits_kept(src, options.dir, rec))
            return f;
    // Every byte in order, once: the table up to piece 0 (which may start
    // inside it), the bytes between, the pieces, the bytes after them.
    std::uint64_t pos = std::min<std::uint64_t>(kTableSize, info.size);
    if (!listed.empty() && listed.front().start < pos)
        pos = listed.front().start;
    whole.feed(std::span(table).first(static_cast<std::size_t>(pos)));
    // No record where a listed piece runs past the end, or where the bytes
    // outside the pieces are more than a record holds.
    bool recorded = listed.empty() || listed.front().start - pos <= kMaxRecordedGap;
    if (recorded && !listed.empty() && listed.front().start > pos && listed.front().start <= info.size) {
        rec.head_start = pos;
        if (Outcome f = read_range(src, pos, rec.head, static_cast<std::size_t>(listed.front().start - pos),
                                   [&] { return past_the_end(src, listed.front()); }))
            return f;
        pos = listed.front().start;
    }
    bool dir_made = false;
    for (const Piece& piece : listed) {
        const bool writing = rec.pieces.size() < seen.list.pieces.size();
        if (writing)
            if (Outcome f = events.started(piece))
                return f;
        // Known in advance: fail before touching any piece file of an
        // earlier run.
        if (piece.end > info.size) {
            if (writing)
                return past_the_end(src, piece);
            recorded = false;  // a piece past the limit that is not all there: no record can say it
            break;
        }
        PieceRecord& p = rec.pieces.emplace_back();
        p.start = piece.start;
        p.end = piece.end;
        std::vector<std::uint8_t>& bytes = buffers[rec.pieces.size() % 2];
        if (Outcome f = read_range(src, piece.start, bytes, piece.size(), [&] { return past_the_end(src, piece); }))
            return f;
        const std::optional<std::vector<std::uint8_t>> decoded = note_piece(bytes, p);
        pos = piece.end;
        if (!writing)
            continue;
        // Made only for a piece, so that a file that describes none leaves
        // nothing behind; the record of an earlier split goes first, since
        // the pieces it speaks of are being replaced.
        if (!dir_made) {
            if (platform::SysError e = fs.make_dir(options.dir))
                return system_failure(Fault::write_failed, options.dir, e);
            if (Outcome f = remove_record(fs, options.dir))
                return f;
            dir_made = true;
        }
        if (Outcome f = write_piece(src, piece, options, events, bytes, decoded))
            return f;
        rec.written = rec.pieces.size();
        if (Outcome f = write_record(src, options.dir, rec))
            return f;
    }
    if (!dir_made)
        return {};
    if (recorded && info.size - pos <= kMaxRecordedGap) {
        rec.tail_start = pos;
        if (Outcome f = read_range(src, pos, rec.tail, static_cast<std::size_t>(info.size - pos),
                                   [&] { return tool_failure(Fault::read_failed, bundle, msg::kOutsideEnded); }))
            return f;
        whole.wait();
        rec.sha256 = hash.finish();
        rec.finished = true;
        if (Outcome f = write_record(src, options.dir, rec))
            return f;
    } else if (Outcome f = remove_record(fs, options.dir)) {
        return f;  // no record of this split can be had, and none of it running may stay
    }
    // The directory now holds this bundle's pieces, and only those.
    if (seen.list.more)
        return {};
    return remove_beyond(fs, options.dir, static_cast<int>(seen.list.pieces.size()), events);
}
