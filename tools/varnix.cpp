// varnix -- decompress FLZ0 files in place
//
//     varnix [-c | -t] FILE...
//
// The decoded data takes each file's name; the compressed file is kept as
// FILE.BAK. Nothing is replaced: an existing FILE.BAK stops that file.
// With -c the decoded data goes to standard output instead, and with -t
// nowhere: no file is touched.
#include "bndtools.hpp"
#include "command.hpp"
#include "console.hpp"
#include "programs.hpp"
#include "render.hpp"

namespace {

enum Opt { kStdout, kTest };
constexpr Option kOptions[] = {
    {kStdout, 'c', "stdout", nullptr, msg::kVarnixStdout},
    {kTest, 't', "test", nullptr, msg::kVarnixTest},
};



Outcome varnix_one(platform::FileSystem& fs, const std::string& path, const CommandLine& cl)
{
    if (cl.has(kStdout) || cl.has(kTest)) {
        Bytes decoded;
        if (Outcome f = decode_file(fs, path, cl.has(kStdout) ? tell_nothing : tell, decoded))
            return f;
        return cl.has(kStdout) ? say_data(decoded) : Outcome{};
    }
    Plan plan;
    if (Outcome f = plan_decode(fs, path, tell, plan))
        return f;
    return commit(fs, plan, tell);
}


}  // namespace

int varnix_main(const Args& args, platform::FileSystem& fs)
{
    const Tool tool{.name = "varnix",
                    .usage = msg::kVarnixUsage,
                    .about = msg::kVarnixAbout,
                    .options = kOptions,
                    .fits = some_operands,
                    .run_on = Operands::each,
                    .data_option = kStdout,
                    .step = varnix_one};
    return run_tool(args, tool, fs);
}
