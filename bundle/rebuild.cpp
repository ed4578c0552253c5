#include "rebuild.hpp"

#include <algorithm>
#include <map>

#include "bundle_file.hpp"
#include "files.hpp"
#include "naming.hpp"
#include "output.hpp"
#include "stored.hpp"

namespace {

using platform::FileSystem;

// A piece file, as the rebuild finds it.
struct PieceFile {
    bool looked = false;
    platform::FileInfo info{};
    std::optional<Digest> digest{};  // of its bytes, where taken
    bool there() const { return info.kind == platform::Kind::regular; }
};

// What is stored for a piece: a part (a file's bytes, or bytes held), its
// SHA-256, and padding to keep the next piece on a grid.
struct Stored {
    Part part{};
    Digest digest{};
    Bytes padding{};
    std::uint64_t total() const { return part.length() + padding.size(); }
};

// A bundle pieces not in the directory may come from: found by its own
// table, each piece checked by its hash unless the bundle is known by its
// digest to be the one the record was cut from.
struct Source {
    std::string path;
    SourceIs is = SourceIs::unknown;
    bool tried = false;
    BundleFile b{};  // open, once tried, where it could be opened
};

// A rebuild being planned.
struct Rebuild {
    FileSystem& fs;
    const JoinRequest& rq;
    const SplitRecord& rec;
    JoinPlan& join;
    std::uint32_t grid = 1;
    SourceIs target = SourceIs::unknown;  // what the name holds now
    Identity target_id{};
    std::vector<Source> sources{};  // where pieces not in the directory may come from, in order
    std::vector<PieceFile> files{};
    std::vector<Stored> stored{};
    std::map<std::string, int> inputs{};  // the plan's inputs, by path
};

// input -- the plan's input for a file, added once
int input(Rebuild& r, const std::string& path, platform::Links links, const platform::FileInfo& info)
{
    auto [it, added] = r.inputs.try_emplace(path, kNoInput);
    if (added)
        it->second = r.join.plan.add_input(input_of(path, links, info));
    return it->second;
}

// file -- piece file k, looked at once (links followed)
Outcome file(Rebuild& r, std::size_t k, PieceFile*& f)
{
    if (r.files.size() <= k)
        r.files.resize(k + 1);
    f = &r.files[k];
    if (f->looked)
        return {};
    const std::string path = piece_path(r.rq.dir, static_cast<int>(k));
    platform::Result<platform::FileInfo> there = r.fs.look(path, platform::Links::follow);
    if (there.error)
        return system_failure(Fault::cannot_open, path, there.error);
    if (there.value.kind != platform::Kind::none && there.value.kind != platform::Kind::regular)
        return system_failure(Fault::bad_piece, path, platform::SysError{platform::kNotRegular});
    f->looked = true;
    f->info = there.value;
    if (f->there() && f->info.size > kMaxPieceSize)
        return tool_failure(Fault::bad_piece, path, Why::piece_too_large, f->info.size, kMaxPieceSize);
    return {};
}

// read_file -- piece file k's bytes, whole, as many as it held when looked at
Outcome read_file(Rebuild& r, std::size_t k, Bytes& bytes)
{
    const std::string path = piece_path(r.rq.dir, static_cast<int>(k));
    InputFile in(r.fs, path, platform::Links::follow);
    if (in.error())
        return system_failure(in.error().code == platform::kNotRegular ? Fault::bad_piece : Fault::cannot_open, path,
                              in.error());
    bytes.resize(static_cast<std::size_t>(r.files[k].info.size));
    return read_exact(in, 0, bytes);
}

// load -- piece file k's bytes, whole, and their digest
Outcome load(Rebuild& r, std::size_t k, Bytes& bytes)
{
    if (Outcome f = read_file(r, k, bytes))
        return f;
    r.files[k].digest = sha256(bytes);
    return {};
}

// same_as_file -- whether piece file k holds exactly these bytes (a piece
// of the bundle at the name, as its own table places it); where it does,
// its digest is that piece's, known once the pass has taken it
Outcome same_as_file(Rebuild& r, std::size_t k, std::span<const std::uint8_t> bytes, Bytes& buf, bool& same)
{
    same = false;
    PieceFile* f = nullptr;
    if (Outcome e = file(r, k, f))
        return e;
    // A piece written decoded is its content, which no bundle holds as it is.
    if (!f->there() || f->info.size != bytes.size() || (k < r.rec.pieces.size() && written_decoded(r.rec, k)))
        return {};
    if (Outcome e = read_file(r, k, buf))
        return e;
    same = std::equal(buf.begin(), buf.end(), bytes.begin(), bytes.end());
    return {};
}

// identify -- what the file at path is, as the record sees it, read once
// (identify_bundle), and, where `compare`, each piece file compared on the
// way with the file's own piece of that number
Outcome identify(Rebuild& r, const std::string& path, bool compare, SourceIs& is, Identity& id, BundleFile& b)
{
    is = SourceIs::unknown;
    if (Outcome f = open_bundle(r.fs, path, platform::Links::refuse, b))
        return f;
    std::vector<std::size_t> same;  // piece files that hold the piece of the part they stand for
    Bytes buf;
    const bool pieces = pieces_are_parts(b.listed, b.size());
    const auto seen = [&](std::size_t part, std::span<const std::uint8_t> bytes) -> Outcome {
        if (!compare || !pieces || part == 0 || part > b.listed.size())
            return {};
        bool equal = false;
        if (Outcome f = same_as_file(r, part - 1, bytes, buf, equal))
            return f;
        if (equal)
            same.push_back(part);
        return {};
    };
    std::vector<PartDigest> parts;
    if (Outcome f = identify_bundle(b, r.rec, is, id, parts, seen))
        return f;
    for (std::size_t part : same)
        r.files[part - 1].digest = parts[part].hash;
    return {};
}

// find_target -- what the name holds, and so what becomes of it: the
// bundle first split is kept as BUNDLE.BAK (or replaced where that is
// there and the same), one a join from here wrote is replaced, and
// anything else is refused
Outcome find_target(Rebuild& r, OldFile& old)
{
    old = OldFile::must_not_exist;
    const std::string& bundle = r.rq.bundle;
    platform::Result<platform::FileInfo> now = r.fs.look(bundle, platform::Links::refuse);
    if (now.error)
        return system_failure(Fault::cannot_open, bundle, now.error);
    if (now.value.kind == platform::Kind::none || r.rq.only_planned)
        return {};
    BundleFile b;  // opened as a regular file, else cannot_open
    if (Outcome f = identify(r, bundle, true, r.target, r.target_id, b))
        return f;
    if (r.target == SourceIs::unknown)
        return named_failure(Fault::cannot_rename, bundle, Why::not_this_bundle, r.rq.dir);
    input(r, bundle, platform::Links::refuse, b.info);
    old = r.target == SourceIs::original ? OldFile::keep_as_backup : OldFile::replace;
    if (old != OldFile::keep_as_backup)
        return {};
    const std::string backup = bundle + kBackupSuffix;
    platform::Result<platform::FileInfo> kept = r.fs.look(backup, platform::Links::refuse);
    if (kept.error)
        return system_failure(Fault::cannot_open, backup, kept.error);
    if (kept.value.kind == platform::Kind::none)
        return {};
    // The pristine original is there already: the bundle, the same, is replaced.
    SourceIs is = SourceIs::unknown;
    Identity id;
    BundleFile other;
    if (kept.value.kind == platform::Kind::regular)
        if (Outcome f = identify(r, backup, false, is, id, other))
            return f;
    if (is == SourceIs::original)
        old = OldFile::replace;
    else
        r.join.plan.blocked = tool_failure(Fault::cannot_rename, backup, Why::already_exists);
    return {};
}

// find_sources -- the bundles pieces not in the directory may come from:
// the one the name holds, its backup (the original, kept by the first
// join), and the bundle the record names, beside the new one or beside
// the piece directory
void find_sources(Rebuild& r)
{
    const std::string& bundle = r.rq.bundle;
    const std::string backup = bundle + kBackupSuffix;
    r.sources.push_back(Source{bundle, r.target});
    r.sources.push_back(Source{backup, SourceIs::original});
    for (const std::string& place : {bundle, r.rq.dir}) {
        const std::string there = beside(place, r.rec.bundle);
        if (std::none_of(r.sources.begin(), r.sources.end(), [&](const Source& s) { return s.path == there; }))
            r.sources.push_back(Source{there, SourceIs::unknown});
    }
}

// held_by -- piece k's bytes in a source, by that bundle's own table,
// where it holds the ones the record gives (by their hash)
Outcome held_by(Rebuild& r, Source& src, std::size_t k, std::optional<Stored>& stored)
{
    const PieceRecord& p = r.rec.pieces[k];
    if (!src.tried) {
        src.tried = true;
        if (open_bundle(r.fs, src.path, platform::Links::refuse, src.b))
            src.b.file.reset();  // not there, or not a bundle to read: no piece comes from it
    }
    if (!src.b.file || k >= src.b.listed.size() || src.b.listed[k].size() != p.size() ||
        src.b.listed[k].end > src.b.size())
        return {};
    const Piece& there = src.b.listed[k];
    // The bundle the record was cut from, known by its digest, holds them where the record says.
    const bool known = src.path == r.rq.bundle && !r.rq.only_planned && r.target_id == r.rec.cut;
    if (!known) {
        Bytes bytes;
        if (Outcome f = read_piece(src.b, there, bytes))
            return f;
        if (sha256(bytes) != p.stored)
            return {};
    }
    const int in = input(r, src.path, platform::Links::refuse, src.b.info);
    stored = Stored{.part = Part{.input = in, .offset = there.start, .size = there.size()}, .digest = p.stored};
    return {};
}

// from_source -- piece k's stored bytes from the first source that holds
// them; none where no source does, and `from` the one that did
Outcome from_source(Rebuild& r, std::size_t k, std::optional<Stored>& stored, const Source** from = nullptr)
{
    stored.reset();
    for (Source& src : r.sources) {
        if (Outcome f = held_by(r, src, k, stored))
            return f;
        if (stored) {
            if (from)
                *from = &src;
            return {};
        }
    }
    return {};
}

// held_bytes -- bytes the plan holds as what is stored
Stored held_bytes(Bytes bytes)
{
    const Digest digest = sha256(bytes);
    return Stored{.part = Part{.bytes = held(std::move(bytes))}, .digest = digest};
}

// as_it_stands -- piece file k's bytes as they stand
Stored as_it_stands(Rebuild& r, std::size_t k)
{
    const PieceFile& f = r.files[k];
    const int in = input(r, piece_path(r.rq.dir, static_cast<int>(k)), platform::Links::follow, f.info);
    return Stored{.part = Part{.input = in, .size = f.info.size}, .digest = *f.digest};
}

// stored_again -- piece k, changed (or unchanged without its original
// bytes), stored again as store_again says
Outcome stored_again(Rebuild& r, std::size_t k, const Bytes& plain, PieceFate& fate)
{
    const PieceRecord& p = r.rec.pieces[k];
    const WasFlz0 was{p.size(), p.after, written_decoded(r.rec, k) && p.nested};
    Bytes bytes;
    StoredAs how = StoredAs::compressed;
    if (Outcome f = store_again(piece_path(r.rq.dir, static_cast<int>(k)), plain, was, r.grid > 1, bytes, how))
        return f;
    fate.store = how == StoredAs::compressed ? PieceStore::compressed : PieceStore::as_it_stands;
    r.stored[k] = held_bytes(std::move(bytes));
    return {};
}

// original_bytes -- an unchanged piece written decoded: its own FLZ0
// bytes, from NNN.BAK where that holds them, else from the source
Outcome original_bytes(Rebuild& r, std::size_t k, std::optional<Stored>& stored)
{
    const std::string bak = piece_path(r.rq.dir, static_cast<int>(k), kBackupSuffix);
    platform::Result<platform::FileInfo> there = r.fs.look(bak, platform::Links::refuse);
    Bytes backup;
    if (!there.error && there.value.kind == platform::Kind::regular && there.value.size <= kMaxPieceSize &&
        !read_whole(r.fs, bak, platform::Links::refuse, Fault::cannot_open, backup) &&
        sha256(backup) == r.rec.pieces[k].stored) {
        stored = held_bytes(std::move(backup));
        return {};
    }
    return from_source(r, k, stored);
}

// stored_piece -- what the bundle stores for listed piece k
Outcome stored_piece(Rebuild& r, std::size_t k, PieceFate& fate)
{
    const PieceRecord& p = r.rec.pieces[k];
    PieceFile* f = nullptr;
    if (Outcome e = file(r, k, f))
        return e;
    std::optional<Stored> original;
    if (!f->there()) {
        const Source* from = nullptr;
        if (Outcome e = from_source(r, k, original, &from))
            return e;
        if (!original)
            return tool_failure(Fault::bad_piece, piece_path(r.rq.dir, static_cast<int>(k)), Why::missing_piece);
        r.stored[k] = std::move(*original);
        fate = {PieceChange::from_source, PieceStore::original, 0, from->path, from->is};
        return {};
    }
    std::optional<Bytes> plain;
    if (!f->digest)
        if (Outcome e = load(r, k, plain.emplace()))
            return e;
    const bool unchanged = piece_unchanged(r.rec, k, f->info.size, *f->digest);
    const bool decoded = written_decoded(r.rec, k);
    fate.change = unchanged ? PieceChange::unchanged : PieceChange::changed;
    if ((r.rq.as_is || !decoded) && (unchanged || r.rq.as_is || !p.flz0)) {
        // The stored bytes themselves, or a raw piece as it stands.
        r.stored[k] = as_it_stands(r, k);
        fate.store = unchanged && !decoded ? PieceStore::original : PieceStore::as_it_stands;
        return {};
    }
    if (!plain)
        if (Outcome e = load(r, k, plain.emplace()))
            return e;
    if (!unchanged || !decoded)
        return stored_again(r, k, *plain, fate);  // an FLZ0 piece the user changed
    if (Outcome e = original_bytes(r, k, original))
        return e;
    if (!original)
        return stored_again(r, k, *plain, fate);
    r.stored[k] = std::move(*original);
    return {};
}

// added_pieces -- the piece files after the last listed one, as they stand
Outcome added_pieces(Rebuild& r)
{
    for (std::size_t k = r.rec.pieces.size();; ++k) {
        PieceFile* f = nullptr;
        if (Outcome e = file(r, k, f))
            return e;
        if (!f->there())
            return {};
        if (k >= static_cast<std::size_t>(kMaxPieces))
            return tool_failure(Fault::bad_piece, piece_path(r.rq.dir, static_cast<int>(k)), Why::at_most_pieces, 0, kMaxPieces);
        Bytes bytes;
        if (!f->digest)
            if (Outcome e = load(r, k, bytes))
                return e;
        r.stored.push_back(as_it_stands(r, k));
        r.join.fates.push_back(PieceFate{.change = PieceChange::added, .store = PieceStore::as_it_stands});
    }
}

// fit -- a failure where a piece is empty or too large for a bundle
Outcome fit(const Rebuild& r)
{
    for (std::size_t k = 0; k < r.stored.size(); ++k) {
        const std::string path = piece_path(r.rq.dir, static_cast<int>(k));
        if (r.stored[k].total() == 0)
            return tool_failure(Fault::bad_piece, path, Why::empty_piece);
        if (r.stored[k].total() > kMaxPieceSize)
            return tool_failure(Fault::bad_piece, path, Why::piece_too_large, r.stored[k].total(), kMaxPieceSize);
    }
    return {};
}

// as_recorded -- whether every piece is stored at the size the record gives it
bool as_recorded(const Rebuild& r)
{
    if (r.stored.size() != r.rec.pieces.size())
        return false;
    for (std::size_t k = 0; k < r.stored.size(); ++k)
        if (r.stored[k].total() != r.rec.pieces[k].size())
            return false;
    return true;
}

// keep_on_grid -- every piece whose size changed, or that was added,
// padded so that the one after it starts on the grid, from piece 0's start;
// the last one so only where the original's last piece ended on it. The
// padding is the piece's own where its bytes after the stream were one
// byte repeated, else zeros.
void keep_on_grid(Rebuild& r)
{
    const SplitRecord& rec = r.rec;
    if (r.grid <= 1 || rec.pieces.empty())
        return;
    const bool last_on_grid = rec.pieces.back().end % r.grid == 0;
    std::uint64_t at = rec.pieces.front().start;
    for (std::size_t k = 0; k < r.stored.size(); ++k) {
        Stored& s = r.stored[k];
        const bool listed = k < rec.pieces.size();
        const bool moved = !listed || s.total() != rec.pieces[k].size();
        if (moved && (k + 1 < r.stored.size() || last_on_grid)) {
            const std::uint8_t fill = listed && one_byte_run(rec.pieces[k].after) ? rec.pieces[k].after[0] : 0;
            s.padding.assign(padding_to_grid(at, s.total(), r.grid), fill);
        }
        at += s.total();
    }
}

// piece_digest -- the SHA-256 of what is stored for piece k with its padding
Outcome piece_digest(Rebuild& r, std::size_t k, Digest& digest)
{
    const Stored& s = r.stored[k];
    if (s.padding.empty()) {
        digest = s.digest;
        return {};
    }
    Bytes read;
    if (!s.part.bytes) {
        const PlannedInput& in = r.join.plan.inputs[static_cast<std::size_t>(s.part.input)];
        InputFile file(r.fs, in.path, in.links);
        if (file.error())
            return system_failure(Fault::read_failed, in.path, file.error());
        read.resize(static_cast<std::size_t>(s.part.size));
        if (Outcome f = read_exact(file, s.part.offset, read))
            return f;
    }
    Sha256 hash;
    hash.update(s.part.bytes ? *s.part.bytes : read);
    hash.update(s.padding);
    digest = hash.finish();
    return {};
}

// bundle_output -- the new bundle: the table up to piece 0, the bytes kept
// before it, the pieces, the bytes kept after them; and its identity
Outcome bundle_output(Rebuild& r, OldFile old, PlannedOutput& out, Identity& id)
{
    const Layout& layout = r.join.layout;
    const bool kept = layout.lost == LayoutLost::none;
    const Bytes none;
    const Bytes& head = kept ? r.rec.head : none;
    const Bytes& tail = kept ? r.rec.tail : none;
    Bytes first(layout.table.begin(), layout.table.begin() + static_cast<std::ptrdiff_t>(layout.table_bytes()));
    first.insert(first.end(), head.begin(), head.end());
    std::vector<PartDigest> parts = {{first.size(), sha256(first)}};
    out = PlannedOutput{.path = r.rq.bundle, .old = old, .durability = Durability::durable};
    if (auto it = r.inputs.find(r.rq.bundle); it != r.inputs.end() && r.target != SourceIs::unknown)
        out.attributes_of = it->second;
    out.parts.push_back(Part{.bytes = held(std::move(first))});
    for (std::size_t k = 0; k < r.stored.size(); ++k) {
        Stored& s = r.stored[k];
        const Piece& p = layout.pieces[k];
        s.part.told.push_back(Event{.what = Tell::joining, .piece = p.index, .start = p.start, .end = p.end});
        PartDigest& d = parts.emplace_back(PartDigest{s.total(), {}});
        if (Outcome f = piece_digest(r, k, d.hash))
            return f;
        out.parts.push_back(s.part);
        if (!s.padding.empty())
            out.parts.push_back(Part{.bytes = held(s.padding)});
    }
    parts.push_back({tail.size(), sha256(tail)});
    out.parts.push_back(Part{.bytes = held(tail)});
    id = Identity{out.size(), bundle_digest(parts), false};
    return {};
}

// plan_write -- the steps: the new bundle written, then the record saying
// which bundle this join wrote, and the one a join wrote that it
// replaces, which the name holds until the new one takes it (a join after
// a crash between the two finds either), then the name
void plan_write(Rebuild& r, PlannedOutput bundle, const Identity& made)
{
    Plan& plan = r.join.plan;
    r.join.bundle = plan.add_output(std::move(bundle));
    if (r.rq.only_planned)
        return;
    SplitRecord rec = r.rec;
    rec.joined.clear();
    if (r.target == SourceIs::cut || r.target == SourceIs::joined)
        rec.joined.push_back(r.target_id);
    rec.joined.push_back(made);
    const int record = plan.add_output(record_output(r.rq.dir, rec, Durability::durable));
    plan.then(Step{.what = Do::write, .output = r.join.bundle});
    plan.then(Step{.what = Do::write_and_name, .output = record});
    plan.then(Step{.what = Do::close_inputs});  // an open file cannot be renamed on every system
    plan.then(Step{.what = Do::name, .output = r.join.bundle});
}

// first_unwritten -- of a split that stopped, the first piece whose file
// is not what the record says was cut; kNoPiece where every one is
Outcome first_unwritten(Rebuild& r, int& first)
{
    first = kNoPiece;
    if (r.rec.version == 1) {
        first = static_cast<int>(r.rec.written);
        return {};
    }
    for (std::size_t k = 0; k < r.rec.pieces.size(); ++k) {
        PieceFile* f = nullptr;
        Bytes bytes;
        // Whatever is not a piece the split wrote is one it never wrote;
        // one whose digest the split had not taken yet is there only where
        // it wrote it, since no file had its name when it began.
        const bool there = !file(r, k, f) && f->there() && !load(r, k, bytes);
        if (!there || (r.rec.pieces[k].hashed && !piece_unchanged(r.rec, k, f->info.size, *f->digest))) {
            first = static_cast<int>(k);
            return {};
        }
    }
    return {};
}

// usable -- a failure where the record cannot be joined from: a split that
// stopped, or the pieces of another bundle
Outcome usable(Rebuild& r)
{
    // A split that stopped may have left pieces of an earlier run: no piece
    // of it can be known to be the bundle's.
    if (!r.rec.finished) {
        int first = kNoPiece;
        if (Outcome f = first_unwritten(r, first))
            return f;
        const std::string file = first == kNoPiece ? in_dir(r.rq.dir, kRecordName) : piece_path(r.rq.dir, first);
        return piece_failure(Fault::bad_piece, file, Why::split_stopped, first);
    }
    // Another bundle's pieces are never taken for this one's.
    if (!r.rq.dir_given && file_name_of(r.rq.bundle) != r.rec.bundle)
        return named_failure(Fault::other_pieces, r.rq.dir, Why::holds_other_join, r.rec.bundle);
    return {};
}

// place_pieces -- the new bundle's layout over the record's, and how far
// each listed piece's change of size moves the ones after it
void place_pieces(Rebuild& r)
{
    std::vector<std::uint32_t> sizes;
    for (const Stored& s : r.stored)
        sizes.push_back(static_cast<std::uint32_t>(s.total()));
    const OldBundle was{r.rec.table, r.rec.cut.size};
    r.join.layout = plan_layout(sizes, &was, LayoutPolicy{.any_count = true, .same_sizes_same_table = true});
    for (std::size_t k = 0; k < r.rec.pieces.size() && k < r.join.layout.pieces.size(); ++k)
        r.join.fates[k].moves =
            static_cast<std::int64_t>(r.join.layout.pieces[k].size()) - static_cast<std::int64_t>(r.rec.pieces[k].size());
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

Outcome plan_rebuild(FileSystem& fs, const JoinRequest& rq, const SplitRecord& rec, JoinPlan& join)
{
    Rebuild r{fs, rq, rec, join};
    r.grid = rq.align != 0 ? rq.align : grid_of(rec);
    if (Outcome f = usable(r))
        return f;
    OldFile old = OldFile::must_not_exist;
    if (Outcome f = find_target(r, old))
        return f;
    join.replaced = r.target != SourceIs::unknown;
    find_sources(r);
    r.stored.resize(rec.pieces.size());
    join.fates.assign(rec.pieces.size(), PieceFate{});
    for (std::size_t k = 0; k < rec.pieces.size(); ++k)
        if (Outcome f = stored_piece(r, k, join.fates[k]))
            return f;
    if (Outcome f = added_pieces(r))
        return f;
    if (Outcome f = fit(r))
        return f;
    if (!as_recorded(r))
        keep_on_grid(r);
    place_pieces(r);
    PlannedOutput bundle;
    Identity made;
    if (Outcome f = bundle_output(r, old, bundle, made))
        return f;
    r.sources.clear();  // closed: an open file cannot be renamed on every system
    plan_write(r, std::move(bundle), made);
    return {};
}
