#include "diff.hpp"

#include <algorithm>

#include "bundle_input.hpp"
#include "delta.hpp"
#include "join.hpp"
#include "naming.hpp"
#include "original.hpp"
#include "rebuild.hpp"
#include "record.hpp"

namespace {

using platform::FileSystem;

bool same_frame(const Frame& a, const Frame& b)
{
    return a.table == b.table && a.head == b.head && a.tail == b.tail;
}

std::vector<std::uint32_t> sizes_of(const std::vector<Piece>& pieces)
{
    std::vector<std::uint32_t> sizes;
    for (const Piece& p : pieces)
        sizes.push_back(p.size());
    return sizes;
}

// frame_entry -- the frame's entry, where a patch needs one: where the
// layout a join keeps does not give NEW's frame from OLD's, or OLD's back
// from NEW's
std::optional<Entry> frame_entry(const BundleInput& a, const BundleInput& b)
{
    std::vector<Piece> places;
    const Frame forward = frame_without_patch(sizes_of(b.pieces()), a.frame(), places);
    const Frame reverse = frame_without_patch(sizes_of(a.pieces()), b.frame(), places);
    if (same_frame(forward, b.frame()) && same_frame(reverse, a.frame()))
        return std::nullopt;
    const Bytes from = frame_bytes(a.frame());
    const Bytes to = frame_bytes(b.frame());
    return Entry{kFrame, side_of(from), side_of(to), {.how = Remake::raw, .delta = make_delta(from, to)},
                 {.how = Remake::raw, .delta = make_delta(to, from)}};
}

}  // namespace

Outcome old_patch(FileSystem& fs, const std::string& path, OldFile& old)
{
    const auto a_patch = [](const InputFile& in, std::uint64_t) {
        Bytes magic(kPatchMagic.size());
        return !read_exact(in, 0, magic) && std::equal(magic.begin(), magic.end(), kPatchMagic.begin());
    };
    return replaceable(fs, path, a_patch, Why::not_a_patch_to_replace, old);
}

namespace {

// diff_to_file -- the patch from the bundle OLD to the bundle NEW
Outcome diff_to_file(FileSystem& fs, const DiffRequest& rq, Patch& patch)
{
    InputFile old_file(fs, rq.old_bundle, platform::Links::follow);
    platform::FileInfo old_info;
    if (Outcome f = opened(old_file, Fault::cannot_open, old_info))
        return f;
    FileBytes a(old_file, old_info.size);
    InputFile in(fs, rq.new_bundle, platform::Links::follow);
    platform::FileInfo info;
    if (Outcome f = opened(in, Fault::cannot_open, info))
        return f;
    FileBytes b(in, info.size);
    return diff_bundles(a, b, patch, rq.way_back);
}

// diff_from_pieces -- the patch from the bundle the pieces were first cut
// from to the bundle a rebuild from the piece directory over OLD would
// build, read from its plan
Outcome diff_from_pieces(FileSystem& fs, const DiffRequest& rq, Patch& patch)
{
    SplitRecord record;
    if (Outcome f = required_record(fs, rq.dir, Why::no_record_to_diff, record))
        return f;
    BundleFile bundle;
    SourceIs is = SourceIs::unknown;
    if (Outcome f = in_loop(fs, rq.old_bundle, record, bundle, is))
        return f;
    // An update, or a bundle from elsewhere: the pieces hold no edit of it.
    if (is == SourceIs::unknown)
        return loop_refusal(rq.old_bundle, Why::not_of_these_pieces, rq.dir, record);
    BundleFile other;
    const bool elsewhere = !rq.original.empty() || is != SourceIs::original;
    if (elsewhere)
        if (Outcome f = find_original(fs, OriginalSearch{.bundle = rq.old_bundle, .given = rq.original, .dir = rq.dir},
                                      record, other))
            return f;
    const BundleFile& original = elsewhere ? other : bundle;
    const JoinRequest join_rq{.bundle = rq.old_bundle, .dir = rq.dir, .dir_given = true, .only_planned = true};
    JoinPlan join;
    if (Outcome f = plan_rebuild(fs, join_rq, record, join))
        return f;
    FileBytes old(*original.file, original.size());
    PlannedBytes built(fs, join.plan, join.bundle);
    Outcome f = diff_bundles(old, built, patch, rq.way_back);
    if (f && f->fault == Fault::no_change)
        f->detail.file = rq.dir;
    return f;
}

}  // namespace

Outcome diff_bundles(ByteSource& old_bytes, ByteSource& new_bytes, Patch& patch, WayBack way_back)
{
    BundleInput a(old_bytes);
    BundleInput b(new_bytes);
    if (Outcome f = a.open())
        return f;
    if (Outcome f = b.open())
        return f;
    patch = Patch{};
    if (std::optional<Entry> frame = frame_entry(a, b))
        patch.entries.push_back(std::move(*frame));
    Sha256 hash_a;
    Sha256 hash_b;
    Bytes x;
    Bytes y;
    const std::size_t count = std::max(a.pieces().size(), b.pieces().size());
    for (std::size_t k = 0; k < count; ++k) {
        if (Outcome f = a.next_piece(x, k < a.pieces().size() ? &hash_a : nullptr))
            return f;
        if (Outcome f = b.next_piece(y, k < b.pieces().size() ? &hash_b : nullptr))
            return f;
        if (k < a.pieces().size())
            patch.old_marks.push_back(mark_of(x));
        if (k < a.pieces().size() && k < b.pieces().size() && x == y)
            continue;
        const Side none{};
        patch.entries.push_back(Entry{static_cast<std::uint32_t>(k), x.empty() ? none : side_of(x),
                                      y.empty() ? none : side_of(y), make_change(x, y),
                                      make_change(y, x, way_back == WayBack::carried)});
    }
    patch.old_bundle = {a.size(), hash_a.finish(), static_cast<std::uint32_t>(a.pieces().size())};
    patch.new_bundle = {b.size(), hash_b.finish(), static_cast<std::uint32_t>(b.pieces().size())};
    if (way_back == WayBack::none)
        for (Entry& e : patch.entries)
            e.reverse = Change{.how = Remake::none};
    if (patch.entries.empty())
        return named_failure(Fault::no_change, b.path(), Why::same_bundle, a.path());
    return {};
}

Outcome make_patch(FileSystem& fs, const DiffRequest& rq, Patch& patch)
{
    return rq.dir.empty() ? diff_to_file(fs, rq, patch) : diff_from_pieces(fs, rq, patch);
}

Outcome plan_diff(FileSystem& fs, const DiffRequest& rq, DiffPlan& diff)
{
    if (Outcome f = make_patch(fs, rq, diff.patch))
        return f;
    Bytes bytes = patch_bytes(diff.patch);
    diff.size = bytes.size();
    return plan_patch_file(fs, rq.patch, std::move(bytes), diff.plan);
}

Outcome plan_patch_file(FileSystem& fs, const std::string& path, Bytes bytes, Plan& plan)
{
    OldFile old = OldFile::must_not_exist;
    if (Outcome f = old_patch(fs, path, old))
        return f;
    PlannedOutput out{.path = path, .old = old, .durability = Durability::durable};
    out.parts.push_back(Part{.bytes = held(std::move(bytes))});
    plan.then(Step{.what = Do::write_and_name, .output = plan.add_output(std::move(out))});
    return {};
}
