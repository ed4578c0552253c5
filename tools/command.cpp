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

// The options every program takes, with ids no tool's enumerators reach.
enum StandardOption { kHelp = -1, kVersion = -2 };
constexpr Option kStandardOptions[] = {
    {kHelp, '\0', "help", nullptr, msg::kHelpHelp},
    {kVersion, '\0', "version", nullptr, msg::kVersionHelp},
};

// help -- what --help prints: usage, what the program does, its options
std::string help(const Tool& tool, const std::string& usage)
{
    std::vector<Option> options(tool.options.begin(), tool.options.end());
    options.insert(options.end(), std::begin(kStandardOptions), std::end(kStandardOptions));
    return usage + std::string(tool.about) + "\n" + std::string(tool.place == OptionPlace::first ? msg::kOptionsFirst : msg::kOptionsAnywhere) + option_help(options);
}

// run_operands -- the step on each operand it runs on, in order, whatever
// the earlier ones gave; with more than one, each one's lines follow a
// line naming it, unless the data goes to standard output
void run_operands(const Tool& tool, const CommandLine& cl, platform::FileSystem& fs)
{
    const std::size_t count = tool.run_on == Operands::first ? 1 : cl.operands.size();
    const bool named = count > 1 && !cl.has(tool.data_option);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& operand = cl.operands[i];
        report(guarded(operand, [&]() -> Outcome {
            // A pattern the expansion left as it was names no file to work
            // on: it fails as a name that is plainly missing.
            if (platform::kExpandsWildcards && has_wildcards(operand))
                return system_failure(Fault::cannot_open, operand, platform::nothing_there());
            if (named) {
                std::string head = i > 0 ? "\n" : "";  // an empty line before all but the first
                head += format_text(msg::kFileHeadFormat, operand.c_str());
                if (Outcome f = say(head))
                    return f;
            }
            return tool.step(fs, operand, cl);
        }));
    }
}

}  // namespace

int run_tool(const Args& args, const Tool& tool, platform::FileSystem& fs)
{
    start_console(tool.name);
    const std::string usage = format_text(tool.usage, args.empty() ? tool.name : args[0].c_str());
    std::vector<Option> options(tool.options.begin(), tool.options.end());
    options.insert(options.end(), std::begin(kStandardOptions), std::end(kStandardOptions));
    WrongOption wrong;
    std::optional<CommandLine> read = read_options(args, options, tool.place, wrong);
    if (!read)
        return fail_usage(usage, std::pair<std::string, std::string>(wrong.option, wrong.reason));
    CommandLine& cl = *read;
    if (platform::kExpandsWildcards)
        cl.operands = expand_wildcards(cl.operands, fs, tool.run_on == Operands::each ? Expand::each : Expand::one);
    if (cl.has(kHelp))
        return report(say(help(tool, usage)));
    if (cl.has(kVersion))
        return report(say(format_text(msg::kVersionFormat, tool.name, BNDTOOLS_VERSION)));
    if (!tool.fits(cl))
        return fail_usage(usage);
    run_operands(tool, cl, fs);
    return worst_reported();
}

bool some_operands(const CommandLine& cl)
{
    return !cl.operands.empty();
}

Outcome guarded(const std::string& file, const std::function<Outcome()>& step)
{
    try {
        return step();
    } catch (const std::bad_alloc&) {
        // Whatever the step had made is undone as it unwinds.
        return tool_failure(Fault::no_memory, file, Why::out_of_memory);
    }
}
