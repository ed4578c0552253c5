#include "rebuild.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "files.hpp"
#include "flz0.hpp"
#include "layout.hpp"
#include "messages.hpp"
#include "naming.hpp"
#include "output.hpp"
#include "pack.hpp"
#include "sha256.hpp"
#include "text.hpp"

namespace {

using platform::FileSystem;
using Bytes = std::vector<std::uint8_t>;

// What the name of the bundle holds now, as the record sees it.
enum class Target { none, original, joined };

// hash_range -- the SHA-256 of bytes [offset, offset + size) of an open
// file, read through buf; `whole` false where the file ends before them;
// a read that fails is `fault`
Outcome hash_range(const InputFile& in, std::uint64_t offset, std::uint64_t size, Bytes& buf, Digest& hash,
                   bool& whole, Fault fault = Fault::read_failed)
{
    if (platform::SysError e = in.fs().seek(in.handle(), offset))
        return system_failure(fault, in.path(), e);
    Sha256 h;
    whole = true;
    for (std::uint64_t left = size; left > 0 && whole;) {
        const std::span<std::uint8_t> part = std::span(buf).first(static_cast<std::size_t>(std::min<std::uint64_t>(left, buf.size())));
        platform::Result<std::size_t> r = read_full(in.fs(), in.handle(), part);
        if (r.error)
            return system_failure(fault, in.path(), r.error);
        h.update(part.first(r.value));
        whole = r.value == part.size();
        left -= r.value;
    }
    hash = h.finish();
    return {};
}

// joined_by -- whether a join from the record built a bundle of this size and hash
bool joined_by(const SplitRecord& rec, std::uint64_t size, const Digest* hash)
{
    return std::any_of(rec.joined.begin(), rec.joined.end(),
                       [&](const auto& j) { return j.first == size && (!hash || j.second == *hash); });
}

// identify -- whether a file is the bundle the record was cut from, or one
// a join from it wrote; `found` its size and hash, where it was hashed
Outcome identify(FileSystem& fs, const std::string& path, const SplitRecord& rec, Target& is,
                 std::pair<std::uint64_t, Digest>& found)
{
    is = Target::none;
    InputFile in(fs, path, platform::Links::refuse);
    if (in.error())
        return system_failure(Fault::cannot_open, path, in.error());
    // A size neither bundle had needs no hash to tell.
    platform::Result<platform::FileInfo> info = fs.info(in.handle());
    if (info.error)
        return system_failure(Fault::cannot_open, path, info.error);
    if (info.value.size != rec.size && !joined_by(rec, info.value.size, nullptr))
        return {};
    auto& [size, hash] = found;
    size = info.value.size;
    Bytes buf(kCopyBlock);
    bool whole = false;
    if (Outcome f = hash_range(in, 0, size, buf, hash, whole, Fault::cannot_open))
        return f;
    if (!whole)
        return {};  // it shrank while it was read: neither
    if (size == rec.size && hash == rec.sha256)
        is = Target::original;
    else if (joined_by(rec, size, &hash))
        is = Target::joined;
    return {};
}

// What is stored for a piece: bytes in memory, or `size` bytes of an open
// file from `offset` (a piece file as it stands, or the bundle it was cut
// from), copied when the bundle is written, so that a join never holds
// every piece at once; then `padding`, to keep the next piece on a grid.
struct Stored {
    Bytes bytes;
    std::shared_ptr<InputFile> file;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;  // of the file's bytes, where there is a file
    Bytes padding;
    std::uint64_t total() const { return (file ? size : bytes.size()) + padding.size(); }
};

// from_source -- piece k's stored bytes from the bundle it was cut from,
// checked by their hash; none where there is no such bundle or it no
// longer holds them
Outcome from_source(const std::shared_ptr<InputFile>& source, const PieceRecord& p, Bytes& buf,
                    std::optional<Stored>& stored)
{
    stored.reset();
    if (!source)
        return {};
    Digest hash{};
    bool whole = false;
    if (Outcome f = hash_range(*source, p.start, p.end - p.start, buf, hash, whole))
        return f;
    if (whole && hash == p.stored)
        stored = Stored{{}, source, p.start, p.end - p.start, {}};
    return {};
}

// open_piece -- the piece file NNN open, with its size; none where there is none
Outcome open_piece(FileSystem& fs, const std::string& path, std::shared_ptr<InputFile>& file, std::uint64_t& size)
{
    file.reset();
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::follow);
    if (there.error)
        return system_failure(Fault::cannot_open, path, there.error);
    if (there.value.kind == platform::Kind::none)
        return {};
    if (there.value.kind != platform::Kind::regular)
        return system_failure(Fault::bad_piece, path, platform::SysError{platform::kNotRegular});
    auto in = std::make_shared<InputFile>(fs, path, platform::Links::follow);
    if (in->error())
        return system_failure(in->error().code == platform::kNotRegular ? Fault::bad_piece : Fault::cannot_open, path,
                              in->error());
    platform::Result<platform::FileInfo> info = fs.info(in->handle());
    if (info.error)
        return system_failure(Fault::cannot_open, path, info.error);
    size = info.value.size;
    if (size > kMaxPieceSize)
        return tool_failure(Fault::bad_piece, path,
                            format_text(msg::kPieceTooLargeFormat, static_cast<unsigned long long>(size), kMaxPieceSize));
    file = std::move(in);
    return {};
}

