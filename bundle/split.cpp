#include "split.hpp"

#include <algorithm>

#include "bundle_file.hpp"
#include "flz0.hpp"
#include "naming.hpp"
#include "output.hpp"
#include "record.hpp"
#include "stored.hpp"

namespace {

using platform::FileSystem;

// What the split makes of one piece it writes.
struct Cut {
    Piece piece{};
    std::optional<Bytes> decoded{};      // written decoded, beside its own bytes as NNN.BAK
    std::optional<Flz0Header> header{};  // with -x, of a piece that starts with "FLZ0"
    std::optional<Failure> corrupt{};    // with -x, why such a piece is written as it stands
    bool kept = false;                 // the piece file holds it already
    bool regular = false;              // a regular file has its name ...
    bool backup_regular = false;       // ... or NNN.BAK's
    int digest = -1;                   // the commit's digest of it, where the plan has not taken it
};

// A split being planned.
struct Work {
    FileSystem& fs;
    const SplitRequest& rq;
    BundleFile b{};
    std::vector<Cut> cuts{};           // the pieces it writes
    std::optional<SplitRecord> old{};  // the record of an earlier split
    SplitRecord rec{};                 // the new one
    bool recorded = true;
    std::vector<int> edited{};         // pieces the user changed that the split would replace
    Bytes file{};                      // a piece file read to compare
    std::size_t digests = 0;           // pieces whose digest the commit takes
    PartDigest head{};                 // the bytes before piece 0, and after the last
    PartDigest tail{};
};

// reaches_the_bundle -- a failure when a path reaches the bundle itself, as
// it can through a piece directory that is a link back to the bundle's own
Outcome reaches_the_bundle(Work& w, const std::string& path, platform::Kind& kind)
{
    platform::Result<platform::FileInfo> r = w.fs.look(path, platform::Links::follow);
    if (r.error)
        return system_failure(Fault::write_failed, path, r.error);
    if (r.value.kind != platform::Kind::none && r.value.id == w.b.info.id)
        return tool_failure(Fault::write_failed, path, Why::is_the_bundle);
    kind = r.value.kind;
    return {};
}

// output_named -- a failure where an output's name or its temporary's
// reaches the bundle; whether a regular file (no link) has the name
Outcome output_named(Work& w, const std::string& path, bool& regular)
{
    platform::Kind kind = platform::Kind::none;
    for (const std::string& name : {path + kTempSuffix, path}) {
        if (Outcome f = reaches_the_bundle(w, name, kind))
            return f;
        // A directory there could never be replaced by the piece.
        if (kind == platform::Kind::directory)
            return system_failure(Fault::write_failed, name, platform::SysError{platform::kNotRegular});
    }
    regular = false;
    if (kind != platform::Kind::regular)
        return {};
    platform::Result<platform::FileInfo> own = w.fs.look(path, platform::Links::refuse);
    if (own.error)
        return system_failure(Fault::write_failed, path, own.error);
    regular = own.value.kind == platform::Kind::regular;
    return {};
}

// holds -- whether the regular file at path holds exactly these bytes
Outcome holds(Work& w, const std::string& path, std::span<const std::uint8_t> bytes, bool regular, bool& same)
{
    same = false;
    if (!regular)
        return {};
    if (Outcome f = read_whole(w.fs, path, platform::Links::refuse, Fault::cannot_open, w.file))
        return f;
    same = std::equal(w.file.begin(), w.file.end(), bytes.begin(), bytes.end());
    return {};
}

// unchanged_since -- whether the piece file just read holds what the
// earlier split wrote for piece k
bool unchanged_since(const Work& w, std::size_t k)
{
    return w.old && k < w.old->pieces.size() && piece_unchanged(*w.old, k, w.file.size(), sha256(w.file));
}

// note_piece -- what the record keeps of a piece; its content, where it
// is an FLZ0 file that decodes
std::optional<Bytes> note_piece(std::span<const std::uint8_t> bytes, PieceRecord& p)
{
    std::optional<Flz0Content> c = flz0_content(bytes);
    if (!c)
        return std::nullopt;
    p.flz0 = true;
    p.decoded_size = static_cast<std::uint32_t>(c->decoded.size());
    p.decoded = sha256(c->decoded);
    p.after.assign(bytes.begin() + static_cast<std::ptrdiff_t>(c->after), bytes.end());
    p.nested = has_flz0_magic(c->decoded);
    return std::move(c->decoded);
}

// kept_in -- whether a piece file's bytes are in what the split writes,
// in another form: the piece's own bytes (kept as NNN.BAK beside its
// decoded content), or its decoded content (which its own bytes give)
bool kept_in(std::span<const std::uint8_t> file, std::span<const std::uint8_t> stored, const std::optional<Bytes>& content)
{
    return std::equal(file.begin(), file.end(), stored.begin(), stored.end()) ||
           (content && std::equal(file.begin(), file.end(), content->begin(), content->end()));
}

// cut_piece -- what the split makes of piece k, which it writes: decoded
// or as it stands, and whether its file holds that already; a file there
// that the earlier split did not write is an edit
Outcome cut_piece(Work& w, Cut& cut, std::span<const std::uint8_t> bytes, std::optional<Bytes> content)
{
    const std::string path = piece_path(w.rq.dir, cut.piece.index);
    if (w.rq.decode && has_flz0_magic(bytes)) {
        cut.header = read_flz0_header(bytes);
        if (content) {
            cut.decoded = std::move(content);
        } else {
            Bytes part(cut.header->original_size);
            const Decoded d = decode_flz0_file(bytes, part);
            cut.corrupt = tool_failure(Fault::corrupt, path, Why::stream_ends, d.produced, cut.header->original_size);
        }
    }
    const std::span<const std::uint8_t> written = cut.decoded ? std::span<const std::uint8_t>(*cut.decoded) : bytes;
    bool same = false;
    if (Outcome f = holds(w, path, written, cut.regular, same))
        return f;
    if (cut.regular && !same && !unchanged_since(w, static_cast<std::size_t>(cut.piece.index)) &&
        !kept_in(w.file, bytes, cut.decoded ? cut.decoded : content))
        w.edited.push_back(cut.piece.index);
    bool backup_same = !cut.decoded;
    if (cut.decoded && same)
        if (Outcome f = holds(w, path + kBackupSuffix, bytes, cut.backup_regular, backup_same))
            return f;
    cut.kept = same && backup_same;
    return {};
}

// name_cuts -- every name a piece written takes, looked at: none may reach
// the bundle or be a directory, and whether a regular file has it
Outcome name_cuts(Work& w)
{
    for (Cut& cut : w.cuts) {
        const std::string path = piece_path(w.rq.dir, cut.piece.index);
        if (Outcome f = output_named(w, path, cut.regular))
            return f;
        if (Outcome f = output_named(w, path + kBackupSuffix, cut.backup_regular))
            return f;
    }
    return {};
}

// look_at_piece -- one listed piece's bytes, as the digest pass reads them
Outcome look_at_piece(Work& w, std::size_t k, std::span<const std::uint8_t> bytes)
{
    PieceRecord& p = w.rec.pieces[k];
    std::optional<Bytes> content = note_piece(bytes, p);
    if (k < w.cuts.size())
        return cut_piece(w, w.cuts[k], bytes, std::move(content));
    return {};
}

// What the record of a split whose commit takes some digests waits for:
// the record as the plan knows it, and where each such piece's digest goes.
struct RecordToBe {
    SplitRecord rec;
    std::vector<int> slots;  // by piece: the commit's digest of it, or -1
    PartDigest head;
    PartDigest tail;
    std::uint64_t size = 0;

