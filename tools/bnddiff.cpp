// bnddiff -- make a patch that turns one bundle into another
//
//     bnddiff [--one-way | --both-ways] OLD NEW PATCH
//     bnddiff [--one-way | --both-ways] -d DIR [--original FILE] OLD PATCH
//     bnddiff -r [--one-way | --both-ways] OLDDIR NEWDIR PATCH
//     bnddiff --kit KIT [--kit-files DIR] [-r | -d DIR [--original FILE]] [--one-way | --both-ways] OLD [NEW]
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
// patch's readme. With --kit, the patch goes into KIT, a zip to publish,
// with that readme, the scripts that apply it and the files of a kit
// folder (kit.hpp), in place of PATCH.
#include <functional>

#include "bndtools.hpp"
#include "command.hpp"
#include "console.hpp"
#include "hex.hpp"
#include "programs.hpp"
#include "render.hpp"
#include "text.hpp"

namespace {

enum Opt { kDirectory, kOneWay, kBothWays, kOriginal, kRecursive, kKit, kKitFiles };
constexpr Option kOptions[] = {
    {kDirectory, 'd', "directory", "DIR", msg::kDiffDirectory},
    {kOneWay, '\0', "one-way", nullptr, msg::kDiffOneWay},
    {kBothWays, '\0', "both-ways", nullptr, msg::kDiffBothWays},
    {kOriginal, '\0', "original", "FILE", msg::kDiffOriginal},
    {kRecursive, 'r', "recursive", nullptr, msg::kDiffRecursive},
    {kKit, '\0', "kit", "KIT", msg::kDiffKit},
    {kKitFiles, '\0', "kit-files", "DIR", msg::kDiffKitFiles},
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

// program_dir -- the folder this program runs from; none where the system does not tell
std::string program_dir()
{
    const platform::Result<std::string> path = platform::program_path();
    return path.error ? std::string() : platform::parent_dir(path.value);
}

// A patch made for a kit: its bytes, the kit's texts, and the lines said
// after the kit's size.
struct KitPatch {
    Bytes bytes;
    KitTexts texts;
    std::string lines;
};

// kit_run -- the kit that holds a patch under patch_name: what it takes
// from the disk gathered, so that a file missing is found before the
// patch is made; the patch made; the kit written; then the sizes
Outcome kit_run(platform::FileSystem& fs, const CommandLine& cl, const std::string& patch_name,
                const std::function<Outcome(KitPatch&)>& make)
{
    const KitRequest request{.kit = cl.value(kKit),
                             .files = cl.has(kKitFiles) ? cl.value(kKitFiles) : std::string(),
                             .program_dir = program_dir(),
                             .patch_name = patch_name};
    KitFiles files;
    if (Outcome f = gather_kit(fs, request, files))
        return f;
    KitPatch made;
    if (Outcome f = make(made))
        return f;
    const std::size_t patch_size = made.bytes.size();
    KitPlan kit;
    if (Outcome f = plan_kit(request, files, held(std::move(made.bytes)), made.texts, kit))
        return f;
    if (Outcome f = commit(fs, kit.plan, tell_nothing))
        return f;
    if (Outcome f = say(format_text(msg::kPatchSizeFormat, patch_size) +
                        format_text(msg::kKitSizeFormat, request.kit.c_str(), static_cast<unsigned long long>(kit.size),
                                    files.folder.c_str()) +
                        made.lines))
        return f;
    return say(msg::kCompleted);
}

// stem_of -- a file's name without the path before it, or its extension
std::string stem_of(const std::string& path)
{
    const std::string name = file_name_of(path);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// folder_kit_run -- the folder patch from OLDDIR to NEWDIR in a kit,
// named after the kit, as the folder it applies to has no name of its own
Outcome folder_kit_run(platform::FileSystem& fs, const CommandLine& cl, const FolderDiffRequest& request)
{
    const std::string name = stem_of(cl.value(kKit)) + kPatchSuffix;
    return kit_run(fs, cl, name, [&](KitPatch& made) -> Outcome {
        FolderPatch patch;
        if (Outcome f = make_folder_patch(fs, request, patch))
            return f;
        made = KitPatch{folder_patch_bytes(patch), folder_kit_texts(name, patch), ""};
        return say(describe_folder_patch(patch));
    });
}

// bundle_kit_run -- the patch in a kit, named after the bundle it makes,
// whose name players hold the original under: NEW's, or with -d OLD's
Outcome bundle_kit_run(platform::FileSystem& fs, const CommandLine& cl, const DiffRequest& request)
{
    const std::string bundle = file_name_of(request.dir.empty() ? request.new_bundle : request.old_bundle);
    const std::string name = bundle + kPatchSuffix;
    return kit_run(fs, cl, name, [&](KitPatch& made) -> Outcome {
        Patch patch;
        if (Outcome f = make_patch(fs, request, patch))
            return f;
        const DiffRequest named{.old_bundle = bundle, .new_bundle = bundle};
        made = KitPatch{patch_bytes(patch), kit_texts(name, bundle, patch), checksum_lines(patch, named)};
        return say(describe_patch(patch));
    });
}

// folder_run -- the folder patch from OLDDIR to NEWDIR
Outcome folder_run(platform::FileSystem& fs, const CommandLine& cl)
{
    const FolderDiffRequest request{.old_dir = cl.operands[0],
                                    .new_dir = cl.operands[1],
                                    .patch = cl.has(kKit) ? std::string() : cl.operands[2],
                                    .way_back = way_back_of(cl)};
    if (cl.has(kKit))
        return folder_kit_run(fs, cl, request);
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
                              .patch = cl.has(kKit) ? std::string() : cl.operands.back(),
                              .way_back = way_back_of(cl)};
    if (cl.has(kKit))
        return bundle_kit_run(fs, cl, request);
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

// fits -- OLD, NEW and PATCH; with -d no NEW, and with --kit no PATCH,
// which the kit holds
bool fits(const CommandLine& cl)
{
    if (cl.has(kKitFiles) && (!cl.has(kKit) || cl.value(kKitFiles).empty()))
        return false;
    if (cl.has(kKit) && cl.value(kKit).empty())
        return false;
    const std::size_t patch = cl.has(kKit) ? 0 : 1;
    if (cl.has(kRecursive))
        return cl.operands.size() == 2 + patch && !cl.has(kDirectory) && !cl.has(kOriginal) &&
               !(cl.has(kOneWay) && cl.has(kBothWays));
    return cl.operands.size() == (cl.has(kDirectory) ? 1 : 2) + patch && !(cl.has(kOneWay) && cl.has(kBothWays)) &&
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
