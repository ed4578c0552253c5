#include "apply.hpp"

#include <algorithm>
#include <memory>

#include "bundle_input.hpp"
#include "folder.hpp"
#include "files.hpp"
#include "merging.hpp"
#include "naming.hpp"
#include "output.hpp"

namespace {

using platform::FileSystem;

// The patch as it is applied: from one side to the other.
struct Direction {
    const BundleId& from;
    const BundleId& to;
    bool reverse;

    const Side& from_side(const Entry& e) const { return reverse ? e.new_side : e.old_side; }
    const Side& to_side(const Entry& e) const { return reverse ? e.old_side : e.new_side; }
    const Change& change(const Entry& e) const { return reverse ? e.reverse : e.forward; }
};

Failure bad_patch(const std::string& path, Why why, int piece = kNoPiece)
{
    return piece_failure(Fault::bad_patch, path, why, piece);
}

// A bundle open to be read for a patch: the file, its bytes, and the
// bundle they hold, which refer to each other.
struct OpenBundle {
    std::unique_ptr<InputFile> file;
    platform::FileInfo info{};
    std::unique_ptr<FileBytes> bytes;
    std::unique_ptr<BundleInput> in;
};

// open_bundle_input -- the bundle at path, its table read and its pieces listed
Outcome open_bundle_input(FileSystem& fs, const std::string& path, platform::Links links, OpenBundle& b)
{
    b.file = std::make_unique<InputFile>(fs, path, links);
    if (Outcome f = opened(*b.file, Fault::cannot_open, b.info))
        return f;
    b.bytes = std::make_unique<FileBytes>(*b.file, b.info.size);
    b.in = std::make_unique<BundleInput>(*b.bytes);
    return b.in->open();
}

// What the bundle holds where the patch touches it, read in one pass: each
// touched piece's side, and what the change makes of it.
struct Read {
    std::vector<Side> now;    // by entry
    std::vector<Bytes> made;  // by entry, where the bundle holds what the change is made from
    bool was_from = false;    // the bundle is exactly the one the patch is applied to
    std::optional<Failure> unmade;  // the first piece the patch does not make as it records
    std::vector<std::size_t> kept;  // the entries whose piece the bundle before the patch gives back
    bool dry = false;               // the pieces only looked at, nothing made
    std::vector<int> elsewhere;     // dry: the pieces untouched that differ from the patch's OLD
};

// make -- what an entry's change makes of the piece the bundle holds,
// where that is what the patch was made from
void make(const Entry& e, std::size_t i, std::span<const std::uint8_t> piece, const Direction& d,
          const std::string& patch_path, Read& r)
{
    if (r.dry || r.now[i] != d.from_side(e) || !d.to_side(e).present)
        return;
    if (d.change(e).how == Remake::none) {
        r.kept.push_back(i);
        return;
    }
    if (remake(piece, d.change(e), kMaxPieceSize, r.made[i]) != RemakeStatus::ok || side_of(r.made[i]) != d.to_side(e))
        if (!r.unmade)
            r.unmade = bad_patch(patch_path, Why::not_as_recorded, entry_piece(e));
}

// read_bundle -- every piece in order, once: the bundle's hash taken, each
// touched one's side, and, where it holds what the patch is made from,
// what the change makes of it
Outcome read_bundle(BundleInput& in, const Patch& patch, const Direction& d, const std::string& patch_path, Read& r)
{
    r.now.assign(patch.entries.size(), Side{});
    r.made.assign(patch.entries.size(), Bytes{});
    std::vector<int> entry_of(in.pieces().size(), -1);
    for (std::size_t i = 0; i < patch.entries.size(); ++i) {
        const Entry& e = patch.entries[i];
        if (e.piece == kFrame)
            r.now[i] = side_of(frame_bytes(in.frame()));
        else if (e.piece < entry_of.size())
            entry_of[e.piece] = static_cast<int>(i);
    }
    Sha256 whole;
    Bytes piece;
    for (std::size_t k = 0; k < in.pieces().size(); ++k) {
        if (Outcome f = in.next_piece(piece, &whole))
            return f;
        if (entry_of[k] < 0 && r.dry && !patch.old_marks.empty() &&
            (k >= patch.old_marks.size() || mark_of(piece) != patch.old_marks[k]))
            r.elsewhere.push_back(static_cast<int>(k));
        if (entry_of[k] < 0)
            continue;
        const std::size_t i = static_cast<std::size_t>(entry_of[k]);
        r.now[i] = side_of(piece);
        make(patch.entries[i], i, piece, d, patch_path, r);
    }
    // Pieces the bundle does not list, which the patch adds, are made from none.
    for (std::size_t i = 0; i < patch.entries.size(); ++i)
        if (patch.entries[i].piece != kFrame && patch.entries[i].piece >= in.pieces().size())
            make(patch.entries[i], i, {}, d, patch_path, r);
    r.was_from = in.size() == d.from.size && whole.finish() == d.from.hash;
    return {};
}

// check_bundle -- that the bundle holds what the patch is applied to in
// every entry, and lists the pieces it must
Outcome check_bundle(const BundleInput& in, const Patch& patch, const Direction& d, const Read& r)
{
    const bool recount = d.from.pieces != d.to.pieces;
    bool all_made = !recount || in.pieces().size() == d.to.pieces;
    std::optional<std::size_t> wrong;
    for (std::size_t i = 0; i < patch.entries.size(); ++i) {
        const Entry& e = patch.entries[i];
        all_made = all_made && r.now[i] == d.to_side(e);
        // A piece is named before the frame, which any change of size moves.
        if ((!wrong || patch.entries[*wrong].piece == kFrame) && r.now[i] != d.from_side(e))
            wrong = i;
    }
    if (all_made)
        return tool_failure(Fault::already_applied, in.path(), d.reverse ? Why::already_taken_back : Why::already_made);
    if (wrong) {
        Failure f = piece_failure(Fault::wrong_bundle, in.path(), Why::wrong_piece, entry_piece(patch.entries[*wrong]));
        f.detail.expected = d.from_side(patch.entries[*wrong]);
        f.detail.found = r.now[*wrong];
        return f;
    }
    if (recount && in.pieces().size() != d.from.pieces)
        return tool_failure(Fault::wrong_bundle, in.path(), Why::wrong_count, in.pieces().size(), d.from.pieces);
    return {};
}

// The new bundle, before its bytes are made: its frame, and each piece's
// place and entry (none where the bundle's own piece stays).
struct NewBundle {
    Frame frame;
    std::vector<Piece> places;
    std::vector<int> entries;
};

// plan_frame -- the new bundle's frame and places
Outcome plan_frame(const BundleInput& in, const Patch& patch, const Direction& d, const std::string& patch_path,
                   NewBundle& nb)
{
    const std::size_t count = d.from.pieces != d.to.pieces ? d.to.pieces : in.pieces().size();
    nb.entries.assign(count, -1);
    const Entry* frame = nullptr;
    for (std::size_t i = 0; i < patch.entries.size(); ++i) {
        const Entry& e = patch.entries[i];
        if (e.piece == kFrame)
            frame = &e;
        else if (e.piece < count)
            nb.entries[e.piece] = static_cast<int>(i);
    }
    std::vector<std::uint32_t> sizes;
    for (std::size_t k = 0; k < count; ++k) {
        if (nb.entries[k] < 0 && k >= in.pieces().size())
            return bad_patch(patch_path, Why::patch_malformed);  // a piece it says it adds, not in it
        sizes.push_back(nb.entries[k] >= 0
                            ? static_cast<std::uint32_t>(d.to_side(patch.entries[static_cast<std::size_t>(nb.entries[k])]).size)
                            : in.pieces()[k].size());
    }
    if (!frame) {
        nb.frame = frame_without_patch(sizes, in.frame(), nb.places);
        return {};
    }
    Bytes made;
    std::optional<Frame> f;
    if (remake(frame_bytes(in.frame()), d.change(*frame), UINT32_MAX, made) != RemakeStatus::ok ||
        side_of(made) != d.to_side(*frame) || !(f = frame_of(made)))
        return bad_patch(patch_path, Why::not_as_recorded, kFramePiece);
    nb.frame = std::move(*f);
    nb.places = enumerate_pieces(nb.frame.table, kMaxPieces);
    bool fits = nb.places.size() == count && nb.places.front().start == kTableSize + nb.frame.head.size();
    for (std::size_t k = 0; fits && k < count; ++k)
        fits = nb.places[k].size() == sizes[k];
    if (!fits)
        return bad_patch(patch_path, Why::patch_malformed);
    return {};
}

// from_backup -- the pieces a patch holds no way back for, from the bundle
// it was applied to, kept as BUNDLE.BAK: each checked against the size and
// hash the patch records; no_way_back naming those it does not give
Outcome from_backup(FileSystem& fs, const ApplyRequest& rq, const Patch& patch, const Direction& d, Read& r)
{
    const std::string path = rq.bundle + kBackupSuffix;
    OpenBundle before;
    const bool listed = !open_bundle_input(fs, path, platform::Links::follow, before);
    Failure lacking = piece_failure(Fault::bad_patch, rq.patch, Why::no_way_back, kNoPiece);
    lacking.detail.name = path;
    for (std::size_t i : r.kept) {
        const Entry& e = patch.entries[i];
        Bytes piece;
        if (listed && e.piece == kFrame)
            piece = frame_bytes(before.in->frame());
        else if (listed && before.in->piece(e.piece, piece))
            piece.clear();
        if (!piece.empty() && side_of(piece) == d.to_side(e))
            r.made[i] = std::move(piece);
        else
            lacking.detail.pieces.push_back(entry_piece(e));
    }
    if (!lacking.detail.pieces.empty())
        return lacking;
    return {};
}

// new_output -- what becomes of the name the new bundle takes: in place,
// the bundle is kept as BUNDLE.BAK unless one is there; -o OUT must be new
Outcome new_output(FileSystem& fs, const ApplyRequest& rq, PlannedOutput& out)
{
    const bool in_place = rq.out.empty();
    out = PlannedOutput{.path = in_place ? rq.bundle : rq.out, .durability = Durability::durable};
    if (!in_place) {
        platform::Result<platform::FileInfo> there = fs.look(rq.out, platform::Links::refuse);
        if (there.error)
            return system_failure(Fault::cannot_open, rq.out, there.error);
        if (there.value.kind != platform::Kind::none)
            return tool_failure(Fault::cannot_rename, rq.out, Why::already_exists);
        out.old = OldFile::must_not_exist;
        return {};
    }
    out.attributes_of = 0;
    return backup_rule(fs, rq.bundle, out.old);
}

// bundle_parts -- the new bundle's bytes: the frame's table and head, each
// piece made (held) or the bundle's own (read at the commit), each piece
// removed told, the tail
void bundle_parts(const BundleInput& in, const NewBundle& nb, Read& r, PlannedOutput& out)
{
    out.parts.push_back(Part{.bytes = held(Bytes(nb.frame.table.begin(), nb.frame.table.end()))});
    out.parts.push_back(Part{.bytes = held(nb.frame.head)});
    for (std::size_t k = 0; k < nb.places.size(); ++k) {
        const Piece& place = nb.places[k];
        const int i = nb.entries[k];
        if (i < 0) {
            out.parts.push_back(Part{.input = 0, .offset = in.pieces()[k].start, .size = in.pieces()[k].size()});
            continue;
        }
        out.parts.push_back(Part{.bytes = held(std::move(r.made[static_cast<std::size_t>(i)])),
                                 .told = {Event{.what = Tell::patching, .piece = place.index, .start = place.start, .end = place.end}}});
    }
    Part tail{.bytes = held(nb.frame.tail)};
    for (std::size_t k = nb.places.size(); k < in.pieces().size(); ++k)
        tail.told.push_back(Event{.what = Tell::removing, .piece = static_cast<int>(k), .name = piece_file_name(static_cast<int>(k))});
    out.parts.push_back(std::move(tail));
}

// Several patches on one bundle: each piece they change made by merging
// their changes of its content into what it holds.

// original_piece -- the piece as the bundle the patches were made from
// held it: the bundle's own, else its .BAK's; wrong_bundle where neither
Outcome original_piece(FileSystem& fs, const ApplyRequest& rq, OpenBundle& before, std::uint32_t k,
                       std::span<const std::uint8_t> now, const Side& wanted, Bytes& out)
{
    if (side_of(now) == wanted) {
        out.assign(now.begin(), now.end());
        return {};
    }
    if (!before.in && open_bundle_input(fs, rq.bundle + kBackupSuffix, platform::Links::follow, before))
        before.in.reset();
    if (before.in && !before.in->piece(k, out) && side_of(out) == wanted)
        return {};
    Failure f = piece_failure(Fault::wrong_bundle, rq.bundle, Why::wrong_piece, static_cast<int>(k));
    f.detail.expected = wanted;
    f.detail.found = side_of(now);
    return f;
}

// merge_piece -- what the changes make of piece k, as `now` holds it:
// each change's content merged in turn into what the piece holds; each
// overlap added to `overlaps`
Outcome merge_piece(FileSystem& fs, const ApplyRequest& rq, OpenBundle& before, std::uint32_t k,
                    const std::vector<Contribution>& changes, std::span<const std::uint8_t> now, Bytes& out,
                    std::vector<Failure>& overlaps)
{
    out.clear();
    Bytes original;
    if (Outcome f = original_piece(fs, rq, before, k, now, changes.front().entry->old_side, original))
        return f;
    for (const Contribution& c : changes)
        if (c.entry->old_side != changes.front().entry->old_side)
            return original_piece(fs, rq, before, k, now, c.entry->old_side, original);
    Bytes merged = content_of(now).content;
    std::vector<Bytes> made;
    const std::size_t were = overlaps.size();
    if (Outcome f = merge_changes(k, changes, original, rq.reverse, rq.bundle, merged, made, overlaps))
        return f;
    if (overlaps.size() != were || merged == content_of(now).content)
        return {};
    return stored_again(piece_file_name(static_cast<int>(k)), now, merged, made, out);
}

}  // namespace

