// Applying folder patches, or taking them back out: every file checked
// before anything is written, every new file written whole and synced
// under its temporary name, and all of them named in one commit that a
// journal guards (journal.hpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "failure.hpp"
#include "folder.hpp"
#include "journal.hpp"
#include "plan.hpp"
#include "platform.hpp"

struct FolderRequest {
    std::string folder{};
    std::string out_dir{};  // -o: a new folder for the whole result; empty: in place
    bool reverse = false;
};

struct NamedFolderPatch {
    std::string path{};
    FolderPatch patch{};
};

// What a look at one file found.
enum class FileState { applies, already, wrong };
struct FileVerdict {
    std::string path{};
    FileState state = FileState::applies;
    Outcome why{};  // wrong: what is wrong with it
};

struct FolderApply {
    Plan plan{};
    std::string target{};   // the folder the files are written in: FOLDER, or OUTDIR
    std::uint64_t needed = 0;  // bytes of disk the commit writes before it names anything
    std::uint64_t free = 0;    // bytes free where it writes them
    std::vector<FileVerdict> files{};  // each file a patch touches, in path order
};

// load_folder_patch -- the folder patch in a file, checked whole: a bundle
// patch is bundle_patch; each path must be one no folder patch may not hold
// (unsafe_path), and, where this system takes names that differ only by
// case as one, no two may (same_but_case)
Outcome load_folder_patch(platform::FileSystem& fs, const std::string& path, FolderPatch& patch);

// plan_folder_apply -- the plan that applies the patches to the folder,
// all or none, reading every file they touch first: a file that holds
// neither what a patch was made from nor what it makes is added to
// `wrong`, and so is a file two patches change otherwise (file_twice),
// and nothing is planned; a path through a symbolic link is refused
// (through_link); a folder that holds all they make is already_applied;
// a disk without the room the commit needs is no_space. The plan names
// nothing: commit_folder does.
Outcome plan_folder_apply(platform::FileSystem& fs, const FolderRequest& request,
                          std::span<const NamedFolderPatch> patches, FolderApply& apply, std::vector<Failure>& wrong);

// commit_folder -- the plan committed, then its journal finished; where
// the commit fails, what it wrote is undone, or finished where every file
// was whole already. Each file named or removed is told.
Outcome commit_folder(platform::FileSystem& fs, const FolderApply& apply, const Observer& observer);

// recover_folder -- a folder's journal, left by a commit that stopped,
// finished or undone (journal.hpp: recover), each file told
Outcome recover_folder(platform::FileSystem& fs, const std::string& folder, const Observer& observer,
                       Recovered& recovered);
