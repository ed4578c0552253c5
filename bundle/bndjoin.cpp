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

namespace {

int bndjoin_one(const std::string& bundle)
{
    JoinResult r = join_bundle(bundle);
    switch (r.status) {
    case JoinStatus::completed:
        break;
    case JoinStatus::cannot_open:
        return fail(msg::kCannotOpen, kExitInput, r.detail);
    case JoinStatus::bad_piece:
        return fail(msg::kBadPiece, kExitInput, r.detail);
    case JoinStatus::read_failed:
        return fail(msg::kReadFailed, kExitInput, r.detail);
    case JoinStatus::write_failed:
        return fail(msg::kWriteFailed, kExitOutput, r.detail);
    case JoinStatus::rename_failed:
        return fail(msg::kCannotRename, kExitOutput, r.detail);
    }
    say(msg::kCompleted);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv)
{
    return run_files(argc, argv, {"bndjoin", std::string(msg::kJoinUsage), msg::kJoinHelp}, bndjoin_one);
}