// load -- an open piece file's bytes, all `size` of them
Outcome load(const InputFile& in, std::uint64_t size, Bytes& bytes)
{
    bytes.resize(static_cast<std::size_t>(size));
    platform::Result<std::size_t> r = read_full_at(in.fs(), in.handle(), 0, bytes);
    if (r.error)
        return system_failure(Fault::read_failed, in.path(), r.error);
    if (r.value != bytes.size())
        return tool_failure(Fault::read_failed, in.path(),
                            format_text(msg::kEndedAfterFormat, static_cast<unsigned long long>(r.value),
                                        static_cast<unsigned long long>(size)));
    return {};
}

// uniform -- whether bytes are all one byte, as padding is
bool uniform(std::span<const std::uint8_t> bytes)
{
    return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == bytes[0]; });
}

// compressed_again -- a changed piece that was an FLZ0 file, stored as one
// again: as it stands where the user made it one, else compressed as
// flz0pack compresses, the bytes after its stream kept after the new one
// (unless they are padding to a grid, which the layout puts back)
Outcome compressed_again(const std::string& path, const PieceRecord& p, std::uint32_t grid, Bytes plain,
                         Bytes& stored, PieceFate& fate)
{
    if (has_flz0_magic(plain)) {
        std::vector<std::uint8_t> check(read_flz0_header(plain).original_size);
        if (decode_flz0_file(plain, check).status == DecodeStatus::ok) {
            stored = std::move(plain);
            fate.store = PieceStore::as_it_stands;
            return {};
        }
    }
    fate.store = PieceStore::compressed;
    if (plain.size() > kMaxOriginalSize)
        return tool_failure(Fault::bad_piece, path, format_text(msg::kPieceTooLargeToPackFormat, plain.size(), kMaxOriginalSize));
    Outcome f = flz0_pack_checked(path, plain, stored);
    if (f && f->fault == Fault::too_large)
        f->fault = Fault::bad_piece;
    if (!f && !(grid > 1 && uniform(p.after)))
        stored.insert(stored.end(), p.after.begin(), p.after.end());
    return f;
}

// What a rebuild works with, piece by piece.
struct Work {
    FileSystem& fs;
    const JoinOptions& options;
    const SplitRecord& rec;
    std::uint32_t grid;
    // The bundle the pieces not in the directory come from: the one they
    // were cut from, where it is still there.
    std::shared_ptr<InputFile> source;
    Bytes buf = Bytes(kCopyBlock);  // for hashing what is not held
};

