// bndpatch -- apply a patch that bnddiff made, take it back out, or show it
//
//     bndpatch [-R] [-n | -o OUT] BUNDLE PATCH...
//     bndpatch [-R] [-n] -d DIR PATCH...
//     bndpatch -l PATCH
//     bndpatch [-R] [-n | -o OUTDIR] FOLDER PATCH...
//     bndpatch PATCH  (or PATCH BUNDLE: files dropped on the program)
//
// Nothing is written unless the bundle holds, in every piece the patch
// touches, what the patch was made from (with -R, what it makes); a bundle
// that holds the result already ends with status 3. With -n nothing is
// written at all: it says whether the patch applies, naming each piece
// that differs, also those the patch does not touch. With -d the patches
// go into the piece files of DIR, merged with the edits made there, and
// the bundle is left alone. Given a folder, the patches are folder
// patches (bnddiff -r), committed in one step under a journal.
#include "bndtools.hpp"
#include "command.hpp"
#include "console.hpp"
#include "programs.hpp"
#include "render.hpp"
#include "text.hpp"

namespace {

enum Opt { kReverse, kOutput, kList, kDryRun, kDirectory };
constexpr Option kOptions[] = {
    {kReverse, 'R', "reverse", nullptr, msg::kPatchReverse},
    {kDryRun, 'n', "dry-run", nullptr, msg::kPatchDryRun},
    {kOutput, 'o', "output", "OUT", msg::kPatchOutput},
    {kDirectory, 'd', "directory", "DIR", msg::kPatchDirectory},
    {kList, 'l', "list", nullptr, msg::kPatchList},
};

// apply_all -- the patches applied to the bundle, or with -d to the piece
// directory, in one step, or with -n only looked at: every overlap
// reported before the run ends
Outcome apply_all(platform::FileSystem& fs, const ApplyRequest& request, const std::vector<NamedPatch>& patches,
                  bool dry)
{
    Plan plan;
    std::vector<Failure> overlaps;
    Outcome f = request.dir.empty() ? plan_apply_all(fs, request, patches, plan, overlaps)
                                    : plan_apply_to_pieces(fs, request, patches, plan, overlaps);
    for (const Failure& o : overlaps)
        report(o);
    if (f)
        return f;
    const std::string& target = request.dir.empty() ? request.bundle : request.dir;
    if (dry)
        return say(format_text(request.reverse ? msg::kDryTakesBackFormat : msg::kDryAppliesFormat, target.c_str()));
    if (Outcome failed = commit(fs, plan, tell))
        return failed;
    return say(msg::kCompleted);
}

// say_recovered -- what the run found of a commit that stopped in the folder
Outcome say_recovered(const std::string& folder, Recovered recovered)
{
    if (recovered == Recovered::nothing)
        return {};
    return say(format_text(recovered == Recovered::finished ? msg::kRecoveredFinishedFormat : msg::kRecoveredUndoneFormat,
                           folder.c_str()));
}

// folder_run -- folder patches applied to a folder, taken back out, or with
// -n only looked at: first, a commit that stopped there finished or undone
Outcome folder_run(platform::FileSystem& fs, const std::string& folder, const CommandLine& cl)
{
    std::vector<NamedFolderPatch> patches;
    for (std::size_t i = 1; i < cl.operands.size(); ++i) {
        patches.push_back(NamedFolderPatch{.path = cl.operands[i]});
        if (Outcome f = load_folder_patch(fs, patches.back().path, patches.back().patch))
            return f;
    }
    const bool dry = cl.has(kDryRun);
    if (!dry) {
        Recovered recovered = Recovered::nothing;
        if (Outcome f = recover_folder(fs, folder, tell, recovered))
            return f;
        if (Outcome f = say_recovered(folder, recovered))
            return f;
    }
    const FolderRequest request{.folder = folder,
                                .out_dir = cl.has(kOutput) ? cl.value(kOutput) : std::string(),
                                .reverse = cl.has(kReverse)};
    FolderApply apply;
    std::vector<Failure> wrong;
    Outcome f = plan_folder_apply(fs, request, patches, apply, wrong);
    if (dry) {
        if (Outcome g = say(describe_folder_verdict(folder, apply, f, request.reverse)))
            return g;
        return f ? f : say(format_text(request.reverse ? msg::kDryTakesBackFormat : msg::kDryAppliesFormat, folder.c_str()));
    }
    for (std::size_t k = 0; f && k + 1 < wrong.size(); ++k)
        report(wrong[k]);
    if (f)
        return f;
    if (Outcome g = say(format_text(msg::kSpaceFormat, apply.target.c_str(), static_cast<unsigned long long>(apply.needed),
                                    static_cast<unsigned long long>(apply.free))))
        return g;
    if (Outcome g = commit_folder(fs, apply, tell)) {
        // Named in part: the journal holds the rest until the next run.
        platform::Result<platform::FileInfo> left = fs.look(journal_path(apply.target), platform::Links::refuse);
        if (!left.error && left.value.kind != platform::Kind::none)
            (void)say(format_text(msg::kPartWayFormat, apply.target.c_str()));
        return g;
    }
    return say(msg::kCompleted);
}

// is_folder -- whether the first operand names a folder
bool is_folder(platform::FileSystem& fs, const std::string& path)
{
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::follow);
    return !there.error && there.value.kind == platform::Kind::directory;
}