Outcome patch_file_bytes(FileSystem& fs, const std::string& path, Bytes& bytes)
{
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::follow);
    if (there.error)
        return system_failure(Fault::cannot_open, path, there.error);
    if (there.value.kind == platform::Kind::regular && there.value.size > kMaxPatchSize)
        return bad_patch(path, Why::not_a_patch);
    return read_whole(fs, path, platform::Links::follow, Fault::cannot_open, bytes);
}

Failure patch_refusal(const std::string& path, PatchStatus status, std::uint64_t version, std::uint64_t reads)
{
    const bool bundle_version = version == kPatchVersion || version == kFirstPatchVersion;
    switch (status) {
    case PatchStatus::not_a_patch:
        return bad_patch(path, Why::not_a_patch);
    case PatchStatus::other_version:
        if (reads == kFolderPatchVersion && bundle_version)
            return bad_patch(path, Why::bundle_patch);
        if (reads != kFolderPatchVersion && version == kFolderPatchVersion)
            return bad_patch(path, Why::folder_patch);
        return tool_failure(Fault::bad_patch, path, Why::other_version, version, reads);
    case PatchStatus::damaged:
        return bad_patch(path, Why::patch_damaged);
    case PatchStatus::ok:
    case PatchStatus::malformed:
        break;
    }
    return bad_patch(path, Why::patch_malformed);
}

