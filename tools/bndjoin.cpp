// bndjoin -- build bundles from their piece files
//
//     bndjoin [-n] [-d DIR] [--as-is] [--align N] BUNDLE...
//
// Each bundle is built from the directory bndsplit writes its pieces to,
// or from DIR, in the old bundle's layout where it can be kept; a piece
// beside an FLZ0 NNN.BAK is stored compressed again unless --as-is. An
// old bundle is kept as BUNDLE.BAK. Where the directory holds the split
// record, a join that changes anything says on each changed piece's line
// what it makes of it; -n says so of every piece and writes nothing.
#include "bndtools.hpp"
#include "command.hpp"
#include "console.hpp"
#include "numbers.hpp"
#include "programs.hpp"
#include "render.hpp"
#include "text.hpp"

namespace {

enum Opt { kDirectory, kAsIs, kAlign, kDryRun };
constexpr Option kOptions[] = {
    {kDryRun, 'n', "dry-run", nullptr, msg::kJoinDryRun},
    {kDirectory, 'd', "directory", "DIR", msg::kJoinDirectory},
    {kAsIs, '\0', "as-is", nullptr, msg::kJoinAsIs},
    {kAlign, '\0', "align", "N", msg::kJoinAlign},
};

// align_of -- the grid --align gives (a power of two up to kMaxGrid, in
// decimal), 0 where none is given, none where it is no such number
std::optional<std::uint32_t> align_of(const CommandLine& cl)
{
    if (!cl.has(kAlign))
        return 0;
    const std::optional<std::uint64_t> n = parse_number(cl.value(kAlign));
    if (!n || *n == 0 || *n > kMaxGrid || (*n & (*n - 1)) != 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(*n);
}

// as_was -- whether a join leaves a piece as it was, where it was
bool as_was(const PieceFate& f)
{
    return f.change == PieceChange::unchanged && f.moves == 0;
}

// joining -- a piece's line; with its fate's words where every piece's
// are told, or else where this piece is not as it was
Outcome joining(const Event& e, const JoinPlan& join, bool all)
{
    const std::size_t k = static_cast<std::size_t>(e.piece);
    if (k < join.fates.size() && (all || !as_was(join.fates[k])))
        return say(with_words(event_line(e), fate_words(join.fates[k])));
    return say(event_line(e));
}

Outcome bndjoin_one(platform::FileSystem& fs, const std::string& bundle, const CommandLine& cl)
{
    const JoinRequest request{.bundle = bundle,
                              .dir = cl.has(kDirectory) ? cl.value(kDirectory) : piece_dir_name(bundle),
                              .dir_given = cl.has(kDirectory),
                              .as_is = cl.has(kAsIs),
                              .align = *align_of(cl)};
    JoinPlan join;
    if (Outcome f = plan_join(fs, request, join))
        return f;
    const bool dry = cl.has(kDryRun);
    const auto told = [&](const Event& e) { return joining(e, join, dry); };
    if (dry) {
        if (Outcome f = show(join.plan, told))
            return f;
        if (Outcome f = say(msg::kDryRunDone))
            return f;
        return join.plan.blocked;  // what a join would stop at
    }
    if (Outcome f = commit(fs, join.plan, told))
        return f;
    if (Outcome f = say(msg::kCompleted))
        return f;
    if (join.replaced && join.layout.lost != LayoutLost::none)
        note_text(bundle, format_text(msg::kLayoutNotKeptFormat, why_not_kept(join.layout).c_str()));
    return {};
}

// fits -- one directory holds the pieces of one bundle
bool fits(const CommandLine& cl)
{
    return !cl.operands.empty() && (!cl.has(kDirectory) || cl.operands.size() == 1) && align_of(cl);
}

}  // namespace

int bndjoin_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{.name = "bndjoin",
                    .usage = msg::kJoinUsage,
                    .about = msg::kJoinAbout,
                    .options = kOptions,
                    .fits = fits,
                    .run_on = Operands::each,
                    .step = bndjoin_one};
    return run_tool(args, tool, fs);
}
