#include "apply.hpp"

#include <algorithm>

#include "bundle_input.hpp"
#include "describe.hpp"
#include "files.hpp"
#include "messages.hpp"
#include "naming.hpp"
#include "output.hpp"
#include "text.hpp"

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

std::string side_words(const Side& s)
{
    return s.present ? format_text(msg::kSideFormat, static_cast<unsigned long long>(s.size), hex_of(s.hash).c_str())
                     : std::string(msg::kNoSide);
}

// current_side -- what the bundle holds where an entry is
Outcome current_side(BundleInput& in, const Entry& e, Side& side)
{
    if (e.piece == kFrame) {
        side = side_of(frame_bytes(in.frame()));
        return {};
    }
    ByteString bytes;
    if (Outcome f = in.piece(e.piece, bytes))
        return f;
    side = e.piece < in.pieces().size() ? side_of(bytes) : Side{};
    return {};
}

// check_bundle -- that the bundle holds what the patch is applied to in
// every entry, and lists the pieces it must
Outcome check_bundle(BundleInput& in, const Patch& patch, const Direction& d)
{
    const bool recount = d.from.pieces != d.to.pieces;
    bool all_made = !recount || in.pieces().size() == d.to.pieces;
    std::optional<std::pair<const Entry*, Side>> wrong;
    for (const Entry& e : patch.entries) {
        Side now;
        if (Outcome f = current_side(in, e, now))
            return f;
        all_made = all_made && now == d.to_side(e);
        // A piece is named before the frame, which any change of size moves.
        if ((!wrong || wrong->first->piece == kFrame) && now != d.from_side(e))
            wrong.emplace(&e, now);
    }
    if (all_made)
        return tool_failure(Fault::already_applied, in.path(), d.reverse ? msg::kAlreadyTakenBack : msg::kAlreadyMade);
    if (wrong)
        return tool_failure(Fault::wrong_bundle, in.path(),
                            format_text(msg::kWrongPieceFormat, entry_name(*wrong->first).c_str(),
                                        side_words(d.from_side(*wrong->first)).c_str(), side_words(wrong->second).c_str()));
    if (recount && in.pieces().size() != d.from.pieces)
        return tool_failure(Fault::wrong_bundle, in.path(),
                            format_text(msg::kWrongCountFormat, in.pieces().size(), static_cast<unsigned>(d.from.pieces)));
    return {};
}

Failure bad_patch(const std::string& path, const std::string& why)
{
    return tool_failure(Fault::bad_patch, path, why);
}

// The new bundle, before its bytes are made: its frame, and each piece's
// place and entry (none where the bundle's own piece stays).
struct Plan {
    Frame frame;
    std::vector<Piece> places;
    std::vector<const Entry*> entries;
};

// plan_bundle -- the new bundle's frame and places
Outcome plan_bundle(const BundleInput& in, const Patch& patch, const Direction& d, const std::string& patch_path,
                    Plan& plan)
{
    const std::size_t count = d.from.pieces != d.to.pieces ? d.to.pieces : in.pieces().size();
    plan.entries.assign(count, nullptr);
    const Entry* frame = nullptr;
    for (const Entry& e : patch.entries)
        if (e.piece == kFrame)
            frame = &e;
        else if (e.piece < count)
            plan.entries[e.piece] = &e;
    std::vector<std::uint32_t> sizes;
    for (std::size_t k = 0; k < count; ++k) {
        if (!plan.entries[k] && k >= in.pieces().size())
            return bad_patch(patch_path, msg::kPatchMalformed);  // a piece it says it adds, not in it
        sizes.push_back(plan.entries[k] ? static_cast<std::uint32_t>(d.to_side(*plan.entries[k]).size)
                                        : in.pieces()[k].size());
    }
    if (!frame) {
        plan.frame = frame_without_patch(sizes, in.frame(), plan.places);
        return {};
    }
    ByteString made;
    std::optional<Frame> f;
    if (remake(frame_bytes(in.frame()), d.change(*frame), UINT32_MAX, made) != RemakeStatus::ok ||
        side_of(made) != d.to_side(*frame) || !(f = frame_of(made)))
        return bad_patch(patch_path, format_text(msg::kNotAsRecordedFormat, msg::kFrameName));
    plan.frame = std::move(*f);
    plan.places = enumerate_pieces(plan.frame.table, kMaxPieces);
    bool fits = plan.places.size() == count && plan.places.front().start == kTableSize + plan.frame.head.size();
    for (std::size_t k = 0; fits && k < count; ++k)
        fits = plan.places[k].size() == sizes[k];
    if (!fits)
        return bad_patch(patch_path, msg::kPatchMalformed);
    return {};
}

// write_hashed -- bytes into the output and its hash
Outcome write_hashed(Output& out, Sha256& hash, std::span<const std::uint8_t> bytes)
{
    hash.update(bytes);
    return out.write(bytes);
}

