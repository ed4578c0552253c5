// bnddiff -- make a patch that turns one bundle into another
//
//     bnddiff [--one-way] OLD NEW PATCH
//     bnddiff [--one-way] -d DIR OLD PATCH
//
// The patch holds, for each piece that differs, how to make it from the
// old one (an FLZ0 piece from its decoded content), and the size and hash
// of everything it changes; with -d, NEW is the bundle a join would build
// from the piece directory DIR over OLD. Made --one-way, it holds no way
// back: what -R needs is the old pieces' own compressed bytes where they
// came from another compressor, which may be most of the patch.
#include <algorithm>

#include "command.hpp"
#include "console.hpp"
#include "describe.hpp"
#include "diff.hpp"
#include "files.hpp"
#include "join.hpp"
#include "messages.hpp"
#include "output.hpp"
#include "patch_programs.hpp"
#include "rebuild.hpp"
#include "text.hpp"

namespace {

// Where bnddiff -d builds the new bundle while it compares it: beside the
// patch, under the temporary name of PATCH.new.
constexpr char kBuiltSuffix[] = ".new";

enum Opt { kDirectory, kOneWay };
constexpr Option kOptions[] = {
    {kDirectory, 'd', "directory", "DIR", msg::kDiffDirectory},
    {kOneWay, '\0', "one-way", nullptr, msg::kDiffOneWay},
};

// old_patch -- what becomes of a file that has the patch's name: a patch
// is replaced; anything else is refused
Outcome old_patch(platform::FileSystem& fs, const std::string& path, OldFile& old)
{
    platform::Result<platform::FileInfo> there = fs.look(path, platform::Links::refuse);
    if (there.error)
        return system_failure(Fault::cannot_open, path, there.error);
    old = OldFile::must_not_exist;
    if (there.value.kind == platform::Kind::none)
        return {};
    ByteString magic(kPatchMagic.size());
    InputFile in(fs, path, platform::Links::refuse);
    platform::Result<std::size_t> r = in.error() ? platform::Result<std::size_t>{0, in.error()}
                                                 : read_full(fs, in.handle(), magic);
    if (r.error || r.value != magic.size() || !std::equal(magic.begin(), magic.end(), kPatchMagic.begin()))
        return tool_failure(Fault::cannot_rename, path, msg::kNotAPatchToReplace);
    old = OldFile::replace;
    return {};
}

// write_patch -- the patch's bytes under its name, durable
Outcome write_patch(platform::FileSystem& fs, const std::string& path, const ByteString& bytes)
{
    OldFile old = OldFile::must_not_exist;
    if (Outcome f = old_patch(fs, path, old))
        return f;
    Output out(fs, path, old, Durability::durable);
    if (Outcome f = out.create())
        return f;
    if (Outcome f = out.write(bytes))
        return f;
    return out.commit();
}

// diff_from_pieces -- the patch from OLD to the bundle a join would build
// from the piece directory over it: built beside the patch under a
// temporary name, read, and removed
Outcome diff_from_pieces(platform::FileSystem& fs, const std::string& old_path, const std::string& dir,
                         const std::string& patch_path, bool one_way, Patch& patch)
{
    std::optional<SplitRecord> record;
    if (Outcome f = load_record(fs, dir, record))
        return f;
    if (!record)
        return tool_failure(Fault::cannot_open, dir, msg::kNoRecordToDiff);
    Output built(fs, patch_path + kBuiltSuffix, OldFile::replace, Durability::cached);
    if (Outcome f = built.create())
        return f;
    JoinOptions options{dir, false, true, 0, false, &built};
    JoinSeen seen;
    if (Outcome f = rebuild_bundle(fs, old_path, options, *record, [](const Piece&) { return Outcome{}; }, seen))
        return f;
    Outcome f = diff_bundles(fs, old_path, built.temp(), patch, one_way);
    if (f && f->fault == Fault::no_change)
        f->detail.file = dir;
    return f;
}

Outcome bnddiff_run(platform::FileSystem& fs, const std::string& old_path, const CommandLine& cl)
{
    const std::string& patch_path = cl.operands.back();
    Patch patch;
    const bool one_way = cl.has(kOneWay);
    if (Outcome f = cl.has(kDirectory) ? diff_from_pieces(fs, old_path, cl.value(kDirectory), patch_path, one_way, patch)
                                       : diff_bundles(fs, old_path, cl.operands[1], patch, one_way))
        return f;
    const ByteString bytes = patch_bytes(patch);
    if (Outcome f = say(describe_patch(patch)))
        return f;
    if (Outcome f = write_patch(fs, patch_path, bytes))
        return f;
    if (Outcome f = say(format_text(msg::kPatchSizeFormat, bytes.size())))
        return f;
    return say(msg::kCompleted);
}

bool fits(const CommandLine& cl)
{
    return cl.operands.size() == (cl.has(kDirectory) ? 2u : 3u);
}

}  // namespace

int bnddiff_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{"bnddiff", msg::kDiffUsage, msg::kDiffAbout, msg::kOptionsAnywhere, kOptions,
                    OptionPlace::anywhere, Expand::one, fits, Operands::first, -1, bnddiff_run};
    return run_tool(args, tool, fs);
}
