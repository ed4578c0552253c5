// Making a folder patch: two folders compared file by file, by relative
// path, each bundle a piece at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diff.hpp"
#include "failure.hpp"
#include "folder.hpp"
#include "plan.hpp"
#include "platform.hpp"

struct FolderDiffRequest {
    std::string old_dir{};
    std::string new_dir{};
    std::string patch{};
    WayBack way_back = WayBack::rebuilt;
};

struct FolderDiffPlan {
    Plan plan;
    FolderPatch patch;
    std::uint64_t size = 0;  // of the patch's bytes
};

// folder_files -- every regular file below a folder, by its path from it
// ('/' between names), in byte order: a backup FILE.BAK beside its FILE,
// and the tools' temporaries, left out, and what is neither a file nor a
// directory (a symbolic link) too; a folder a commit stopped in is
// refused (journal_left)
Outcome folder_files(platform::FileSystem& fs, const std::string& dir, std::vector<std::string>& paths);

// make_folder_patch -- the folder patch from OLD to NEW, as
// plan_folder_diff makes it, with no plan to write it
Outcome make_folder_patch(platform::FileSystem& fs, const FolderDiffRequest& request, FolderPatch& patch);

// plan_folder_diff -- the folder patch from OLD to NEW, and the plan that
// writes it: a file in both that differs is a bundle patch where both read
// as bundles, else a delta of its bytes both ways; a file NEW adds is its
// bytes; one it lacks is removed, its bytes carried only with
// WayBack::carried. A path no folder patch may hold (path_problem), or two
// that differ only by case, are refused (unsafe_path, same_but_case), and
// two folders alike are no_change.
Outcome plan_folder_diff(platform::FileSystem& fs, const FolderDiffRequest& request, FolderDiffPlan& diff);
