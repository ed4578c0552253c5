// flz0pack -- compress files in place into FLZ0 files
//
//     flz0pack [-c] FILE...
//
// Each file is replaced by the smallest FLZ0 file that every decoder reads
// right, once it has been decoded again and found the same. No backup is
// kept: compression loses nothing, and varnix undoes it. With -c the FLZ0
// file goes to standard output instead, and no file is touched.
#include "command.hpp"
#include "console.hpp"
#include "inplace.hpp"
#include "messages.hpp"
#include "text.hpp"

namespace {

constexpr Option kOptions[] = {{'c', "stdout", false}};

Outcome say_packed(std::size_t original, std::size_t stream)
{
    return say(format_text(msg::kPackedFormat, static_cast<int>(original), static_cast<int>(stream)));
}

Outcome flz0pack_one(const std::string& path, const CommandLine& cl)
{
    if (cl.has("stdout"))
        return pack_file(platform::system_files(), path, say_data);
    return compress_in_place(platform::system_files(), path, say_packed);
}

}  // namespace

int tool_main(const Args& args)
{
    const ToolInfo tool{"flz0pack", std::string(msg::kPackUsage), msg::kPackHelp, kOptions};
    start_console(tool.name);
    CommandLine cl;
    if (std::optional<int> answered = read_command_line(args, tool, cl))
        return *answered;
    if (cl.operands.empty())
        return fail_usage(tool.usage);
    return run_files(cl, flz0pack_one);
}
