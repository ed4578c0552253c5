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
    return report(decompress_in_place(path));
}

}  // namespace

int main(int argc, char** argv)
{
    return run_files(argc, argv, {"varnix", std::string(msg::kVarnixUsage), msg::kVarnixHelp}, varnix_one);
}
