// bndsplit -- cut a bundle into numbered piece files
//
//     bndsplit [-l] [-x] [-d DIR] bundle [maxfiles]
//
// The pieces go into a directory named after the bundle, or into DIR;
// with -x each FLZ0 piece is written decoded, as varnix would leave it.
// maxfiles is read only when it is the sole extra argument; with a third
// argument both are ignored and the limit stays 127.
#include <algorithm>

#include "command.hpp"
#include "console.hpp"
#include "messages.hpp"
#include "bundle_programs.hpp"
#include "count.hpp"
#include "naming.hpp"
#include "split.hpp"
#include "text.hpp"

namespace {

enum Opt { kList, kDecode, kDirectory, kForce };
constexpr Option kOptions[] = {
    {kList, 'l', "list", nullptr, msg::kSplitList},
    {kDecode, 'x', "decode", nullptr, msg::kSplitDecode},
    {kDirectory, 'd', "directory", "DIR", msg::kSplitDirectory},
    {kForce, 'f', "force", nullptr, msg::kSplitForce},
};

Outcome say_cutting(const Piece& piece)
{
    return say(piece_line(msg::kCuttingFormat, piece));
}

Outcome say_sizes(const Flz0Header& header)
{
    return say(format_text(msg::kSizesFormat, header.compressed_size, header.original_size));
}

Outcome say_removing(const std::string& name)
{
    return say(format_text(msg::kRemovingFormat, name.c_str()));
}

// why_it_ended -- why a bundle's list of pieces ended, in words
std::string why_it_ended(const PieceList& list)
{
    switch (list.end) {
    case ListEnd::limit:
        return format_text(msg::kEndsAtLimitFormat, list.limit);
    case ListEnd::capacity:
        return format_text(msg::kEndsAtCapacityFormat, kMaxPieces);
    case ListEnd::end_zero:
        return format_text(msg::kEndIsZeroFormat, list.entry);
    case ListEnd::size_zero:
        return format_text(msg::kSizeIsZeroFormat, list.entry);
    case ListEnd::end_below_start:
        return format_text(msg::kEndBelowStartFormat, list.entry, list.stop, list.start);
    case ListEnd::too_large:
        break;
    }
    return format_text(msg::kTooLargeFormat, list.entry, list.stop - list.start, kMaxPieceSize);
}

// list -- each piece's line, why the list ends with the bytes in no
// piece, and each piece that runs past the end of the bundle
Outcome list(platform::FileSystem& fs, const std::string& bundle, std::int32_t maxfiles)
{
    BundleSeen seen;
    if (Outcome f = look_at_bundle(fs, bundle, maxfiles, seen))
        return f;
    std::vector<std::string> kinds;
    if (Outcome f = describe_pieces(fs, bundle, seen, kinds))
        return f;
    for (std::size_t k = 0; k < seen.list.pieces.size(); ++k) {
        std::string line = piece_line(msg::kCuttingFormat, seen.list.pieces[k]);
        if (!kinds[k].empty())
            line.insert(line.size() - 1, " " + kinds[k]);
        if (Outcome f = say(line))
            return f;
    }
    const Uncovered left = uncovered(seen.list.pieces, seen.size);
    if (Outcome f = say(format_text(msg::kListEndFormat, why_it_ended(seen.list).c_str(),
                                    static_cast<unsigned long long>(left.count))))
        return f;
    for (const Piece& piece : seen.list.pieces)
        if (piece.end > seen.size)
            if (Outcome f = say(format_text(msg::kPastTheEndFormat, piece.index, piece.end,
                                            static_cast<unsigned long long>(seen.size)) + "\n"))
                return f;
    return {};
}

// note_left_out -- after a split, the bytes of the bundle in no piece
// written, if any, as a detail line
void note_left_out(const std::string& bundle, const BundleSeen& seen)
{
    const Uncovered left = uncovered(seen.list.pieces, seen.size);
    if (left.count == 0)
        return;
    const std::string why = why_it_ended(seen.list);
    const auto count = static_cast<unsigned long long>(left.count);
    const std::string where = left.all_after
                                  ? format_text(msg::kLeftAfterFormat, count, static_cast<unsigned long long>(left.after), why.c_str())
                                  : format_text(msg::kLeftFromFormat, count, static_cast<unsigned long long>(left.first), why.c_str());
    note({bundle, {}, where});
}

// fits -- a bundle, and at most two more operands: a sole second one is
// the limit, a third makes both be ignored
bool fits(const CommandLine& cl)
{
    return !cl.operands.empty() && cl.operands.size() <= 3;
}

// limit_of -- the piece limit; one that names a file was likely meant as
// a second bundle, so how it was read is noted
std::int32_t limit_of(platform::FileSystem& fs, const CommandLine& cl)
{
    if (cl.operands.size() != 2)
        return kDefaultMaxFiles;
    const std::string& count = cl.operands[1];
    const std::int32_t limit = parse_count(count);
    platform::Result<platform::FileInfo> there = fs.look(count, platform::Links::follow);
    if (!there.error && there.value.kind != platform::Kind::none)
        note({count, {}, format_text(msg::kReadAsLimitFormat, limit)});
    return limit;
}

Outcome bndsplit_one(platform::FileSystem& fs, const std::string& bundle, const CommandLine& cl)
{
    const std::int32_t maxfiles = limit_of(fs, cl);
    if (cl.has(kList))
        return list(fs, bundle, maxfiles);
    const SplitOptions options{cl.has(kDirectory) ? cl.value(kDirectory) : piece_dir_name(bundle), maxfiles,
                               cl.has(kDecode), cl.has(kForce)};
    // A piece that cannot be decoded is reported, and the run goes on.
    const SplitEvents events{say_cutting, say_sizes, [](const Failure& f) { report(f); }, say_removing};
    BundleSeen seen;
    if (Outcome f = split_bundle(fs, bundle, options, events, seen))
        return f;
    if (Outcome f = say(msg::kCompleted))
        return f;
    note_left_out(bundle, seen);
    return {};
}

}  // namespace

int bndsplit_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{"bndsplit", msg::kSplitUsageFormat, msg::kSplitAbout, msg::kOptionsFirst, kOptions,
                    OptionPlace::first, Expand::one, fits, Operands::first, -1, bndsplit_one};
    return run_tool(args, tool, fs);
}
