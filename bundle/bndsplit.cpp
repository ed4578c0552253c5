// bndsplit -- cut a bundle into numbered piece files
//
//     bndsplit bundle [maxfiles]
//
// The pieces go into a directory named after the bundle. maxfiles is read
// only when it is the sole extra argument; with a third argument both are
// ignored and the limit stays 127.
#include <cstdio>

#include "bundle.hpp"
#include "console.hpp"
#include "messages.hpp"
#include "split.hpp"

namespace {

int usage(const char* invoked)
{
    return fail(format_text(msg::kSplitUsageFormat, invoked ? invoked : "bndsplit"), kExitInput);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4)
        return usage(argc > 0 ? argv[0] : nullptr);
    std::int32_t maxfiles = argc == 3 ? parse_count(argv[2]) : kDefaultMaxFiles;

    switch (split_bundle(argv[1], maxfiles)) {
    case SplitStatus::cannot_open:
        return fail(msg::kCannotOpen, kExitInput);
    case SplitStatus::read_failed:
        return fail(msg::kReadFailed, kExitInput);
    case SplitStatus::write_failed:
        return fail(msg::kWriteFailed, kExitOutput);
    case SplitStatus::completed:
        break;
    }
    say(msg::kCompleted);
    return finish_stdout() ? kExitOk : fail(msg::kWriteFailed, kExitOutput);
}