// stored_piece -- what the bundle stores for listed piece k
Outcome stored_piece(Work& w, std::size_t k, Stored& stored, PieceFate& fate)
{
    const PieceRecord& p = w.rec.pieces[k];
    const std::string path = w.options.dir + "/" + piece_file_name(static_cast<int>(k));
    std::shared_ptr<InputFile> file;
    std::uint64_t size = 0;
    if (Outcome f = open_piece(w.fs, path, file, size))
        return f;
    std::optional<Stored> original;
    if (!file) {
        if (Outcome f = from_source(w.source, p, w.buf, original))
            return f;
        if (!original)
            return tool_failure(Fault::bad_piece, path, msg::kMissingPiece);
        stored = std::move(*original);
        fate = {PieceChange::from_source, PieceStore::original};
        return {};
    }
    Digest hash{};
    bool whole = false;
    if (Outcome f = hash_range(*file, 0, size, w.buf, hash, whole))
        return f;
    const bool unchanged = whole && piece_unchanged(w.rec, k, size, hash);
    fate.change = unchanged ? PieceChange::unchanged : PieceChange::changed;
    const bool decoded = w.rec.decoded && p.flz0;
    if ((w.options.as_is || !decoded) && (unchanged || w.options.as_is || !p.flz0)) {
        // The stored bytes themselves, or a raw piece as it stands.
        stored = Stored{{}, file, 0, size, {}};
        fate.store = unchanged && !decoded ? PieceStore::original : PieceStore::as_it_stands;
        return {};
    }
    Bytes plain;
    if (Outcome f = load(*file, size, plain))
        return f;
    if (!unchanged || !decoded)
        return compressed_again(path, p, w.grid, std::move(plain), stored.bytes, fate);  // an FLZ0 piece the user changed
    // Decoded and unchanged: the FLZ0 bytes it came from, from NNN.BAK or
    // the bundle, else compressed again.
    Bytes backup;
    const std::string bak = path + kBackupSuffix;
    platform::Result<platform::FileInfo> there = w.fs.look(bak, platform::Links::refuse);
    if (!there.error && there.value.kind == platform::Kind::regular &&
        !read_whole(w.fs, bak, platform::Links::refuse, Fault::cannot_open, backup) && sha256(backup) == p.stored) {
        stored.bytes = std::move(backup);
        return {};
    }
    if (Outcome f = from_source(w.source, p, w.buf, original))
        return f;
    if (original) {
        stored = std::move(*original);
        return {};
    }
    return compressed_again(path, p, w.grid, std::move(plain), stored.bytes, fate);
}

// added_pieces -- the piece files after the last listed one, as they stand
Outcome added_pieces(Work& w, std::vector<Stored>& stored)
{
    for (std::size_t k = w.rec.pieces.size();; ++k) {
        const std::string path = w.options.dir + "/" + piece_file_name(static_cast<int>(k));
        std::shared_ptr<InputFile> file;
        std::uint64_t size = 0;
        if (Outcome f = open_piece(w.fs, path, file, size))
            return f;
        if (!file)
            return {};
        if (k >= static_cast<std::size_t>(kMaxPieces))
            return tool_failure(Fault::bad_piece, path, format_text(msg::kAtMostPiecesFormat, kMaxPieces));
        stored.push_back(Stored{{}, std::move(file), 0, size, {}});
    }
}

// write_hashed -- bytes into the output and the new bundle's hash, which
// goes on behind the writes: they must stay as they are until the next
Outcome write_hashed(Output& out, HashBehind& h, std::span<const std::uint8_t> bytes)
{
    h.feed(bytes);
    return out.write(bytes);
}

// Two copy buffers, used in turn: the hash goes on over the one while the
// next part is read into the other.
struct CopyBuffers {
    std::array<Bytes, 2> buf{Bytes(kCopyBlock), Bytes(kCopyBlock)};
    std::size_t next = 0;
};