Outcome load_patch(FileSystem& fs, const std::string& path, Patch& patch)
{
    Bytes bytes;
    if (Outcome f = patch_file_bytes(fs, path, bytes))
        return f;
    std::uint64_t version = 0;
    const PatchStatus status = read_patch(bytes, patch, version);
    if (status != PatchStatus::ok)
        return patch_refusal(path, status, version, kPatchVersion);
    return {};
}

Outcome check_apply(FileSystem& fs, const ApplyRequest& rq, const Patch& patch, Verdict& v)
{
    const Direction d{rq.reverse ? patch.new_bundle : patch.old_bundle, rq.reverse ? patch.old_bundle : patch.new_bundle,
                      rq.reverse};
    OpenBundle b;
    if (Outcome f = open_bundle_input(fs, rq.bundle, platform::Links::refuse, b))
        return f;
    BundleInput& in = *b.in;
    Read r;
    r.dry = true;
    if (Outcome f = read_bundle(in, patch, d, rq.patch, r))
        return f;
    v = Verdict{.elsewhere = std::move(r.elsewhere)};
    for (std::size_t i = 0; i < patch.entries.size(); ++i)
        if (r.now[i] != d.from_side(patch.entries[i]))
            v.wrong.push_back(Verdict::Wrong{entry_piece(patch.entries[i]), d.from_side(patch.entries[i]), r.now[i]});
    v.outcome = check_bundle(in, patch, d, r);
    return {};
}

