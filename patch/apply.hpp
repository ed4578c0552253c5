// Applying a patch to a bundle, or taking it back out: every byte it
// changes checked before anything is written, every piece it makes
// checked against its hash, and the bundle replaced in one step.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "failure.hpp"
#include "patch.hpp"
#include "plan.hpp"
#include "platform.hpp"

struct ApplyRequest {
    std::string bundle{};
    std::string patch{};     // where the patch came from, for the messages
    bool reverse = false;  // take the patch back out: NEW to OLD
    std::string out{};       // the new bundle's name; empty: the bundle's own
    std::string dir{};       // bndpatch -d: the piece directory the patches go into, in the bundle's place
};

// patch_file_bytes -- every byte of a patch's file; one larger than any
// patch is refused unread
Outcome patch_file_bytes(platform::FileSystem& fs, const std::string& path, Bytes& bytes);

// patch_refusal -- why a patch's file that does not read as a patch of
// version `reads` (a bundle's, or kFolderPatchVersion) is refused: a patch
// of the other kind is named as such
Failure patch_refusal(const std::string& path, PatchStatus status, std::uint64_t version, std::uint64_t reads);

// load_patch -- the patch in a file, checked whole
Outcome load_patch(platform::FileSystem& fs, const std::string& path, Patch& patch);

// plan_apply -- the plan that applies the patch to the bundle, reading
// each piece of it once: where the bundle holds, in every piece the patch
// touches, what the patch was made from, the new bundle takes its name
// (or request.out), each piece made (Tell::patching) checked against the
// hash the patch records, and each piece it removes told
// (Tell::removing); where the bundle was exactly the one the patch was
// made from, the new one is checked whole against the other's hash before
// it takes the name. A bundle that holds what it makes is
// already_applied, any other wrong_bundle, and nothing is planned.
Outcome plan_apply(platform::FileSystem& fs, const ApplyRequest& request, const Patch& patch, Plan& plan);

// What a look at a bundle says of a patch, writing nothing.
struct Verdict {
    struct Wrong {
        int piece = kNoPiece;  // or kFramePiece
        Side expected{};       // what the patch is applied to
        Side found{};          // what the bundle holds
    };
    std::vector<Wrong> wrong{};      // each piece the patch touches that does not hold what it is applied to
    std::vector<int> elsewhere{};    // each piece it does not touch that differs from the bundle it was made from
    Outcome outcome{};               // none: it applies; else already_applied, or wrong_bundle (the first wrong piece)
};

// check_apply -- what plan_apply would find, from each piece's size and
// hash alone, reading the bundle once; and, by the patch's marks (none in
// a patch of version 1), which pieces it does not touch differ from its
// original: another patch, or another version
Outcome check_apply(platform::FileSystem& fs, const ApplyRequest& request, const Patch& patch, Verdict& verdict);

// A patch loaded, and where it came from.
struct NamedPatch {
    std::string path{};
    Patch patch{};
};

// plan_apply_all -- the plan that applies several patches (or takes them
// back out) in one step, all or none: each piece one or more of them
// changes is made from the bundle's own by merging into it what each
// changes of the piece's content since the bundle they were all made
// from (the bundle itself where it holds that piece, else BUNDLE.BAK).
// So two patches that change different parts of one piece apply in
// either order and together. Every overlap of two changes is added to
// `overlaps` (Why::overlapping) and nothing is planned; a patch that adds
// or removes pieces, or changes the table, is combined with none
// (Why::not_combinable). One patch alone is applied as plan_apply does,
// and combined only where the bundle does not hold what it is made from.
Outcome plan_apply_all(platform::FileSystem& fs, const ApplyRequest& request, std::span<const NamedPatch> patches,
                       Plan& plan, std::vector<Failure>& overlaps);