// write_bundle -- the new bundle into out, the old one read once in order;
// whether it is exactly `from`, and the hash of what was written
Outcome write_bundle(BundleInput& in, Output& out, const Plan& plan, const Direction& d,
                     const std::string& patch_path, const std::function<Outcome(const Patched&)>& patched,
                     bool& was_from, Digest& written)
{
    Sha256 old_hash;
    Sha256 new_hash;
    if (Outcome f = write_hashed(out, new_hash, plan.frame.table))
        return f;
    if (Outcome f = write_hashed(out, new_hash, plan.frame.head))
        return f;
    ByteString piece;
    ByteString made;
    const std::size_t count = std::max(in.pieces().size(), plan.places.size());
    for (std::size_t k = 0; k < count; ++k) {
        if (Outcome f = in.next_piece(piece, k < in.pieces().size() ? &old_hash : nullptr))
            return f;
        const Entry* e = k < plan.entries.size() ? plan.entries[k] : nullptr;
        if (k >= plan.places.size()) {
            if (Outcome f = patched(Patched{{static_cast<int>(k), 0, 0}, true}))
                return f;
            continue;
        }
        if (e) {
            const Side& want = d.to_side(*e);
            if (remake(piece, d.change(*e), kMaxPieceSize, made) != RemakeStatus::ok || side_of(made) != want)
                return bad_patch(patch_path, format_text(msg::kNotAsRecordedFormat, entry_name(*e).c_str()));
            if (Outcome f = patched(Patched{plan.places[k], false}))
                return f;
        }
        if (Outcome f = write_hashed(out, new_hash, e ? made : piece))
            return f;
    }
    if (Outcome f = write_hashed(out, new_hash, plan.frame.tail))
        return f;
    was_from = in.size() == d.from.size && old_hash.finish() == d.from.hash;
    written = new_hash.finish();
    return {};
}

}  // namespace

Outcome load_patch(FileSystem& fs, const std::string& path, Patch& patch)
{
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::follow);
    if (there.error)
        return system_failure(Fault::cannot_open, path, there.error);
    if (there.value.kind == platform::Kind::regular && there.value.size > kMaxPatchSize)
        return bad_patch(path, msg::kNotAPatch);
    ByteString bytes;
    if (Outcome f = read_whole(fs, path, platform::Links::follow, Fault::cannot_open, bytes))
        return f;
    std::uint64_t version = 0;
    switch (read_patch(bytes, patch, version)) {
    case PatchStatus::ok:
        return {};
    case PatchStatus::not_a_patch:
        return bad_patch(path, msg::kNotAPatch);
    case PatchStatus::other_version:
        return bad_patch(path, format_text(msg::kOtherVersionFormat, static_cast<unsigned long long>(version),
                                           static_cast<unsigned long long>(kPatchVersion)));
    case PatchStatus::damaged:
        return bad_patch(path, msg::kPatchDamaged);
    case PatchStatus::malformed:
        break;
    }
    return bad_patch(path, msg::kPatchMalformed);
}

Outcome apply_patch(FileSystem& fs, const std::string& bundle, const Patch& patch, const ApplyOptions& options,
                    const std::function<Outcome(const Patched&)>& patched)
{
    const Direction d{options.reverse ? patch.new_bundle : patch.old_bundle,
                      options.reverse ? patch.old_bundle : patch.new_bundle, options.reverse};
    const std::string& patch_path = options.patch_path;
    if (patch.compressor != kCompressorVersion &&
        std::any_of(patch.entries.begin(), patch.entries.end(),
                    [&](const Entry& e) { return d.change(e).how == Remake::flz0; }))
        return bad_patch(patch_path, format_text(msg::kOtherCompressorFormat, static_cast<unsigned long long>(patch.compressor),
                                                 static_cast<unsigned long long>(kCompressorVersion)));
    if (options.reverse && one_way(patch))
        return bad_patch(patch_path, msg::kOneWay);
    BundleInput in(fs, bundle, platform::Links::refuse);
    if (Outcome f = in.open())
        return f;
    if (Outcome f = check_bundle(in, patch, d))
        return f;
    Plan plan;
    if (Outcome f = plan_bundle(in, patch, d, patch_path, plan))
        return f;

    const bool in_place = options.out.empty();
    OldFile old = OldFile::must_not_exist;
    if (!in_place) {
        platform::Result<platform::FileInfo> there = fs.look(options.out, platform::Links::refuse);
        if (there.error)
            return system_failure(Fault::cannot_open, options.out, there.error);
        if (there.value.kind != platform::Kind::none)
            return tool_failure(Fault::cannot_rename, options.out, msg::kAlreadyExists);
    } else {
        platform::Result<platform::FileInfo> kept = fs.look(bundle + kBackupSuffix, platform::Links::refuse);
        if (kept.error)
            return system_failure(Fault::cannot_open, bundle + kBackupSuffix, kept.error);
        old = kept.value.kind == platform::Kind::none ? OldFile::keep_as_backup : OldFile::replace;
    }
    Output out(fs, in_place ? bundle : options.out, old, Durability::durable);
    if (Outcome f = out.create())
        return f;
    if (in_place)
        if (Outcome f = out.copy_attributes_of(in.handle()))
            return f;
    bool was_from = false;
    Digest written{};
    if (Outcome f = write_bundle(in, out, plan, d, patch_path, patched, was_from, written))
        return f;
    if (was_from && written != d.to.hash)
        return bad_patch(patch_path, msg::kResultNotAsRecorded);
    in.close();  // before the swap: an open file cannot be renamed on every system
    return out.commit();
}