    // note -- what a piece whose digest the commit takes is, from its
    // bytes as the commit copies them
    void note(std::size_t digest, std::span<const std::uint8_t> bytes)
    {
        const auto k = std::find(slots.begin(), slots.end(), static_cast<int>(digest)) - slots.begin();
        note_piece(bytes, rec.pieces[static_cast<std::size_t>(k)]);
    }

    // identity -- the bundle's, from the digests of its parts: the pieces'
    // as the record has them, or as the commit took them
    Identity identity(std::span<const Digest> taken) const
    {
        std::vector<PartDigest> parts = {head};
        for (std::size_t k = 0; k < rec.pieces.size(); ++k) {
            const int slot = k < slots.size() ? slots[k] : -1;
            parts.push_back({rec.pieces[k].size(), slot >= 0 ? taken[static_cast<std::size_t>(slot)] : rec.pieces[k].stored});
        }
        parts.push_back(tail);
        return Identity{size, bundle_digest(parts), false};
    }
    // text -- the whole record, every digest known (once: the record is
    // completed in place, as its pieces' bytes after a stream may be large)
    Bytes text(std::span<const Digest> taken)
    {
        for (std::size_t k = 0; k < slots.size(); ++k)
            if (slots[k] >= 0) {
                rec.pieces[k].stored = taken[static_cast<std::size_t>(slots[k])];
                rec.pieces[k].hashed = true;
            }
        rec.cut = identity(taken);
        const std::string t = record_text(rec);
        return Bytes(t.begin(), t.end());
    }
};

// record_to_be -- what a record waits for; the record is taken from the work
RecordToBe record_to_be(Work& w)
{
    RecordToBe r{std::move(w.rec), {}, w.head, w.tail, w.b.size()};
    for (const Cut& cut : w.cuts)
        r.slots.push_back(cut.digest);
    return r;
}

// read_every_piece -- every listed piece read once, in the pass that takes
// the bundle's digest, the bytes before and after the pieces kept
Outcome read_every_piece(Work& w)
{
    const std::size_t pieces = w.b.listed.size();
    std::vector<PartDigest> parts;
    const auto seen = [&](std::size_t part, std::span<const std::uint8_t> bytes) -> Outcome {
        if (part == 0)
            w.rec.head.assign(bytes.begin() + static_cast<std::ptrdiff_t>(w.rec.head_start), bytes.end());
        else if (part == pieces + 1)
            w.rec.tail.assign(bytes.begin(), bytes.end());
        else
            return look_at_piece(w, part - 1, bytes);
        return {};
    };
    if (Outcome f = digest_bundle(w.b, w.rec.cut, parts, seen))
        return f;
    for (std::size_t k = 0; k < pieces; ++k)
        w.rec.pieces[k].stored = parts[k + 1].hash;
    return {};
}

// whole_part -- bytes [start, end) of the bundle, and their digest
Outcome whole_part(Work& w, std::uint64_t start, std::uint64_t end, Bytes& bytes, PartDigest& digest)
{
    bytes.resize(static_cast<std::size_t>(end - start));
    if (Outcome f = read_exact(*w.b.file, start, bytes))
        return f;
    digest = PartDigest{bytes.size(), sha256(bytes)};
    return {};
}

// read_what_matters -- where no earlier split's pieces are there to
// compare: only the pieces that must be read before anything is written
// (FLZ0 files, to decode; those a file has the name of, to compare; those
// past the limit, which the record gives too), and the bytes outside the
// pieces. Each other piece's digest is taken by the commit as it copies it.
Outcome read_what_matters(Work& w)
{
    Bytes bytes;
    for (std::size_t k = 0; k < w.b.listed.size(); ++k) {
        const Piece& piece = w.b.listed[k];
        PieceRecord& p = w.rec.pieces[k];
        bool whole = k >= w.cuts.size() || w.cuts[k].regular || w.cuts[k].backup_regular;
        // An FLZ0 piece is read here only to be written decoded; else the
        // commit notes what it is as it copies it.
        if (!whole && w.rq.decode) {
            bytes.resize(std::min<std::size_t>(kFlz0Magic.size(), piece.size()));
            if (Outcome f = read_exact(*w.b.file, piece.start, bytes))
                return f;
            whole = has_flz0_magic(bytes);
        }
        if (whole) {
            if (Outcome f = read_piece(w.b, piece, bytes))
                return f;
            if (Outcome f = look_at_piece(w, k, bytes))
                return f;
        }
        // Hashed here where read and not copied by the commit; else the commit
        // takes its digest as it copies it (every piece not read is one it writes).
        if (whole && (k >= w.cuts.size() || w.cuts[k].kept)) {
            p.stored = sha256(bytes);
        } else {
            p.hashed = false;
            w.cuts[k].digest = static_cast<int>(w.digests++);
        }
    }
    // The bytes before piece 0 (the table, and what lies between it and the piece) and after the last.
    if (Outcome f = whole_part(w, 0, w.b.listed.front().start, bytes, w.head))
        return f;
    w.rec.head.assign(bytes.begin() + static_cast<std::ptrdiff_t>(w.rec.head_start), bytes.end());
    if (Outcome f = whole_part(w, w.b.listed.back().end, w.b.size(), w.rec.tail, w.tail))
        return f;
    if (w.digests == 0) {
        RecordToBe known{{}, {}, w.head, w.tail, w.b.size()};
        known.rec.pieces = w.rec.pieces;
        w.rec.cut = known.identity({});
    }
    return {};
}

// read_pieces -- the pieces read as the split needs them: every one in a
// recorded split over an earlier one of this bundle's name, whose loop it
// must tell by the bundle's digest; the ones that matter where it is
// recorded afresh; else only the pieces it writes
Outcome read_pieces(Work& w)
{
    if (w.recorded && w.old && w.old->bundle == w.rec.bundle)
        return read_every_piece(w);
    if (w.recorded)
        return read_what_matters(w);
    Bytes bytes;
    for (Cut& cut : w.cuts) {
        if (Outcome f = read_piece(w.b, cut.piece, bytes))
            return f;
        if (Outcome f = look_at_piece(w, static_cast<std::size_t>(cut.piece.index), bytes))
            return f;
    }
    return {};
}

// start_record -- the new record's facts known before a piece is read;
// whether the bundle can be recorded at all: every listed piece within
// it, and at most kMaxRecordedGap bytes before and after them
void start_record(Work& w)
{
    SplitRecord& r = w.rec;
    const std::vector<Piece>& listed = w.b.listed;
    r.bundle = file_name_of(w.rq.bundle);
    r.table = w.b.table;
    r.decoded = w.rq.decode;
    r.listed = listed.size();
    r.pieces.resize(listed.size());
    for (std::size_t k = 0; k < listed.size(); ++k) {
        r.pieces[k].start = listed[k].start;
        r.pieces[k].end = listed[k].end;
    }
    const std::uint64_t size = w.b.size();
    w.recorded = pieces_are_parts(listed, size) && size - listed.back().end <= kMaxRecordedGap;
    if (!w.recorded)
        return;
    // The bytes between the table (or as much of it as there is) and piece 0,
    // which may start inside it.
    r.head_start = std::min<std::uint64_t>({kTableSize, size, listed.front().start});
    r.tail_start = listed.back().end;
    w.recorded = listed.front().start - r.head_start <= kMaxRecordedGap;
}

// check_loop -- the earlier split's directory, where there is one: unless
// forced, refused where it holds another bundle's pieces, or pieces the
// user changed that the split would replace or remove; the new record
// goes on with the loop the earlier one was of
Outcome check_loop(Work& w, std::vector<std::string>& beyond)
{
    const bool ours = w.old && of_this_loop(*w.old, w.rec.bundle, w.rec.cut, w.rec.table);
    if (ours) {
        // The bundle first split stays the original, and the bundles joins
        // wrote stay known, also where this is one of them.
        if (!(w.rec.cut == w.old->first()))
            w.rec.original = w.old->first();
        w.rec.joined = w.old->joined;
    }
    if (w.rq.force || !w.old)
        return {};
    if (!ours)
        return named_failure(Fault::other_pieces, w.rq.dir, Why::holds_other, w.old->bundle);
    // Pieces removed beyond the last count as replaced.
    for (const std::string& name : beyond) {
        const int k = piece_number(name);
        const std::string path = in_dir(w.rq.dir, name);
        if (name.size() != kPieceNameDigits)
            continue;
        platform::Result<platform::FileInfo> there = w.fs.look(path, platform::Links::refuse);
        if (there.error)
            return system_failure(Fault::cannot_open, path, there.error);
        if (there.value.kind != platform::Kind::regular)
            continue;
        if (Outcome f = read_whole(w.fs, path, platform::Links::refuse, Fault::cannot_open, w.file))
            return f;
        if (!unchanged_since(w, static_cast<std::size_t>(k)))
            w.edited.push_back(k);
    }
    if (w.edited.empty())
        return {};
    Failure f = tool_failure(Fault::cannot_rename, w.rq.dir, Why::edited);
    f.detail.pieces = w.edited;
    return f;
}

// dir_usable -- a failure where the piece directory's name holds anything
// but a directory, which the pieces could not go into; whether one is there
Outcome dir_usable(Work& w, bool& there)
{
    platform::Result<platform::FileInfo> dir = w.fs.look(w.rq.dir, platform::Links::follow);
    if (dir.error)
        return system_failure(Fault::write_failed, w.rq.dir, dir.error);
    if (dir.value.kind != platform::Kind::none && dir.value.kind != platform::Kind::directory)
        return system_failure(Fault::write_failed, w.rq.dir, platform::not_a_directory());
    there = dir.value.kind == platform::Kind::directory;
    return {};
}

// files_beyond -- the names of an earlier run's pieces numbered from
// `count` on, in order, in the piece directory there
Outcome files_beyond(Work& w, std::size_t count, std::vector<std::string>& names)
{
    platform::Result<std::vector<std::string>> all = w.fs.list_dir(w.rq.dir);
    if (all.error)
        return system_failure(Fault::write_failed, w.rq.dir, all.error);
    for (const std::string& name : all.value)
        if (piece_number(name) >= static_cast<int>(count))
            names.push_back(name);
    std::sort(names.begin(), names.end());
    return {};
}

// cut_told -- what is told before a piece is cut: its line, and with -x
// its header's sizes and why it cannot be decoded
std::vector<Event> cut_told(const Cut& cut)
{
    const Piece& p = cut.piece;
    std::vector<Event> told = {Event{.what = Tell::cutting, .piece = p.index, .start = p.start, .end = p.end}};
    if (cut.header)
        told.push_back(Event{.what = Tell::sizes, .first = cut.header->compressed_size, .second = cut.header->original_size});
    if (cut.corrupt)
        told.push_back(Event{.what = Tell::failed, .failure = cut.corrupt});
    return told;
}

// cut_steps -- the steps that write one piece, after what is told of it
void cut_steps(Work& w, const Cut& cut, std::vector<Event> told, Plan& plan)
{
    const Piece& p = cut.piece;
    const std::string path = piece_path(w.rq.dir, p.index);
    // Not synced: a piece is as durable as any copied file, and syncing
    // each would cost several times the copy.
    const auto output = [&](const std::string& name, Part part) {
        PlannedOutput out{.path = name, .old = OldFile::replace, .durability = Durability::cached, .fails_as_write = true};
        out.parts.push_back(std::move(part));
        return plan.add_output(std::move(out));
    };
    const Part stored{.input = 0, .offset = p.start, .size = p.size(), .digest = cut.digest};
    if (cut.kept) {
        plan.then(Step{.what = Do::tell, .told = std::move(told)});
    } else if (cut.decoded) {
        const int backup = output(path + kBackupSuffix, stored);
        const int plain = output(path, Part{.bytes = held(*cut.decoded)});
        plan.then(Step{.what = Do::write, .output = backup, .told = std::move(told)});
        plan.then(Step{.what = Do::write, .output = plain});
        plan.then(Step{.what = Do::name, .output = backup});
        plan.then(Step{.what = Do::name, .output = plain});
    } else {
        plan.then(Step{.what = Do::write_and_name, .output = output(path, stored), .told = std::move(told)});
    }
    // A piece written as it stands was never compressed: no backup of it stays.
    if (!cut.decoded) {
        const std::string name = piece_file_name(p.index) + kBackupSuffix;
        plan.then(Step{.what = Do::remove, .path = in_dir(w.rq.dir, name),
                       .told = {Event{.what = Tell::removing, .piece = p.index, .name = name}}});
    }
}

// plan_steps -- the whole split: the directory, the record saying the
// split runs (or the earlier record gone, where none can be had), each
// piece, the record saying it is done, and the pieces beyond removed
void plan_steps(Work& w, const std::vector<std::string>& beyond, Plan& plan)
{
    const std::string record = in_dir(w.rq.dir, kRecordName);
    plan.add_input(input_of(w.rq.bundle, platform::Links::follow, w.b.info));
    // The first piece's line comes first: where it cannot be told, nothing is made.
    plan.then(Step{.what = Do::make_dir, .path = w.rq.dir, .told = cut_told(w.cuts.front())});
    if (w.recorded) {
        w.rec.finished = false;
        PlannedOutput running = record_output(w.rq.dir, w.rec, Durability::cached);
        running.fails_as_write = true;
        plan.then(Step{.what = Do::write_and_name, .output = plan.add_output(std::move(running))});
    } else {
        plan.then(Step{.what = Do::remove, .path = record});
    }
    for (std::size_t k = 0; k < w.cuts.size(); ++k)
        cut_steps(w, w.cuts[k], k == 0 ? std::vector<Event>{} : cut_told(w.cuts[k]), plan);
    if (w.recorded) {
        w.rec.finished = true;
        PlannedOutput done;
        if (w.digests == 0) {
            done = record_output(w.rq.dir, w.rec, Durability::cached);
        } else {
            // The pieces the commit hashed as it copied them, and so the bundle's digest.
            done = PlannedOutput{.path = in_dir(w.rq.dir, kRecordName), .old = OldFile::replace,
                                 .durability = Durability::cached};
            auto r = std::make_shared<RecordToBe>(record_to_be(w));
            done.made = [r](std::span<const Digest> taken) { return r->text(taken); };
            plan.seen = [r](std::size_t digest, std::span<const std::uint8_t> bytes) { r->note(digest, bytes); };
            plan.digests = w.digests;
        }
        done.fails_as_write = true;
        plan.then(Step{.what = Do::write_and_name, .output = plan.add_output(std::move(done))});
    }
    for (const std::string& name : beyond)
        plan.then(Step{.what = Do::remove, .path = in_dir(w.rq.dir, name),
                       .told = {Event{.what = Tell::removing, .piece = piece_number(name), .name = name}}});
}

}  // namespace

