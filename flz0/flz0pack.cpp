// flz0pack -- compress files in place into FLZ0 files
//
//     flz0pack FILE...
//
// Each file is replaced by the smallest FLZ0 file that every decoder reads
// right, once it has been decoded again and found the same. No backup is
// kept: compression loses nothing, and varnix undoes it.
#include "command.hpp"
#include "console.hpp"
#include "inplace.hpp"
#include "messages.hpp"
#include "text.hpp"

namespace {

Outcome say_packed(std::size_t original, std::size_t stream)
{
    return say(format_text(msg::kPackedFormat, static_cast<int>(original), static_cast<int>(stream)));
}

Outcome flz0pack_one(const std::string& path)
{
    return compress_in_place(platform::system_files(), path, say_packed);
}

}  // namespace

int tool_main(const Args& args)
{
    return run_files(args, {"flz0pack", std::string(msg::kPackUsage), msg::kPackHelp}, flz0pack_one);
}
