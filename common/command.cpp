#include "command.hpp"

#include <algorithm>
#include <new>

#include "console.hpp"
#include "messages.hpp"
#include "platform.hpp"
#include "text.hpp"

#ifndef BNDTOOLS_VERSION
#error "the build defines BNDTOOLS_VERSION"
#endif

namespace {

constexpr char kHelp[] = "help";
constexpr char kVersion[] = "version";
constexpr char kStdout[] = "stdout";

}  // namespace

std::optional<int> read_command_line(const Args& args, const ToolInfo& tool, CommandLine& cl)
{
    std::vector<Option> options(tool.options.begin(), tool.options.end());
    options.push_back({'\0', kHelp, false});
    options.push_back({'\0', kVersion, false});
    WrongOption wrong;
    std::optional<CommandLine> read = read_options(args, options, wrong);
    if (!read) {
        complain(tool.usage);
        complain(format_text(msg::kDetailFormat, tool.name, wrong.option.c_str(), wrong.reason));
        return kExitInput;
    }
    cl = std::move(*read);
    if (platform::kExpandsWildcards)
        cl.operands = expand_wildcards(cl.operands, platform::system_files(), tool.wildcards);
    if (cl.has(kHelp))
        return report(say(tool.usage + std::string(tool.help)));
    if (cl.has(kVersion))
        return report(say(format_text(msg::kVersionFormat, tool.name, BNDTOOLS_VERSION)));
    return std::nullopt;
}

Outcome guarded(const std::string& file, const std::function<Outcome()>& step)
{
    try {
        return step();
    } catch (const std::bad_alloc&) {
        // Whatever the step had made is undone as it unwinds.
        return tool_failure(Fault::no_memory, file, "out of memory");
    }
}

int run_files(const CommandLine& cl, Outcome (*one)(const std::string& path, const CommandLine& cl))
{
    const bool named = cl.operands.size() > 1 && !cl.has(kStdout);
    int status = kExitOk;
    for (std::size_t i = 0; i < cl.operands.size(); ++i) {
        const std::string& file = cl.operands[i];
        Outcome r = guarded(file, [&]() -> Outcome {
            if (named) {
                std::string head = i > 0 ? "\n" : "";  // an empty line before all but the first
                head += format_text(msg::kFileHeadFormat, file.c_str());
                if (Outcome f = say(head))
                    return f;
            }
            return one(file, cl);
        });
        status = std::max(status, report(r));
    }
    return status;
}