// write_stored -- what is stored for a piece into the output
Outcome write_stored(Output& out, HashBehind& h, const Stored& s, CopyBuffers& copy)
{
    if (!s.file) {
        if (Outcome f = write_hashed(out, h, s.bytes))
            return f;
    } else {
        const InputFile& in = *s.file;
        if (platform::SysError e = in.fs().seek(in.handle(), s.offset))
            return system_failure(Fault::read_failed, in.path(), e);
        for (std::uint64_t done = 0; done < s.size;) {
            Bytes& buf = copy.buf[copy.next++ % 2];
            const std::span<std::uint8_t> part =
                std::span(buf).first(static_cast<std::size_t>(std::min<std::uint64_t>(s.size - done, buf.size())));
            platform::Result<std::size_t> r = read_full(in.fs(), in.handle(), part);
            if (r.error)
                return system_failure(Fault::read_failed, in.path(), r.error);
            if (r.value != part.size())  // it shrank since it was looked at
                return tool_failure(Fault::read_failed, in.path(),
                                    format_text(msg::kEndedAfterFormat, static_cast<unsigned long long>(done + r.value),
                                                static_cast<unsigned long long>(s.size)));
            if (Outcome f = write_hashed(out, h, part))
                return f;
            done += part.size();
        }
    }
    return write_hashed(out, h, s.padding);
}

// fill -- the new bundle into out: the table up to piece 0, the bytes
// kept before it, the pieces, the bytes kept after them
Outcome fill(Output& out, HashBehind& h, const Layout& layout, const SplitRecord& rec, bool kept,
             const std::vector<Stored>& stored, CopyBuffers& copy, const std::function<Outcome(const Piece&)>& started)
{
    const std::size_t table_end = std::min<std::size_t>(kTableSize, layout.pieces.front().start);
    if (Outcome f = write_hashed(out, h, std::span(layout.table).first(table_end)))
        return f;
    if (kept)
        if (Outcome f = write_hashed(out, h, rec.head))
            return f;
    for (std::size_t k = 0; k < stored.size(); ++k) {
        if (Outcome f = started(layout.pieces[k]))
            return f;
        if (Outcome f = write_stored(out, h, stored[k], copy))
            return f;
    }
    if (kept)
        if (Outcome f = write_hashed(out, h, rec.tail))
            return f;
    return {};
}

// keep_on_grid -- every piece whose size changed, or that was added,
// padded so that the one after it starts on the grid, from piece 0's start;
// the last one so only where the original's last piece ended on it. The
// padding is the piece's own where its bytes after the stream were one
// byte repeated, else zeros.
void keep_on_grid(const SplitRecord& rec, std::uint32_t grid, std::uint64_t start, std::vector<Stored>& stored)
{
    const bool last_on_grid = !rec.pieces.empty() && rec.pieces.back().end % grid == 0;
    std::uint64_t at = start;
    for (std::size_t k = 0; k < stored.size(); ++k) {
        const bool listed = k < rec.pieces.size();
        const bool moved = !listed || stored[k].total() != rec.pieces[k].end - rec.pieces[k].start;
        if (moved && (k + 1 < stored.size() || last_on_grid)) {
            const std::uint8_t fill = listed && uniform(rec.pieces[k].after) ? rec.pieces[k].after[0] : 0;
            stored[k].padding.assign(padding_to_grid(at, stored[k].total(), grid), fill);
        }
        at += stored[k].total();
    }
}

// write_joined -- the record, now saying which bundle this join wrote,
// and the one a join wrote that it replaces, which the name holds until
// the new one takes it: a join after a crash between the two finds either
Outcome write_joined(FileSystem& fs, const std::string& dir, SplitRecord rec,
                     const std::optional<std::pair<std::uint64_t, Digest>>& replaced, std::uint64_t size,
                     const Digest& hash)
{
    rec.joined.clear();
    if (replaced)
        rec.joined.push_back(*replaced);
    rec.joined.emplace_back(size, hash);
    Output out(fs, dir + "/" + kRecordName, OldFile::replace, Durability::durable);
    const std::string text = record_text(rec);
    if (Outcome f = out.create())
        return f;
    if (Outcome f = out.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}))
        return f;
    return out.commit();
}

}  // namespace

std::uint32_t grid_of(const SplitRecord& rec)
{
    std::uint32_t starts = 0;
    for (const PieceRecord& p : rec.pieces)
        starts |= p.start;
    if (rec.pieces.empty())
        return 1;
    const std::uint32_t grid = starts == 0 ? kMaxGrid : std::min(kMaxGrid, starts & (~starts + 1));  // its lowest bit
    return grid >= kMinGrid ? grid : 1;
}

