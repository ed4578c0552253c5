// bndpatch -- apply a patch that bnddiff made, take it back out, or show it
//
//     bndpatch [-R] [-o OUT] BUNDLE PATCH
//     bndpatch -l PATCH
//
// Nothing is written unless the bundle holds, in every piece the patch
// touches, what the patch was made from (with -R, what it makes); a bundle
// that holds the result already ends with status 3.
#include "apply.hpp"
#include "command.hpp"
#include "console.hpp"
#include "describe.hpp"
#include "files.hpp"
#include "messages.hpp"
#include "naming.hpp"
#include "patch_programs.hpp"
#include "text.hpp"

namespace {

enum Opt { kReverse, kOutput, kList };
constexpr Option kOptions[] = {
    {kReverse, 'R', "reverse", nullptr, msg::kPatchReverse},
    {kOutput, 'o', "output", "OUT", msg::kPatchOutput},
    {kList, 'l', "list", nullptr, msg::kPatchList},
};

Outcome say_patched(const Patched& p)
{
    if (p.removed)
        return say(format_text(msg::kRemovingFormat, piece_file_name(p.place.index).c_str()));
    return say(piece_line(msg::kPatchingFormat, p.place));
}

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
    const ApplyOptions options{cl.has(kReverse), cl.has(kOutput) ? cl.value(kOutput) : std::string(), patch_path};
    if (Outcome f = apply_patch(fs, first, patch, options, say_patched))
        return f;
    return say(msg::kCompleted);
}

// fits -- a bundle and a patch, or with -l a patch alone
bool fits(const CommandLine& cl)
{
    if (cl.has(kList))
        return cl.operands.size() == 1 && !cl.has(kReverse) && !cl.has(kOutput);
    return cl.operands.size() == 2 && (!cl.has(kOutput) || !cl.value(kOutput).empty());
}

}  // namespace

int bndpatch_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{"bndpatch", msg::kPatchUsage, msg::kPatchAbout, msg::kOptionsAnywhere, kOptions,
                    OptionPlace::anywhere, Expand::one, fits, Operands::first, -1, bndpatch_run};
    return run_tool(args, tool, fs);
}
