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
#include "pack_file.hpp"
#include "messages.hpp"
#include "flz0_programs.hpp"
#include "text.hpp"

namespace {

enum Opt { kStdout };
constexpr Option kOptions[] = {{kStdout, 'c', "stdout", nullptr, msg::kPackStdout}};

Outcome say_packed(std::size_t original, std::size_t stream)
{
    return say(format_text(msg::kPackedFormat, static_cast<int>(original), static_cast<int>(stream)));
}

Outcome flz0pack_one(platform::FileSystem& fs, const std::string& path, const CommandLine& cl)
{
    if (cl.has(kStdout))
        return pack_file(fs, path, say_data);
    return compress_in_place(fs, path, say_packed);
}

bool fits(const CommandLine& cl)
{
    return !cl.operands.empty();
}

}  // namespace

int flz0pack_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{"flz0pack", msg::kPackUsage, msg::kPackAbout, msg::kOptionsAnywhere, kOptions,
                    OptionPlace::anywhere, Expand::each, fits, Operands::each, kStdout, flz0pack_one};
    return run_tool(args, tool, fs);
}
