// bnddiff -- make a patch that turns one bundle into another
//
//     bnddiff [--one-way | --both-ways] OLD NEW PATCH
//     bnddiff [--one-way | --both-ways] -d DIR [--original FILE] OLD PATCH
//     bnddiff -r [--one-way | --both-ways] OLDDIR NEWDIR PATCH
//
// The patch holds, for each piece that differs, how to make it from the
// old one (an FLZ0 piece from its decoded content), and the size and hash
// of everything it changes; with -d, NEW is the bundle a join would build
// from the piece directory DIR over OLD, planned and never written, and
// the patch is made from the bundle the pieces were first cut from. The
// way back holds an old FLZ0 piece as its content, compressed again by
// the encoder that made it, where one known here does; other old pieces
// come back from the bundle the patch was applied to, unless --both-ways
// carries their stored bytes. --one-way holds no way back at all. Last,
// each whole bundle's SHA-256 is shown as sha256sum -c reads it, for the
// patch's readme.
#include "bndtools.hpp"
#include "command.hpp"
#include "console.hpp"
#include "hex.hpp"
#include "programs.hpp"
#include "render.hpp"
#include "text.hpp"

namespace {

enum Opt { kDirectory, kOneWay, kBothWays, kOriginal, kRecursive };
constexpr Option kOptions[] = {
    {kDirectory, 'd', "directory", "DIR", msg::kDiffDirectory},
    {kOneWay, '\0', "one-way", nullptr, msg::kDiffOneWay},
    {kBothWays, '\0', "both-ways", nullptr, msg::kDiffBothWays},
    {kOriginal, '\0', "original", "FILE", msg::kDiffOriginal},
    {kRecursive, 'r', "recursive", nullptr, msg::kDiffRecursive},
};

// checksum_lines -- each whole bundle's SHA-256 as sha256sum writes it,
// named as the command line names it; with -d both are the bundle OLD
// names, which players hold the original under
std::string checksum_lines(const Patch& patch, const DiffRequest& rq)
{
    const std::string& old_name = rq.old_bundle;
    const std::string& new_name = rq.dir.empty() ? rq.new_bundle : old_name;
    return format_text(msg::kChecksumLineFormat, hex_of(patch.old_bundle.hash).c_str(), old_name.c_str()) +
           format_text(msg::kChecksumLineFormat, hex_of(patch.new_bundle.hash).c_str(), new_name.c_str());
}

WayBack way_back_of(const CommandLine& cl)
{
    return cl.has(kOneWay) ? WayBack::none : cl.has(kBothWays) ? WayBack::carried : WayBack::rebuilt;
}

// folder_run -- the folder patch from OLDDIR to NEWDIR
Outcome folder_run(platform::FileSystem& fs, const CommandLine& cl)
{
    const FolderDiffRequest request{.old_dir = cl.operands[0],
                                    .new_dir = cl.operands[1],
                                    .patch = cl.operands[2],
                                    .way_back = way_back_of(cl)};
    FolderDiffPlan diff;
    if (Outcome f = plan_folder_diff(fs, request, diff))
        return f;
    if (Outcome f = say(describe_folder_patch(diff.patch)))
        return f;
    if (Outcome f = commit(fs, diff.plan, tell_nothing))
        return f;
    if (Outcome f = say(format_text(msg::kPatchSizeFormat, static_cast<std::size_t>(diff.size))))
        return f;
    return say(msg::kCompleted);
}

Outcome bnddiff_run(platform::FileSystem& fs, const std::string& old_path, const CommandLine& cl)
{
    if (cl.has(kRecursive))
        return folder_run(fs, cl);
    const DiffRequest request{.old_bundle = old_path,
                              .new_bundle = cl.has(kDirectory) ? std::string() : cl.operands[1],
                              .dir = cl.has(kDirectory) ? cl.value(kDirectory) : std::string(),
                              .original = cl.has(kOriginal) ? cl.value(kOriginal) : std::string(),
                              .patch = cl.operands.back(),
                              .way_back = way_back_of(cl)};
    DiffPlan diff;
    if (Outcome f = plan_diff(fs, request, diff))
        return f;
    if (Outcome f = say(describe_patch(diff.patch)))
        return f;
    if (Outcome f = commit(fs, diff.plan, tell_nothing))
        return f;
    if (Outcome f = say(format_text(msg::kPatchSizeFormat, static_cast<std::size_t>(diff.size))))
        return f;
    if (Outcome f = say(checksum_lines(diff.patch, request)))
        return f;
    return say(msg::kCompleted);
}

bool fits(const CommandLine& cl)
{
    if (cl.has(kRecursive))
        return cl.operands.size() == 3 && !cl.has(kDirectory) && !cl.has(kOriginal) && !(cl.has(kOneWay) && cl.has(kBothWays));
    return cl.operands.size() == (cl.has(kDirectory) ? 2u : 3u) && !(cl.has(kOneWay) && cl.has(kBothWays)) &&
           (cl.has(kDirectory) || !cl.has(kOriginal));
}

}  // namespace

int bnddiff_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{.name = "bnddiff",
                    .usage = msg::kDiffUsage,
                    .about = msg::kDiffAbout,
                    .options = kOptions,
                    .fits = fits,
                    .step = bnddiff_run};
    return run_tool(args, tool, fs);
}