Outcome plan_apply(FileSystem& fs, const ApplyRequest& rq, const Patch& patch, Plan& plan)
{
    const Direction d{rq.reverse ? patch.new_bundle : patch.old_bundle, rq.reverse ? patch.old_bundle : patch.new_bundle,
                      rq.reverse};
    if (patch.compressor != kCompressorVersion &&
        std::any_of(patch.entries.begin(), patch.entries.end(), [&](const Entry& e) { return d.change(e).how == Remake::flz0; }))
        return tool_failure(Fault::bad_patch, rq.patch, Why::other_compressor, patch.compressor, kCompressorVersion);
    OpenBundle b;
    if (Outcome f = open_bundle_input(fs, rq.bundle, platform::Links::refuse, b))
        return f;
    BundleInput& in = *b.in;
    Read r;
    if (Outcome f = read_bundle(in, patch, d, rq.patch, r))
        return f;
    if (Outcome f = check_bundle(in, patch, d, r))
        return f;
    if (r.unmade)
        return r.unmade;
    if (!r.kept.empty())
        if (Outcome f = from_backup(fs, rq, patch, d, r))
            return f;
    NewBundle nb;
    if (Outcome f = plan_frame(in, patch, d, rq.patch, nb))
        return f;
    PlannedOutput out;
    if (Outcome f = new_output(fs, rq, out))
        return f;
    plan.add_input(input_of(rq.bundle, platform::Links::refuse, b.info));
    bundle_parts(in, nb, r, out);
    if (r.was_from) {
        out.digest = d.to.hash;
        out.wrong = bad_patch(rq.patch, Why::result_not_as_recorded);
    }
    const int k = plan.add_output(std::move(out));
    plan.then(Step{.what = Do::write, .output = k});
    plan.then(Step{.what = Do::close_inputs});  // before the swap: an open file cannot be renamed on every system
    plan.then(Step{.what = Do::name, .output = k});
    return {};
}

