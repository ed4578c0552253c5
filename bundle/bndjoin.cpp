// bndjoin -- build bundles from their piece files
//
//     bndjoin [-d DIR] BUNDLE...
//
// Each bundle is built from the directory bndsplit writes its pieces to,
// or from DIR; an old bundle is kept as BUNDLE.BAK.
#include "command.hpp"
#include "console.hpp"
#include "join.hpp"
#include "messages.hpp"
#include "naming.hpp"

namespace {

constexpr Option kOptions[] = {{'d', "directory", true}};

Outcome say_joining(const Piece& piece)
{
    return say(piece_line(msg::kJoiningFormat, piece));
}

Outcome bndjoin_one(const std::string& bundle, const CommandLine& cl)
{
    const std::string dir = cl.has("directory") ? cl.value("directory") : piece_dir_name(bundle);
    if (Outcome f = join_bundle(platform::system_files(), bundle, dir, say_joining))
        return f;
    return say(msg::kCompleted);
}

}  // namespace

int tool_main(const Args& args)
{
    const ToolInfo tool{"bndjoin", std::string(msg::kJoinUsage), msg::kJoinHelp, kOptions};
    start_console(tool.name);
    CommandLine cl;
    if (std::optional<int> answered = read_command_line(args, tool, cl))
        return *answered;
    // One directory holds the pieces of one bundle.
    if (cl.operands.empty() || (cl.has("directory") && cl.operands.size() != 1))
        return fail_usage(tool.usage);
    return run_files(cl, bndjoin_one);
}
