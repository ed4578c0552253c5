#include "folder_diff.hpp"

#include <algorithm>
#include <set>

#include "delta.hpp"
#include "journal.hpp"
#include "output.hpp"

namespace {

using platform::FileSystem;

// list_below -- the files below dir/rel, added to paths
Outcome list_below(FileSystem& fs, const std::string& dir, const std::string& rel, std::vector<std::string>& paths)
{
    const std::string here = rel.empty() ? dir : in_dir(dir, rel);
    platform::Result<std::vector<std::string>> names = fs.list_dir(here);
    if (names.error)
        return system_failure(Fault::cannot_open, here, names.error);
    const std::set<std::string> all(names.value.begin(), names.value.end());
    for (const std::string& name : names.value) {
        if (name == kJournalName)
            return named_failure(Fault::cannot_open, in_dir(here, name), Why::journal_left, here);
        const bool backup = name.ends_with(kBackupSuffix) && all.count(name.substr(0, name.size() - std::string_view(kBackupSuffix).size())) != 0;
        if (backup || name.ends_with(kTempSuffix))
            continue;
        const std::string path = rel.empty() ? name : rel + "/" + name;
        platform::Result<platform::FileInfo> there = fs.look(in_dir(dir, path), platform::Links::refuse);
        if (there.error)
            return system_failure(Fault::cannot_open, in_dir(dir, path), there.error);
        if (there.value.kind == platform::Kind::regular)
            paths.push_back(path);
        else if (there.value.kind == platform::Kind::directory)
            if (Outcome f = list_below(fs, dir, path, paths))
                return f;
    }
    return {};
}

// bundle_change -- the bundle patch between two files, where both read as
// bundles; none where either does not
std::optional<Patch> bundle_change(FileSystem& fs, const std::string& a, const std::string& b, WayBack way_back)
{
    InputFile old_file(fs, a, platform::Links::refuse);
    InputFile new_file(fs, b, platform::Links::refuse);
    platform::FileInfo old_info;
    platform::FileInfo new_info;
    if (opened(old_file, Fault::cannot_open, old_info) || opened(new_file, Fault::cannot_open, new_info))
        return std::nullopt;
    FileBytes x(old_file, old_info.size);
    FileBytes y(new_file, new_info.size);
    Patch patch;
    if (diff_bundles(x, y, patch, way_back))
        return std::nullopt;
    return patch;
}

// bytes_change -- a loose file's change: deltas of its bytes both ways
Outcome bytes_change(FileSystem& fs, const FolderDiffRequest& rq, FileChange& f)
{
    Bytes a;
    Bytes b;
    if (f.old_side.present)
        if (Outcome o = read_whole(fs, in_dir(rq.old_dir, f.path), platform::Links::refuse, Fault::cannot_open, a))
            return o;
    if (f.new_side.present)
        if (Outcome o = read_whole(fs, in_dir(rq.new_dir, f.path), platform::Links::refuse, Fault::cannot_open, b))
            return o;
    f.how = FileHow::bytes;
    f.forward = make_delta(a, b);
    // A file removed travels back only where the patch carries it all.
    const bool carried = rq.way_back == WayBack::carried || (rq.way_back == WayBack::rebuilt && f.new_side.present);
    if (f.old_side.present && carried)
        f.back = make_delta(b, a);
    return {};
}

// file_change -- how the file at a path changes, where it does
Outcome file_change(FileSystem& fs, const FolderDiffRequest& rq, const std::string& path, std::vector<FileChange>& out)
{
    FileChange f{.path = path};
    if (Outcome o = side_of_file(fs, in_dir(rq.old_dir, path), Fault::cannot_open, f.old_side))
        return o;
    if (Outcome o = side_of_file(fs, in_dir(rq.new_dir, path), Fault::cannot_open, f.new_side))
        return o;
    if (f.old_side == f.new_side)
        return {};
    if (f.old_side.present && f.new_side.present)
        if (std::optional<Patch> p = bundle_change(fs, in_dir(rq.old_dir, path), in_dir(rq.new_dir, path), rq.way_back)) {
            f.how = FileHow::bundle;
            f.bundle = std::move(*p);
            out.push_back(std::move(f));
            return {};
        }
    if (Outcome o = bytes_change(fs, rq, f))
        return o;
    out.push_back(std::move(f));
    return {};
}

}  // namespace

Outcome folder_files(FileSystem& fs, const std::string& dir, std::vector<std::string>& paths)
{
    paths.clear();
    if (Outcome f = list_below(fs, dir, "", paths))
        return f;
    std::sort(paths.begin(), paths.end());
    return {};
}

Outcome make_folder_patch(FileSystem& fs, const FolderDiffRequest& rq, FolderPatch& patch)
{
    std::vector<std::string> old_paths;
    std::vector<std::string> new_paths;
    if (Outcome f = folder_files(fs, rq.old_dir, old_paths))
        return f;
    if (Outcome f = folder_files(fs, rq.new_dir, new_paths))
        return f;
    std::vector<std::string> paths;
    std::set_union(old_paths.begin(), old_paths.end(), new_paths.begin(), new_paths.end(), std::back_inserter(paths));
    for (const std::string& p : paths)
        if (PathProblem problem = path_problem(p); problem != PathProblem::none) {
            Failure f = named_failure(Fault::cannot_open, rq.new_dir, Why::unsafe_path, p);
            f.detail.size = static_cast<std::uint64_t>(problem);
            return f;
        }
    patch = FolderPatch{};
    for (const std::string& p : paths)
        if (Outcome f = file_change(fs, rq, p, patch.files))
            return f;
    std::vector<std::string> changed;
    for (const FileChange& f : patch.files)
        changed.push_back(f.path);
    // Every patch must apply on every system, also where case is one.
    if (auto twins = same_but_case(changed))
        return named_failure(Fault::cannot_open, in_dir(rq.new_dir, changed[twins->second]), Why::same_but_case,
                             changed[twins->first]);
    if (patch.files.empty())
        return named_failure(Fault::no_change, rq.new_dir, Why::same_bundle, rq.old_dir);
    return {};
}

Outcome plan_folder_diff(FileSystem& fs, const FolderDiffRequest& rq, FolderDiffPlan& diff)
{
    if (Outcome f = make_folder_patch(fs, rq, diff.patch))
        return f;
    Bytes bytes = folder_patch_bytes(diff.patch);
    diff.size = bytes.size();
    return plan_patch_file(fs, rq.patch, std::move(bytes), diff.plan);
}
