// varnix -- decompress FLZ0 files in place
//
//     varnix FILE...
//
// The decoded data takes each file's name; the compressed file is kept as
// FILE.BAK. Nothing is replaced: an existing FILE.BAK stops that file.
#include "command.hpp"
#include "console.hpp"
#include "inplace.hpp"
#include "messages.hpp"
#include "text.hpp"

namespace {

Outcome say_sizes(const Flz0Header& header)
{
    return say(format_text(msg::kSizesFormat, header.compressed_size, header.original_size));
}

Outcome varnix_one(const std::string& path)
{
    return decompress_in_place(platform::system_files(), path, say_sizes);
}

}  // namespace

int tool_main(const Args& args)
{
    return run_files(args, {"varnix", std::string(msg::kVarnixUsage), msg::kVarnixHelp}, varnix_one);
}
