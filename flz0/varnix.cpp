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

namespace {

int varnix_one(const std::string& path)
{
    InPlaceResult r = decompress_in_place(path);
    switch (r.status) {
    case InPlaceStatus::done:
        return kExitOk;
    case InPlaceStatus::no_memory:
        return fail(msg::kNoMemory, kExitInput, r.detail);
    case InPlaceStatus::cannot_open:
        return fail(msg::kCannotOpen, kExitInput, r.detail);
    case InPlaceStatus::not_flz0:
        return fail(msg::kNotFlz0, kExitInput, r.detail);
    case InPlaceStatus::corrupt:
        return fail(msg::kCorrupt, kExitInput, r.detail);
    case InPlaceStatus::write_failed:
        return fail(msg::kWriteFailed, kExitOutput, r.detail);
    case InPlaceStatus::rename_failed:
        return fail(msg::kCannotRename, kExitOutput, r.detail);
    }
    return kExitOutput;
}

}  // namespace

int main(int argc, char** argv)
{
    start_console("varnix");
    const ToolInfo tool{"varnix", std::string(msg::kVarnixUsage), msg::kVarnixHelp};
    if (std::optional<int> answered = standard_option(argc, argv, tool))
        return *answered;
    if (argc < 2)
        return fail_usage(msg::kVarnixUsage);
    return finish_output(each_file(argc, argv, varnix_one));
}