// list -- what a patch holds, a bundle's or a folder's
Outcome list(platform::FileSystem& fs, const std::string& path)
{
    Patch patch;
    Outcome f = load_patch(fs, path, patch);
    if (!f)
        return say(describe_patch(patch));
    if (f->detail.why != Why::folder_patch)
        return f;
    FolderPatch folder;
    if (Outcome g = load_folder_patch(fs, path, folder))
        return g;
    return say(describe_folder_patch(folder));
}

// as_dropped -- the operands as a drop on the program gives them, in the
// order the run takes them: a patch alone has what it applies to found
// (beside it, or in the folder the program started in), and a patch
// given before a bundle goes after it. Anything else stays as given.
Outcome as_dropped(platform::FileSystem& fs, CommandLine& cl)
{
    if (!cl.options.empty() || cl.operands.size() > 2)
        return {};
    if (!is_patch(fs, cl.operands.front())) {
        Patch patch;  // one operand alone must be a patch: say why it is not
        return cl.operands.size() == 1 ? load_patch(fs, cl.operands.front(), patch) : Outcome{};
    }
    if (cl.operands.size() == 2) {
        if (!is_patch(fs, cl.operands[1]))
            std::swap(cl.operands[0], cl.operands[1]);
        return {};
    }
    const std::string here = ".";
    std::string target;
    if (Outcome f = target_of(fs, cl.operands.front(), std::span(&here, 1), target))
        return f;
    cl.operands.insert(cl.operands.begin(), target);
    return {};
}

Outcome bndpatch_run(platform::FileSystem& fs, const std::string& given, const CommandLine& given_cl)
{
    CommandLine cl = given_cl;
    if (Outcome f = as_dropped(fs, cl))
        return f;
    const std::string& first = cl.operands.empty() ? given : cl.operands.front();
    if (cl.has(kList))
        return list(fs, first);
    if (!cl.has(kDirectory) && is_folder(fs, first))
        return folder_run(fs, first, cl);
    const bool bundle_given = !cl.has(kList) && !cl.has(kDirectory);
    if (bundle_given) {  // the operands in the order given: the bundle first
        InputFile bundle(fs, first, platform::Links::refuse);
        if (bundle.error())
            return system_failure(Fault::cannot_open, first, bundle.error());
    }
    std::vector<NamedPatch> patches;
    for (std::size_t i = bundle_given ? 1 : 0; i < cl.operands.size(); ++i) {
        patches.push_back(NamedPatch{.path = cl.operands[i]});
        if (Outcome f = load_patch(fs, patches.back().path, patches.back().patch))
            return f;
    }
    const ApplyRequest request{.bundle = bundle_given ? first : std::string(),
                               .patch = patches.front().path,
                               .reverse = cl.has(kReverse),
                               .out = cl.has(kOutput) ? cl.value(kOutput) : std::string(),
                               .dir = cl.has(kDirectory) ? cl.value(kDirectory) : std::string()};
    if (!cl.has(kDryRun) || patches.size() > 1 || !bundle_given)
        return apply_all(fs, request, patches, cl.has(kDryRun));
    Verdict verdict;
    if (Outcome f = check_apply(fs, request, patches.front().patch, verdict))
        return f;
    // A piece another change took from the bundle the patch was made from
    // may still take this one's change too.
    if (verdict.outcome && verdict.outcome->fault == Fault::wrong_bundle)
        if (Outcome f = apply_all(fs, request, patches, true); !f || f->fault != Fault::wrong_bundle)
            return f;
    if (Outcome f = say(describe_verdict(first, verdict, request.reverse)))
        return f;
    return verdict.outcome;
}

// fits -- a bundle and a patch, with -d a directory and a patch, or with
// -l a patch alone
bool fits(const CommandLine& cl)
{
    if (cl.has(kList))
        return cl.operands.size() == 1 && !cl.has(kReverse) && !cl.has(kOutput) && !cl.has(kDryRun) &&
               !cl.has(kDirectory);
    if (cl.has(kDirectory))
        return !cl.operands.empty() && !cl.value(kDirectory).empty() && !cl.has(kOutput);
    // One operand alone is a patch dropped on the program.
    if (cl.operands.size() == 1)
        return cl.options.empty();
    return cl.operands.size() >= 2 && (!cl.has(kOutput) || (!cl.value(kOutput).empty() && !cl.has(kDryRun)));
}

}  // namespace

int bndpatch_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{.name = "bndpatch",
                    .usage = msg::kPatchUsage,
                    .about = msg::kPatchAbout,
                    .options = kOptions,
                    .fits = fits,
                    .step = bndpatch_run};
    return run_tool(args, tool, fs);
}
