#include "apply_dir.hpp"

#include <optional>

#include "merging.hpp"
#include "naming.hpp"
#include "original.hpp"
#include "record.hpp"

namespace {

using platform::FileSystem;

// original_of -- the bundle the pieces in dir were first cut from: the one
// of the record's name beside dir where it is that bundle, else its .BAK
Outcome original_of(FileSystem& fs, const std::string& dir, const SplitRecord& rec, BundleFile& bundle,
                    BundleFile& backup, const BundleFile*& original)
{
    const std::string path = beside_dir(dir, rec.bundle);
    SourceIs is = SourceIs::unknown;
    if (Outcome f = in_loop(fs, path, rec, bundle, is))
        return f;
    original = &bundle;
    if (is == SourceIs::original)
        return {};
    original = &backup;
    return find_original(fs, OriginalSearch{.bundle = path, .dir = dir, .missing = Why::no_original_to_merge}, rec,
                         backup);
}

// base_piece -- piece k as the original holds it, which every change of
// it must be made from
Outcome base_piece(const BundleFile& original, std::uint32_t k, const std::vector<Contribution>& changes, Bytes& base)
{
    const std::size_t count = original.listed.size();
    for (const Contribution& c : changes)
        if (k >= count || c.from->patch.old_bundle.pieces != count)
            return tool_failure(Fault::wrong_bundle, original.path(), Why::wrong_count, count,
                                c.from->patch.old_bundle.pieces);
    if (Outcome f = read_piece(original, original.listed[k], base))
        return f;
    for (const Contribution& c : changes)
        if (side_of(base) != c.entry->old_side) {
            Failure f = piece_failure(Fault::wrong_bundle, original.path(), Why::wrong_piece, static_cast<int>(k));
            f.detail.expected = c.entry->old_side;
            f.detail.found = side_of(base);
            return f;
        }
    return {};
}

// A piece file as the user left it.
struct PieceFile {
    std::string path{};
    platform::FileInfo info{};
    Bytes bytes{};         // the file's
    bool decoded = false;  // the split wrote the piece decoded: the file is its content
    Bytes content{};       // what the changes are merged into
};

// read_piece_file -- piece file k, whole, and its content
Outcome read_piece_file(FileSystem& fs, const std::string& dir, const SplitRecord& rec, std::uint32_t k, PieceFile& pf)
{
    pf.path = piece_path(dir, static_cast<int>(k));
    InputFile in(fs, pf.path, platform::Links::refuse);
    if (Outcome f = opened(in, Fault::cannot_open, pf.info))
        return f;
    if (pf.info.size > kMaxPieceSize)
        return tool_failure(Fault::bad_piece, pf.path, Why::piece_too_large, pf.info.size, kMaxPieceSize);
    pf.bytes.resize(static_cast<std::size_t>(pf.info.size));
    if (Outcome f = read_exact(in, 0, pf.bytes))
        return f;
    pf.decoded = k < rec.pieces.size() && written_decoded(rec, k);
    pf.content = pf.decoded ? pf.bytes : content_of(pf.bytes).content;
    return {};
}

// merged_file -- what the changes make of a piece file: its new bytes, in
// the form it had; none where it holds them already or a change overlaps
Outcome merged_file(const ApplyRequest& rq, const BundleFile& original, std::uint32_t k,
                    const std::vector<Contribution>& changes, const PieceFile& pf, std::optional<Bytes>& out,
                    std::vector<Failure>& overlaps)
{
    out.reset();
    Bytes base;
    if (Outcome f = base_piece(original, k, changes, base))
        return f;
    Bytes merged = pf.content;
    std::vector<Bytes> made;
    const std::size_t were = overlaps.size();
    if (Outcome f = merge_changes(k, changes, base, rq.reverse, pf.path, merged, made, overlaps))
        return f;
    if (overlaps.size() != were || merged == pf.content)
        return {};
    if (!pf.decoded)
        return stored_again(pf.path, pf.bytes, merged, made, out.emplace());
    out = std::move(merged);
    return {};
}

// replaced -- the piece file replaced by its new bytes, keeping its
// permissions; the commit refuses a file changed since it was read
void replaced(Plan& plan, const PieceFile& pf, std::uint32_t k, Bytes bytes)
{
    const int in = plan.add_input(input_of(pf.path, platform::Links::refuse, pf.info));
    PlannedOutput out{.path = pf.path, .old = OldFile::replace, .durability = Durability::durable, .attributes_of = in};
    out.parts.push_back(Part{.bytes = held(std::move(bytes)),
                             .told = {Event{.what = Tell::patching_file, .piece = static_cast<int>(k), .name = pf.path}}});
    plan.add_output(std::move(out));
}

// name_all -- every file written and synced before any takes its name,
// every input closed first
void name_all(Plan& plan)
{
    for (std::size_t k = 0; k < plan.outputs.size(); ++k)
        plan.then(Step{.what = Do::write, .output = static_cast<int>(k)});
    for (std::size_t k = 0; k < plan.outputs.size(); ++k)
        plan.then(Step{.what = Do::finish, .output = static_cast<int>(k)});
    plan.then(Step{.what = Do::close_inputs});  // an open file cannot be renamed on every system
    for (std::size_t k = 0; k < plan.outputs.size(); ++k)
        plan.then(Step{.what = Do::name, .output = static_cast<int>(k)});
}

}  // namespace

Outcome plan_apply_to_pieces(FileSystem& fs, const ApplyRequest& rq, std::span<const NamedPatch> patches, Plan& plan,
                             std::vector<Failure>& overlaps)
{
    SplitRecord record;
    if (Outcome f = required_record(fs, rq.dir, Why::no_record_to_patch, record))
        return f;
    Changes changes;
    if (Outcome f = same_compressor(patches))
        return f;
    if (Outcome f = changes_of(patches, changes))
        return f;
    BundleFile bundle, backup;
    const BundleFile* original = nullptr;
    if (Outcome f = original_of(fs, rq.dir, record, bundle, backup, original))
        return f;
    Plan merged;
    for (const auto& [k, by] : changes) {
        PieceFile pf;
        std::optional<Bytes> made;
        if (Outcome f = read_piece_file(fs, rq.dir, record, k, pf))
            return f;
        if (Outcome f = merged_file(rq, *original, k, by, pf, made, overlaps))
            return f;
        if (made)
            replaced(merged, pf, k, std::move(*made));
    }
    if (!overlaps.empty()) {
        Failure last = std::move(overlaps.back());
        overlaps.pop_back();
        return last;
    }
    if (merged.outputs.empty())
        return tool_failure(Fault::already_applied, rq.dir, rq.reverse ? Why::already_taken_back : Why::already_made);
    name_all(merged);
    plan = std::move(merged);
    return {};
}
