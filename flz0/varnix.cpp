// varnix -- decompress FLZ0 files in place
//
//     varnix [-c | -t] FILE...
//
// The decoded data takes each file's name; the compressed file is kept as
// FILE.BAK. Nothing is replaced: an existing FILE.BAK stops that file.
// With -c the decoded data goes to standard output instead, and with -t
// nowhere: no file is touched.
#include "command.hpp"
#include "console.hpp"
#include "inplace.hpp"
#include "messages.hpp"
#include "text.hpp"

namespace {

constexpr Option kOptions[] = {{'c', "stdout", false}, {'t', "test", false}};

Outcome say_sizes(const Flz0Header& header)
{
    return say(format_text(msg::kSizesFormat, header.compressed_size, header.original_size));
}

Outcome varnix_one(const std::string& path, const CommandLine& cl)
{
    platform::FileSystem& fs = platform::system_files();
    if (cl.has("stdout"))
        return decode_file(fs, path, [](const Flz0Header&) { return Outcome{}; }, say_data);
    if (cl.has("test"))
        return decode_file(fs, path, say_sizes, [](std::span<const std::uint8_t>) { return Outcome{}; });
    return decompress_in_place(fs, path, say_sizes);
}

}  // namespace

int tool_main(const Args& args)
{
    const ToolInfo tool{"varnix", std::string(msg::kVarnixUsage), msg::kVarnixHelp, kOptions};
    start_console(tool.name);
    CommandLine cl;
    if (std::optional<int> answered = read_command_line(args, tool, cl))
        return *answered;
    if (cl.operands.empty())
        return fail_usage(tool.usage);
    return run_files(cl, varnix_one);
}
