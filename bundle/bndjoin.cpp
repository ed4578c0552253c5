// bndjoin -- build bundles from their piece files
//
//     bndjoin BUNDLE...
//
// Each bundle is built from the directory bndsplit writes its pieces to;
// an old bundle is kept as BUNDLE.BAK.
#include "command.hpp"
#include "console.hpp"
#include "join.hpp"
#include "messages.hpp"
#include "naming.hpp"

namespace {

Outcome say_joining(const Piece& piece)
{
    return say(piece_line(msg::kJoiningFormat, piece));
}

Outcome bndjoin_one(const std::string& bundle)
{
    if (Outcome f = join_bundle(platform::system_files(), bundle, say_joining))
        return f;
    return say(msg::kCompleted);
}

}  // namespace

int tool_main(const Args& args)
{
    return run_files(args, {"bndjoin", std::string(msg::kJoinUsage), msg::kJoinHelp}, bndjoin_one);
}
