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
    return run_files(argc, argv, {"flz0pack", std::string(msg::kPackUsage), msg::kPackHelp}, flz0pack_one);
}
