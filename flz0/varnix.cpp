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
#include "unpack_file.hpp"
#include "messages.hpp"
#include "flz0_programs.hpp"
#include "text.hpp"

namespace {

enum Opt { kStdout, kTest };
constexpr Option kOptions[] = {
    {kStdout, 'c', "stdout", nullptr, msg::kVarnixStdout},
    {kTest, 't', "test", nullptr, msg::kVarnixTest},
};

Outcome say_sizes(const Flz0Header& header)
{
    return say(format_text(msg::kSizesFormat, header.compressed_size, header.original_size));
}

Outcome varnix_one(platform::FileSystem& fs, const std::string& path, const CommandLine& cl)
{
    if (cl.has(kStdout))
        return decode_file(fs, path, [](const Flz0Header&) { return Outcome{}; }, say_data);
    if (cl.has(kTest))
        return decode_file(fs, path, say_sizes, [](std::span<const std::uint8_t>) { return Outcome{}; });
    return decompress_in_place(fs, path, say_sizes);
}

bool fits(const CommandLine& cl)
{
    return !cl.operands.empty();
}

}  // namespace

int varnix_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{"varnix", msg::kVarnixUsage, msg::kVarnixAbout, msg::kOptionsAnywhere, kOptions,
                    OptionPlace::anywhere, Expand::each, fits, Operands::each, kStdout, varnix_one};
    return run_tool(args, tool, fs);
}
