// bndsplit -- cut a bundle into numbered piece files
//
//     bndsplit bundle [maxfiles]
//
// The pieces go into a directory named after the bundle. maxfiles is read
// only when it is the sole extra argument; with a third argument both are
// ignored and the limit stays 127.
#include "bundle.hpp"
#include "command.hpp"
#include "console.hpp"
#include "messages.hpp"
#include "split.hpp"

int main(int argc, char** argv)
{
    start_console("bndsplit");
    const ToolInfo tool{"bndsplit", format_text(msg::kSplitUsageFormat, argc > 0 ? argv[0] : "bndsplit"),
                        msg::kSplitHelp};
    if (std::optional<int> answered = standard_option(argc, argv, tool))
        return *answered;
    if (argc < 2 || argc > 4)
        return fail_usage(tool.usage);
    std::int32_t maxfiles = argc == 3 ? parse_count(argv[2]) : kDefaultMaxFiles;

    SplitResult r = split_bundle(argv[1], maxfiles);
    switch (r.status) {
    case SplitStatus::cannot_open:
        return fail(msg::kCannotOpen, kExitInput, r.detail);
    case SplitStatus::read_failed:
        return fail(msg::kReadFailed, kExitInput, r.detail);
    case SplitStatus::write_failed:
        return fail(msg::kWriteFailed, kExitOutput, r.detail);
    case SplitStatus::completed:
        break;
    }
    say(msg::kCompleted);
    return finish_output(kExitOk);
}
