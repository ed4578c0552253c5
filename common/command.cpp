#include "command.hpp"

#include <algorithm>

#include "console.hpp"
#include "messages.hpp"

#ifndef BNDTOOLS_VERSION
#error "the build defines BNDTOOLS_VERSION"
#endif

std::optional<int> standard_option(int argc, char** argv, const ToolInfo& tool)
{
    if (argc != 2)
        return std::nullopt;
    const std::string_view arg = argv[1];
    if (arg == "--help")
        say(tool.usage + std::string(tool.help));
    else if (arg == "--version")
        say(format_text(msg::kVersionFormat, tool.name, BNDTOOLS_VERSION));
    else
        return std::nullopt;
    return finish_output(kExitOk);
}

int run_files(int argc, char** argv, const ToolInfo& tool, int (*one)(const std::string& path))
{
    start_console(tool.name);
    if (std::optional<int> answered = standard_option(argc, argv, tool))
        return *answered;
    if (argc < 2)
        return fail_usage(tool.usage);
    int status = kExitOk;
    for (int i = 1; i < argc; ++i)
        status = std::max(status, one(argv[i]));
    return finish_output(status);
}
