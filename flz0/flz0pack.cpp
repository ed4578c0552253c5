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

namespace {

int flz0pack_one(const std::string& path)
{
    return report(compress_in_place(path));
}

}  // namespace

int main(int argc, char** argv)
{
    start_console("flz0pack");
    const ToolInfo tool{"flz0pack", std::string(msg::kPackUsage), msg::kPackHelp};
    if (std::optional<int> answered = standard_option(argc, argv, tool))
        return *answered;
    if (argc < 2)
        return fail_usage(msg::kPackUsage);
    return finish_output(each_file(argc, argv, flz0pack_one));
}
