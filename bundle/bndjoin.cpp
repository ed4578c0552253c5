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
#include <algorithm>

#include "command.hpp"
#include "console.hpp"
#include "join.hpp"
#include "messages.hpp"
#include "bundle_programs.hpp"
#include "naming.hpp"
#include "rebuild.hpp"
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
    const std::string& text = cl.value(kAlign);
    std::uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || n > kMaxGrid)
            return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (text.empty() || n == 0 || n > kMaxGrid || (n & (n - 1)) != 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(n);
}

// fate_words -- what a join makes of a piece, in words
std::string fate_words(const PieceFate& fate)
{
    std::string words = std::string(msg::kPieceChangeWords[static_cast<int>(fate.change)]) + ", " +
                        msg::kPieceStoreWords[static_cast<int>(fate.store)];
    if (fate.moves != 0)
        words += format_text(msg::kMovesFormat, static_cast<long long>(fate.moves));
    return words;
}

// say_joining -- a piece's line; with its fate's words where every
// piece's are told, or where anything changes and this piece is not as it was
Outcome say_joining(const Piece& piece, const JoinSeen& seen, bool all)
{
    std::string line = piece_line(msg::kJoiningFormat, piece);
    const std::size_t k = static_cast<std::size_t>(piece.index);
    const auto as_was = [](const PieceFate& f) { return f.change == PieceChange::unchanged && f.moves == 0; };
    const bool changes = !std::all_of(seen.fates.begin(), seen.fates.end(), as_was);
    if (k < seen.fates.size() && (all || (changes && !as_was(seen.fates[k])))) {
        line.pop_back();  // the words go before the line's end
        line.append(1, ' ').append(fate_words(seen.fates[k])).append(1, '\n');
    }
    return say(line);
}

// why_not_kept -- why an old bundle's layout was not kept, in words
std::string why_not_kept(const Layout& layout)
{
    switch (layout.lost) {
    case LayoutLost::other_count:
        return format_text(msg::kOtherCountFormat, layout.old_count, layout.pieces.size());
    case LayoutLost::in_the_table:
        return msg::kInTheTable;
    case LayoutLost::past_the_end:
        return msg::kPastItsEnd;
    case LayoutLost::too_far:
    case LayoutLost::none:
        break;
    }
    return msg::kTooFar;
}

Outcome bndjoin_one(platform::FileSystem& fs, const std::string& bundle, const CommandLine& cl)
{
    const JoinOptions options{cl.has(kDirectory) ? cl.value(kDirectory) : piece_dir_name(bundle), cl.has(kAsIs),
                              cl.has(kDirectory), *align_of(cl), cl.has(kDryRun)};
    JoinSeen seen;
    const auto started = [&](const Piece& piece) { return say_joining(piece, seen, options.dry_run); };
    if (Outcome f = join_bundle(fs, bundle, options, started, seen))
        return f;
    if (Outcome f = say(options.dry_run ? msg::kDryRunDone : msg::kCompleted))
        return f;
    if (seen.replaced && seen.layout.lost != LayoutLost::none) {
        const std::string why = format_text(msg::kLayoutNotKeptFormat, why_not_kept(seen.layout).c_str());
        note({bundle, {}, why});
    }
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
    const Tool tool{"bndjoin", msg::kJoinUsage, msg::kJoinAbout, msg::kOptionsAnywhere, kOptions,
                    OptionPlace::anywhere, Expand::each, fits, Operands::each, -1, bndjoin_one};
    return run_tool(args, tool, fs);
}
