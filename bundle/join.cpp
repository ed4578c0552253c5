#include "join.hpp"

#include <algorithm>

#include "bundle_file.hpp"
#include "files.hpp"
#include "flz0.hpp"
#include "naming.hpp"
#include "output.hpp"
#include "rebuild.hpp"
#include "record.hpp"
#include "stored.hpp"

namespace {

using platform::FileSystem;

constexpr std::size_t kPieceNames = 1000;  // 000 to 999

// count_pieces -- how many pieces, 000 on, the directory holds without a
// gap; a three-digit name after a gap is a piece that would be lost
Outcome count_pieces(FileSystem& fs, const std::string& dir, int& count)
{
    platform::Result<std::vector<std::string>> names = fs.list_dir(dir);
    if (names.error)
        return system_failure(Fault::cannot_open, dir, names.error);
    std::vector<bool> present(kPieceNames, false);
    for (const std::string& name : names.value)
        if (int k = piece_number(name); k >= 0 && name.size() == kPieceNameDigits)
            present[static_cast<std::size_t>(k)] = true;
    count = static_cast<int>(std::find(present.begin(), present.end(), false) - present.begin());
    if (count == 0)
        return tool_failure(Fault::cannot_open, dir, Why::no_piece_zero);
    if (auto later = std::find(present.begin() + count, present.end(), true); later != present.end())
        return piece_failure(Fault::bad_piece, piece_path(dir, static_cast<int>(later - present.begin())),
                             Why::follows_gap, count);
    if (count > kMaxPieces)
        return tool_failure(Fault::bad_piece, piece_path(dir, kMaxPieces), Why::at_most_pieces, 0, kMaxPieces);
    return {};
}

// beside_backup -- the bytes of NNN.BAK where it is a regular file that
// starts as an FLZ0 file; none where there is no such file
Outcome beside_backup(FileSystem& fs, const std::string& path, std::optional<Bytes>& backup)
{
    if (Outcome f = read_if_regular(fs, path + kBackupSuffix, backup))
        return f;
    if (backup && !has_flz0_magic(*backup))
        backup.reset();
    return {};
}

// piece_part -- what is stored for piece k: the file as it stands, or,
// beside an FLZ0 NNN.BAK, what stored_beside makes of the two
Outcome piece_part(FileSystem& fs, const JoinRequest& rq, int k, Plan& plan, Part& part)
{
    const std::string path = piece_path(rq.dir, k);
    InputFile file(fs, path, platform::Links::follow);
    if (platform::SysError e = file.error())
        return system_failure(e.code == platform::kNotRegular ? Fault::bad_piece : Fault::cannot_open, path, e);
    platform::Result<platform::FileInfo> info = fs.info(file.handle());
    if (info.error)
        return system_failure(Fault::cannot_open, path, info.error);
    const std::uint64_t size = info.value.size;
    if (size == 0)
        return tool_failure(Fault::bad_piece, path, Why::empty_piece);
    std::optional<Bytes> backup;
    if (size <= kMaxPieceSize && !rq.as_is)
        if (Outcome f = beside_backup(fs, path, backup))
            return f;
    if (backup) {
        Bytes plain(static_cast<std::size_t>(size));
        if (Outcome f = read_exact(file, 0, plain))
            return f;
        Bytes stored;
        if (Outcome f = stored_beside(path, plain, backup, stored))
            return f;
        if (stored.size() > kMaxPieceSize)
            return tool_failure(Fault::bad_piece, path + kBackupSuffix, Why::piece_too_large, stored.size(), kMaxPieceSize);
        part = Part{.bytes = held(std::move(stored))};
        return {};
    }
    if (size > kMaxPieceSize)
        return tool_failure(Fault::bad_piece, path, Why::piece_too_large, size, kMaxPieceSize);
    part = Part{.input = plan.add_input(input_of(path, platform::Links::follow, info.value)), .size = size};
    return {};
}

// old_bundle -- the old bundle, where there is one, as the plan's input,
// with its table and size; a BUNDLE.BAK there already blocks the commit
Outcome old_bundle(FileSystem& fs, const std::string& bundle, Plan& plan, std::optional<OldBundle>& old, int& input)
{
    platform::Result<platform::FileInfo> now = fs.look(bundle, platform::Links::refuse);
    if (now.error)
        return system_failure(Fault::cannot_open, bundle, now.error);
    if (now.value.kind == platform::Kind::none)
        return {};
    // An old bundle is kept as bundle.BAK, and must be a file to keep.
    BundleFile b;
    if (Outcome f = open_bundle(fs, bundle, platform::Links::refuse, b))
        return f;
    plan.blocked = backup_is_free(fs, bundle);
    old = OldBundle{b.table, b.size()};
    input = plan.add_input(input_of(bundle, platform::Links::refuse, b.info));
    return {};
}

// join_without_record -- the plain join: every piece as stored_beside
// says, in the old bundle's layout where it can be kept
Outcome join_without_record(FileSystem& fs, const JoinRequest& rq, JoinPlan& join)
{
    int count = 0;
    if (Outcome f = count_pieces(fs, rq.dir, count))
        return f;
    Plan& plan = join.plan;
    std::vector<Part> parts(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k)
        if (Outcome f = piece_part(fs, rq, k, plan, parts[static_cast<std::size_t>(k)]))
            return f;
    std::optional<OldBundle> old;
    int old_input = kNoInput;
    if (Outcome f = old_bundle(fs, rq.bundle, plan, old, old_input))
        return f;
    std::vector<std::uint32_t> sizes;
    for (const Part& p : parts)
        sizes.push_back(static_cast<std::uint32_t>(p.length()));
    join.replaced = old.has_value();
    join.layout = plan_layout(sizes, old ? &*old : nullptr, LayoutPolicy{});
    const Layout& layout = join.layout;

    PlannedOutput out{.path = rq.bundle, .old = old ? OldFile::keep_as_backup : OldFile::must_not_exist,
                      .durability = Durability::durable, .attributes_of = old_input};
    out.parts.push_back(Part{.bytes = held(Bytes(layout.table.begin(), layout.table.end()))});
    if (old)
        out.parts.push_back(Part{.input = old_input, .offset = layout.head_start, .size = layout.head_end - layout.head_start});
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const Piece& p = layout.pieces[k];
        parts[k].told.push_back(Event{.what = Tell::joining, .piece = p.index, .start = p.start, .end = p.end});
        out.parts.push_back(std::move(parts[k]));
    }
    if (old)
        out.parts.push_back(Part{.input = old_input, .offset = layout.tail_start, .size = layout.tail_end - layout.tail_start});
    join.bundle = plan.add_output(std::move(out));
    plan.then(Step{.what = Do::write, .output = join.bundle});
    plan.then(Step{.what = Do::close_inputs});  // an open file cannot be renamed on every system
    plan.then(Step{.what = Do::name, .output = join.bundle});
    return {};
}

}  // namespace

Outcome plan_join(FileSystem& fs, const JoinRequest& rq, JoinPlan& join)
{
    // What the directory was cut from, where it says: then nothing is guessed.
    std::optional<SplitRecord> record;
    if (Outcome f = load_record(fs, rq.dir, record))
        return f;
    if (record)
        return plan_rebuild(fs, rq, *record, join);
    return join_without_record(fs, rq, join);
}