namespace {

// plan_merged -- the plan that makes each changed piece by merging
Outcome plan_merged(FileSystem& fs, const ApplyRequest& rq, const Changes& changes, Plan& plan,
                    std::vector<Failure>& overlaps)
{
    OpenBundle b;
    if (Outcome f = open_bundle_input(fs, rq.bundle, platform::Links::refuse, b))
        return f;
    const BundleInput& in = *b.in;
    OpenBundle before;
    Read r;
    r.made.assign(in.pieces().size(), Bytes{});
    NewBundle nb;
    nb.entries.assign(in.pieces().size(), -1);
    for (const auto& [k, by] : changes) {
        const Patch& p = by.front().from->patch;
        if (k >= in.pieces().size() || in.pieces().size() != p.old_bundle.pieces)
            return tool_failure(Fault::wrong_bundle, rq.bundle, Why::wrong_count, in.pieces().size(), p.old_bundle.pieces);
        Bytes now;
        if (Outcome f = b.in->piece(k, now))
            return f;
        if (Outcome f = merge_piece(fs, rq, before, k, by, now, r.made[k], overlaps))
            return f;
        nb.entries[k] = r.made[k].empty() ? -1 : static_cast<int>(k);
    }
    if (!overlaps.empty()) {
        Failure last = std::move(overlaps.back());
        overlaps.pop_back();
        return last;
    }
    if (std::all_of(nb.entries.begin(), nb.entries.end(), [](int i) { return i < 0; }))
        return tool_failure(Fault::already_applied, rq.bundle, rq.reverse ? Why::already_taken_back : Why::already_made);
    std::vector<std::uint32_t> sizes;
    for (std::size_t k = 0; k < in.pieces().size(); ++k)
        sizes.push_back(static_cast<std::uint32_t>(nb.entries[k] < 0 ? in.pieces()[k].size() : r.made[k].size()));
    nb.frame = frame_without_patch(sizes, in.frame(), nb.places);
    PlannedOutput out;
    if (Outcome f = new_output(fs, rq, out))
        return f;
    plan.add_input(input_of(rq.bundle, platform::Links::refuse, b.info));
    bundle_parts(in, nb, r, out);
    const int k = plan.add_output(std::move(out));
    plan.then(Step{.what = Do::write, .output = k});
    plan.then(Step{.what = Do::close_inputs});
    plan.then(Step{.what = Do::name, .output = k});
    return {};
}

}  // namespace

Outcome plan_apply_all(FileSystem& fs, const ApplyRequest& rq, std::span<const NamedPatch> patches, Plan& plan,
                       std::vector<Failure>& overlaps)
{
    Outcome alone;
    if (patches.size() == 1) {
        ApplyRequest one = rq;
        one.patch = patches.front().path;
        alone = plan_apply(fs, one, patches.front().patch, plan);
        if (!alone || alone->fault != Fault::wrong_bundle)
            return alone;
    }
    Changes changes;
    if (Outcome f = same_compressor(patches))
        return f;
    if (Outcome f = changes_of(patches, changes))
        return alone ? alone : f;
    Plan merged;
    Outcome f = plan_merged(fs, rq, changes, merged, overlaps);
    if (f && alone && f->fault == Fault::wrong_bundle)
        return alone;
    if (!f)
        plan = std::move(merged);
    return f;
}
