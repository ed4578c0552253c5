// flz0pack -- compress files in place into FLZ0 files
//
//     flz0pack [-c] FILE...
//
// Each file is replaced by the smallest FLZ0 file that every decoder reads
// right, once it has been decoded again and found the same. No backup is
// kept: compression loses nothing, and varnix undoes it. With -c the FLZ0
// file goes to standard output instead, and no file is touched.
#include "bndtools.hpp"
#include "command.hpp"
#include "console.hpp"
#include "programs.hpp"
#include "render.hpp"

namespace {

enum Opt { kStdout };
constexpr Option kOptions[] = {{kStdout, 'c', "stdout", nullptr, msg::kPackStdout}};


Outcome flz0pack_one(platform::FileSystem& fs, const std::string& path, const CommandLine& cl)
{
    if (cl.has(kStdout)) {
        Bytes packed;
        if (Outcome f = pack_file(fs, path, packed))
            return f;
        return say_data(packed);
    }
    Plan plan;
    if (Outcome f = plan_pack(fs, path, plan))
        return f;
    return commit(fs, plan, tell);
}


}  // namespace

int flz0pack_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{.name = "flz0pack",
                    .usage = msg::kPackUsage,
                    .about = msg::kPackAbout,
                    .options = kOptions,
                    .fits = some_operands,
                    .run_on = Operands::each,
                    .data_option = kStdout,
                    .step = flz0pack_one};
    return run_tool(args, tool, fs);
}
