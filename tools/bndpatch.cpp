// bndpatch -- apply a patch that bnddiff made, take it back out, or show it
//
//     bndpatch [-R] [-n | -o OUT] BUNDLE PATCH
//     bndpatch -l PATCH
//
// Nothing is written unless the bundle holds, in every piece the patch
// touches, what the patch was made from (with -R, what it makes); a bundle
// that holds the result already ends with status 3. With -n nothing is
// written at all: it says whether the patch applies, naming each piece
// that differs, also those the patch does not touch.
#include "bndtools.hpp"
#include "command.hpp"
#include "console.hpp"
#include "programs.hpp"
#include "render.hpp"

namespace {

enum Opt { kReverse, kOutput, kList, kDryRun };
constexpr Option kOptions[] = {
    {kReverse, 'R', "reverse", nullptr, msg::kPatchReverse},
    {kDryRun, 'n', "dry-run", nullptr, msg::kPatchDryRun},
    {kOutput, 'o', "output", "OUT", msg::kPatchOutput},
    {kList, 'l', "list", nullptr, msg::kPatchList},
};


Outcome bndpatch_run(platform::FileSystem& fs, const std::string& first, const CommandLine& cl)
{
    const std::string& patch_path = cl.operands.back();
    if (!cl.has(kList)) {  // the operands in the order given: the bundle first
        InputFile bundle(fs, first, platform::Links::refuse);
        if (bundle.error())
            return system_failure(Fault::cannot_open, first, bundle.error());
    }
    Patch patch;
    if (Outcome f = load_patch(fs, patch_path, patch))
        return f;
    if (cl.has(kList))
        return say(describe_patch(patch));
    const ApplyRequest request{.bundle = first,
                               .patch = patch_path,
                               .reverse = cl.has(kReverse),
                               .out = cl.has(kOutput) ? cl.value(kOutput) : std::string()};
    if (cl.has(kDryRun)) {
        Verdict verdict;
        if (Outcome f = check_apply(fs, request, patch, verdict))
            return f;
        if (Outcome f = say(describe_verdict(first, verdict, request.reverse)))
            return f;
        return verdict.outcome;
    }
    Plan plan;
    if (Outcome f = plan_apply(fs, request, patch, plan))
        return f;
    if (Outcome f = commit(fs, plan, tell))
        return f;
    return say(msg::kCompleted);
}

// fits -- a bundle and a patch, or with -l a patch alone
bool fits(const CommandLine& cl)
{
    if (cl.has(kList))
        return cl.operands.size() == 1 && !cl.has(kReverse) && !cl.has(kOutput) && !cl.has(kDryRun);
    return cl.operands.size() == 2 && (!cl.has(kOutput) || (!cl.value(kOutput).empty() && !cl.has(kDryRun)));
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
