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
#include "naming.hpp"
#include "split.hpp"
#include "text.hpp"

namespace {

constexpr Option kOptions[] = {{'l', "list", false}, {'x', "decode", false}, {'d', "directory", true}};

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
Outcome list(const std::string& bundle, std::int32_t maxfiles)
{
    BundleSeen seen;
    if (Outcome f = look_at_bundle(platform::system_files(), bundle, maxfiles, seen))
        return f;
    for (const Piece& piece : seen.list.pieces)
        if (Outcome f = say_cutting(piece))
            return f;
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
    complain(format_text(msg::kDetailFormat, "bndsplit", bundle.c_str(), where.c_str()));
}

}  // namespace

int tool_main(const Args& args)
{
    start_console("bndsplit");
    const ToolInfo tool{"bndsplit", format_text(msg::kSplitUsageFormat, args.empty() ? "bndsplit" : args[0].c_str()),
                        msg::kSplitHelp, kOptions, Expand::one};
    CommandLine cl;
    if (std::optional<int> answered = read_command_line(args, tool, cl))
        return *answered;
    if (cl.operands.empty() || cl.operands.size() > 3)
        return fail_usage(tool.usage);
    const std::string& bundle = cl.operands[0];
    const std::int32_t maxfiles = cl.operands.size() == 2 ? parse_count(cl.operands[1]) : kDefaultMaxFiles;
    if (cl.has("list"))
        return report(guarded(bundle, [&] { return list(bundle, maxfiles); }));

    const SplitOptions options{cl.has("directory") ? cl.value("directory") : piece_dir_name(bundle), maxfiles,
                               cl.has("decode")};
    // A piece that cannot be decoded is reported, and the run goes on.
    int status = kExitOk;
    const SplitEvents events{say_cutting, say_sizes, [&](const Failure& f) { status = std::max(status, report(f)); },
                             say_removing};
    BundleSeen seen;
    Outcome r = guarded(bundle, [&] { return split_bundle(platform::system_files(), bundle, options, events, seen); });
    if (!r)
        r = say(msg::kCompleted);
    if (!r)
        note_left_out(bundle, seen);
    return std::max(status, report(r));
}