Outcome look_at_bundle(FileSystem& fs, const std::string& bundle, std::int32_t maxfiles, BundleLook& look)
{
    BundleFile b;
    if (Outcome f = open_bundle(fs, bundle, platform::Links::follow, b))
        return f;
    look.seen = {list_pieces(b.table, maxfiles), b.size()};
    Bytes bytes;
    for (const Piece& piece : look.seen.list.pieces) {
        look.kinds.emplace_back();
        if (piece.end > b.size())
            continue;
        if (Outcome f = read_piece(b, piece, bytes))
            return f;
        look.kinds.back() = piece_kind(bytes);
    }
    return {};
}

Outcome plan_split(FileSystem& fs, const SplitRequest& rq, SplitPlan& split)
{
    Work w{.fs = fs, .rq = rq};
    if (Outcome f = open_bundle(fs, rq.bundle, platform::Links::follow, w.b))
        return f;
    split.seen = {list_pieces(w.b.table, rq.maxfiles), w.b.size()};
    const std::vector<Piece>& pieces = split.seen.list.pieces;
    // Made only for a piece, so that a file that describes none leaves nothing behind.
    if (pieces.empty())
        return {};
    for (const Piece& p : pieces)
        if (p.end > w.b.size())
            return piece_failure(Fault::read_failed, rq.bundle, Why::past_the_end, p.index, p.end, w.b.size());
    w.cuts.resize(pieces.size());
    for (std::size_t k = 0; k < pieces.size(); ++k)
        w.cuts[k].piece = pieces[k];
    bool dir_there = false;
    if (Outcome f = dir_usable(w, dir_there))
        return f;
    if (Outcome f = name_cuts(w))
        return f;
    // The earlier split's record: one that does not read is refused, unless
    // forced, when it is replaced like any other.
    if (Outcome f = load_record(fs, rq.dir, w.old); f && !rq.force)
        return f;
    start_record(w);
    if (Outcome f = read_pieces(w))
        return f;
    // Pieces of an earlier run numbered beyond these go, unless the limit cut the split short.
    std::vector<std::string> beyond;
    if (dir_there && !split.seen.list.more)
        if (Outcome f = files_beyond(w, pieces.size(), beyond))
            return f;
    if (Outcome f = check_loop(w, beyond))
        return f;
    plan_steps(w, beyond, split.plan);
    return {};
}
