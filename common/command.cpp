#include "command.hpp"

#include <algorithm>
#include <new>

#include "console.hpp"
#include "messages.hpp"
#include "text.hpp"

#ifndef BNDTOOLS_VERSION
#error "the build defines BNDTOOLS_VERSION"
#endif

std::optional<int> standard_option(const Args& args, const ToolInfo& tool)
{
    if (args.size() != 2)
        return std::nullopt;
    Outcome said;
    if (args[1] == "--help")
        said = say(tool.usage + std::string(tool.help));
    else if (args[1] == "--version")
        said = say(format_text(msg::kVersionFormat, tool.name, BNDTOOLS_VERSION));
    else
        return std::nullopt;
    return report(said);
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

int run_files(const Args& args, const ToolInfo& tool, Outcome (*one)(const std::string& path))
{
    start_console(tool.name);
    if (std::optional<int> answered = standard_option(args, tool))
        return *answered;
    if (args.size() < 2)
        return fail_usage(tool.usage);
    int status = kExitOk;
    for (std::size_t i = 1; i < args.size(); ++i)
        status = std::max(status, report(guarded(args[i], [&] { return one(args[i]); })));
    return status;
}
