// The options every tool reads alike: the reader on its own, then each
// program's options run for real.
#include "options.hpp"

#include <algorithm>

#include "flz0_files.hpp"
#include "flz0_reference.hpp"
#include "messages.hpp"
#include "support.hpp"

namespace {

// Ids in the order of the names, so that the options show sorted.
enum Opt { kDecode, kDirectory, kList };
const Option kSome[] = {{kList, 'l', "list", nullptr, "l"}, {kDecode, 'x', "decode", nullptr, "x"},
                        {kDirectory, 'd', "directory", "DIR", "d"}};

std::string shown(const std::optional<CommandLine>& cl, const WrongOption& wrong)
{
    if (!cl)
        return wrong.option + ": " + wrong.reason;
    std::string out;
    for (const auto& [id, value] : cl->options) {
        const int given = id;  // a structured binding is not captured before C++20's last revision
        out += std::string(std::find_if(std::begin(kSome), std::end(kSome), [&](const Option& o) {
                               return o.id == given;
                           })->long_name) + "=" + value + " ";
    }
    out += "|";
    for (const std::string& o : cl->operands)
        out += " " + o;
    return out;
}

}  // namespace

TEST(ReadOptions, OptionsStandFirstOrAnywhereAndEndAtDashDash)
{
    const struct {
        std::vector<std::string> args;
        const char* expected;
        OptionPlace place = OptionPlace::first;
    } cases[] = {
        {{"p"}, "|"},
        {{"p", "B"}, "| B"},
        {{"p", "B", "-1"}, "| B -1"},                 // after an operand, "-1" is an operand
        {{"p", "-l", "B"}, "list= | B"},
        {{"p", "-lx", "B"}, "decode= list= | B"},     // grouped
        {{"p", "-ldD", "B"}, "directory=D list= | B"},  // the rest of a group is the value
        {{"p", "-d", "D", "B"}, "directory=D | B"},
        {{"p", "--directory=D", "B"}, "directory=D | B"},
        {{"p", "--directory", "D", "B"}, "directory=D | B"},
        {{"p", "--directory=", "B"}, "directory= | B"},
        {{"p", "-d", "D1", "-d", "D2", "B"}, "directory=D2 | B"},  // the last wins
        {{"p", "-d", "D1", "--directory=D2", "B"}, "directory=D2 | B"},  // long or short, the last wins
        {{"p", "--directory", "D1", "-dD2", "B"}, "directory=D2 | B"},
        {{"p", "--", "-l"}, "| -l"},
        {{"p", "-l", "--", "--", "B"}, "list= | -- B"},
        {{"p", "-", "-l"}, "| - -l"},                 // "-" alone is an operand
        {{"p", "-q"}, "-q: unknown option"},
        {{"p", "-lq", "B"}, "-q: unknown option"},
        {{"p", "--quiet"}, "--quiet: unknown option"},
        {{"p", "--lis"}, "--lis: unknown option"},      // no abbreviations
        {{"p", "-d"}, "-d: needs a value"},
        {{"p", "--directory"}, "--directory: needs a value"},
        {{"p", "--list=yes"}, "--list: takes no value"},
        {{"p", "B", "-q"}, "| B -q"},
        // Anywhere, as gzip reads them: up to "--", and "-" alone is an operand.
        {{"p", "B", "-l"}, "list= | B", OptionPlace::anywhere},
        {{"p", "B", "-d", "D", "C"}, "directory=D | B C", OptionPlace::anywhere},
        {{"p", "-d", "D1", "B", "-d", "D2"}, "directory=D2 | B", OptionPlace::anywhere},
        {{"p", "B", "--", "-l", "--"}, "| B -l --", OptionPlace::anywhere},
        {{"p", "B", "-", "C"}, "| B - C", OptionPlace::anywhere},
        {{"p", "B", "-q"}, "-q: unknown option", OptionPlace::anywhere},
        {{"p", "B", "-d"}, "-d: needs a value", OptionPlace::anywhere},
    };
    for (const auto& c : cases) {
        WrongOption wrong;
        std::optional<CommandLine> cl = read_options(c.args, kSome, c.place, wrong);
        EXPECT_EQ(shown(cl, wrong), c.expected) << testing::PrintToString(c.args);
    }
}

TEST(ReadOptions, HelpListsTheOptionsInTwoColumnsAndContinuesALongLineBelow)
{
    const Option options[] = {{kList, 'l', "list", nullptr, "show them\nall"},
                              {kDirectory, 'd', "directory", "DIR", "put them in DIR"},
                              {kDecode, '\0', "as-is", nullptr, "as they stand"}};
    EXPECT_EQ(option_help(options),
              "  -l, --list           show them\n"
              "                       all\n"
              "  -d, --directory=DIR  put them in DIR\n"
              "      --as-is          as they stand\n"
              "  --                   end the options: an operand may start with '-'\n");
}

namespace {

using Options = ScratchTest;

}  // namespace

TEST_F(Options, AWrongOptionGivesTheUsageAndSaysWhichAndNothingIsTouched)
{
    write_file(dir / "F", "untouched");
    for (const Program& p : kPrograms) {
        const struct {
            std::vector<std::string> args;
            const char* detail;
        } cases[] = {
            {{"-q", "F"}, "-q: unknown option"},
            {{"--quiet", "F"}, "--quiet: unknown option"},
            {{"--help=x"}, "--help: takes no value"},
        };
        for (const auto& c : cases) {
            RunResult r = run_tool(p.exe, p.name, c.args, dir);
            EXPECT_EQ(r.status, 1) << p.name;
            EXPECT_EQ(r.out, "") << p.name;
            EXPECT_EQ(r.err, console(std::string(p.usage) + p.name + ": " + c.detail + "\n")) << p.name;
        }
    }
    EXPECT_EQ(file_names(dir), std::vector<std::string>{"F"});
    EXPECT_EQ(read_file(dir / "F"), "untouched");
}

TEST_F(Options, HelpListsEveryOptionAndAFileMayStartWithADashAfterDashDash)
{
    for (const Program& p : kPrograms) {
        RunResult r = run_tool(p.exe, p.name, {"--help"}, dir);
        EXPECT_EQ(r.status, 0) << p.name;
        for (std::string option : p.options)
            EXPECT_NE(r.out.find(option), std::string::npos) << p.name << " --help lacks " << option;
        // bndsplit reads options only before the bundle, as its help says
        const std::string head = std::string(p.name) == "bndsplit" ? "Options, before the bundle:" : "Options, anywhere before --:";
        EXPECT_NE(r.out.find(head), std::string::npos) << p.name << ": " << r.out;
        for (const char* standard : {"      --help", "      --version", "\n  --  "})
            EXPECT_NE(r.out.find(standard), std::string::npos) << p.name << " --help lacks " << standard;
        // A file named like an option, after "--", is a file: here a missing one.
        r = run_tool(p.exe, p.name, operands(p, {"--", "--help"}), dir);
        EXPECT_EQ(r.status, 1) << p.name;
        EXPECT_TRUE(r.err.starts_with(message(msg::kCannotOpen) + p.name + ": --help")) << p.name << ": " << r.err;
    }
}
