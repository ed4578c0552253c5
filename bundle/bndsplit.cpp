// bndsplit -- cut a bundle into numbered piece files
//
//     bndsplit bundle [maxfiles]
//
// The pieces go into a directory named after the bundle. maxfiles is read
// only when it is the sole extra argument; with a third argument both are
// ignored and the limit stays 127.
#include "command.hpp"
#include "console.hpp"
#include "messages.hpp"
#include "naming.hpp"
#include "split.hpp"
#include "text.hpp"

namespace {

Outcome say_cutting(const Piece& piece)
{
    return say(piece_line(msg::kCuttingFormat, piece));
}

}  // namespace

int tool_main(const Args& args)
{
    start_console("bndsplit");
    const ToolInfo tool{"bndsplit", format_text(msg::kSplitUsageFormat, args.empty() ? "bndsplit" : args[0].c_str()),
                        msg::kSplitHelp};
    if (std::optional<int> answered = standard_option(args, tool))
        return *answered;
    if (args.size() < 2 || args.size() > 4)
        return fail_usage(tool.usage);
    const std::int32_t maxfiles = args.size() == 3 ? parse_count(args[2]) : kDefaultMaxFiles;

    const std::string& bundle = args[1];
    Outcome r = guarded(bundle, [&] { return split_bundle(platform::system_files(), bundle, maxfiles, say_cutting); });
    if (!r)
        r = say(msg::kCompleted);
    return report(r);
}