std::size_t padding_to_grid(std::uint64_t start, std::uint64_t size, std::uint32_t grid)
{
    const std::uint64_t end = start + size;
    const std::uint64_t pad = (end + grid - 1) / grid * grid - end;
    return size + pad <= kMaxPieceSize ? static_cast<std::size_t>(pad) : 0;  // else it cannot be kept on the grid
}

Outcome load_record(FileSystem& fs, const std::string& dir, std::optional<SplitRecord>& record)
{
    record.reset();
    const std::string path = dir + "/" + kRecordName;
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::cannot_open, path, there.error);
    if (there.value.kind != platform::Kind::regular)
        return {};
    Bytes text;
    if (Outcome f = read_whole(fs, path, platform::Links::refuse, Fault::cannot_open, text))
        return f;
    record = read_record(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    if (!record)
        return tool_failure(Fault::cannot_open, path, msg::kRecordUnreadable);
    return {};
}

Outcome rebuild_bundle(FileSystem& fs, const std::string& bundle, const JoinOptions& options, const SplitRecord& rec,
                       const std::function<Outcome(const Piece&)>& started, JoinSeen& seen)
{
    // A split that stopped never read what it did not write: no piece of it
    // can be known to be the bundle's.
    if (!rec.finished)
        return tool_failure(Fault::bad_piece, options.dir + "/" + piece_file_name(static_cast<int>(rec.written)),
                            msg::kSplitStopped);
    // Another bundle's pieces are never taken for this one's.
    if (!options.dir_given && file_name_of(bundle) != rec.bundle)
        return tool_failure(Fault::cannot_open, options.dir, format_text(msg::kOtherBundleFormat, rec.bundle.c_str()));
    platform::Result<platform::FileInfo> now = fs.look(bundle, platform::Links::refuse);
    if (now.error)
        return system_failure(Fault::cannot_open, bundle, now.error);
    Target target = Target::none;
    std::pair<std::uint64_t, Digest> now_is;
    OldFile old = OldFile::must_not_exist;
    Work w{fs, options, rec, options.align != 0 ? options.align : grid_of(rec), {}};
    std::shared_ptr<InputFile>& source = w.source;
    const std::string backup = bundle + kBackupSuffix;
    if (now.value.kind != platform::Kind::none && !options.into) {
        if (now.value.kind != platform::Kind::regular)
            return system_failure(Fault::cannot_open, bundle, platform::SysError{platform::kNotRegular});
        if (Outcome f = identify(fs, bundle, rec, target, now_is))
            return f;
        if (target == Target::none)
            return tool_failure(Fault::cannot_rename, bundle, format_text(msg::kNotThisBundleFormat, options.dir.c_str()));
        old = target == Target::joined ? OldFile::replace : OldFile::keep_as_backup;
    }
    platform::Result<platform::FileInfo> kept = fs.look(backup, platform::Links::refuse);
    if (kept.error)
        return system_failure(Fault::cannot_open, backup, kept.error);
    if (kept.value.kind == platform::Kind::regular && old == OldFile::keep_as_backup) {
        // The pristine original is there already: the bundle, the same, is replaced.
        Target bak = Target::none;
        std::pair<std::uint64_t, Digest> backup_is;
        if (Outcome f = identify(fs, backup, rec, bak, backup_is))
            return f;
        if (bak != Target::original)
            return tool_failure(Fault::cannot_rename, backup, msg::kAlreadyExists);
        old = OldFile::replace;
    }
    // The bundle the pieces not in the directory come from: the one the
    // name holds or its backup; into a new file, the bundle the record
    // names, beside the new one or beside the piece directory. Every piece
    // taken from it is checked by its hash all the same.
    std::vector<std::string> sources;
    if (target == Target::original || options.into)
        sources.push_back(bundle);
    else if (kept.value.kind == platform::Kind::regular)
        sources.push_back(backup);
    for (const std::string& place : {bundle, options.dir}) {
        const std::size_t sep = place.find_last_of(platform::kPathSeparators);
        const std::string there = (sep == std::string::npos ? std::string() : place.substr(0, sep + 1)) + rec.bundle;
        if (there != bundle && there != backup)
            sources.push_back(there);
    }
    for (const std::string& path : sources) {
        source = std::make_shared<InputFile>(fs, path, platform::Links::refuse);
        if (!source->error())
            break;
        source.reset();
    }

    std::vector<Stored> stored(rec.pieces.size());
    seen.fates.assign(rec.pieces.size(), PieceFate{});
    for (std::size_t k = 0; k < rec.pieces.size(); ++k)
        if (Outcome f = stored_piece(w, k, stored[k], seen.fates[k]))
            return f;
    if (Outcome f = added_pieces(w, stored))
        return f;
    seen.fates.resize(stored.size(), PieceFate{PieceChange::added, PieceStore::as_it_stands});
    for (std::size_t k = 0; k < stored.size(); ++k)
        if (stored[k].total() == 0)
            return tool_failure(Fault::bad_piece, options.dir + "/" + piece_file_name(static_cast<int>(k)), msg::kEmptyPiece);
        else if (stored[k].total() > kMaxPieceSize)
            return tool_failure(Fault::bad_piece, options.dir + "/" + piece_file_name(static_cast<int>(k)),
                                format_text(msg::kPieceTooLargeFormat, static_cast<unsigned long long>(stored[k].total()),
                                            kMaxPieceSize));

    bool same = stored.size() == rec.pieces.size();
    for (std::size_t k = 0; k < stored.size(); ++k)
        same = same && k < rec.pieces.size() && stored[k].total() == rec.pieces[k].end - rec.pieces[k].start;
    if (!same && w.grid > 1 && !rec.pieces.empty())
        keep_on_grid(rec, w.grid, rec.pieces.front().start, stored);
    std::vector<std::uint32_t> sizes;
    for (const Stored& s : stored)
        sizes.push_back(static_cast<std::uint32_t>(s.total()));
    const OldBundle was{rec.table, rec.size};
    seen.replaced = target != Target::none;
    seen.layout = plan_layout(sizes, &was, true);
    const bool keep = same || seen.layout.lost == LayoutLost::none;
    if (same) {  // every offset as it was: the table as it was, also where piece 0 starts inside it
        seen.layout.table = rec.table;
        seen.layout.lost = LayoutLost::none;
        seen.layout.pieces.clear();
        for (std::size_t k = 0; k < rec.pieces.size(); ++k)
            seen.layout.pieces.push_back({static_cast<int>(k), rec.pieces[k].start, rec.pieces[k].end});
    }
    for (std::size_t k = 0; k < rec.pieces.size() && k < seen.layout.pieces.size(); ++k)
        seen.fates[k].moves = static_cast<std::int64_t>(seen.layout.pieces[k].size()) - (rec.pieces[k].end - rec.pieces[k].start);
    if (options.dry_run)
        return tell_pieces(seen.layout, started);

    Output own(fs, bundle, old, Durability::durable);
    Output& out = options.into ? *options.into : own;
    if (!options.into)
        if (Outcome f = out.create())
            return f;
    if (target != Target::none) {
        InputFile like(fs, bundle, platform::Links::refuse);
        if (!like.error())
            if (Outcome f = out.copy_attributes_of(like.handle()))
                return f;
    }
    CopyBuffers copy;
    Sha256 hash;
    HashBehind h(hash);  // every byte given stays in `copy`, `stored`, `rec` or the layout until the end
    if (Outcome f = fill(out, h, seen.layout, rec, keep, stored, copy, started))
        return f;
    h.wait();
    if (options.into)
        return {};
    std::uint64_t size = 0;
    for (const Stored& s : stored)
        size += s.total();
    size += std::min<std::uint64_t>(kTableSize, seen.layout.pieces.front().start) + (keep ? rec.head.size() + rec.tail.size() : 0);
    // Said before the bundle takes its name: the record may name a bundle
    // that never came, never miss one that did.
    const std::optional<std::pair<std::uint64_t, Digest>> replaced =
        target == Target::joined ? std::optional(now_is) : std::nullopt;
    if (Outcome f = write_joined(fs, options.dir, rec, replaced, size, hash.finish()))
        return f;
    source.reset();  // closed before the swap: an open file cannot be renamed on every system
    stored.clear();
    return out.commit();
}
