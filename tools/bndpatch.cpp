// bndpatch -- apply a patch that bnddiff made, take it back out, or show it
//
//     bndpatch [-R] [-n | -o OUT] BUNDLE PATCH...
//     bndpatch [-R] [-n] -d DIR PATCH...
//     bndpatch -l PATCH
//
// Nothing is written unless the bundle holds, in every piece the patch
// touches, what the patch was made from (with -R, what it makes); a bundle
// that holds the result already ends with status 3. With -n nothing is
// written at all: it says whether the patch applies, naming each piece
// that differs, also those the patch does not touch. With -d the patches
// go into the piece files of DIR, merged with the edits made there, and
// the bundle is left alone.
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

Outcome bndpatch_run(platform::FileSystem& fs, const std::string& first, const CommandLine& cl)
{
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
    if (cl.has(kList))
        return say(describe_patch(patches.front().patch));
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
