// The messages as the user reads them: each text in each encoding, the
// encoding each locale gets, the detail line, the order of the two streams,
// and --help and --version, across the programs.
#include <clocale>

#ifndef _WIN32
#include <iconv.h>
#include <locale.h>
#endif

#include "console.hpp"
#include "messages.hpp"
#include "support.hpp"

namespace {

#ifndef _WIN32
// convert -- bytes from one encoding to another, by the system's iconv
std::string convert(std::string_view text, const char* from, const char* to)
{
    iconv_t cd = iconv_open(to, from);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << from << " to " << to;
    std::string in(text), out(text.size() * 4, '\0');
    char* ip = in.data();
    char* op = out.data();
    std::size_t il = in.size(), ol = out.size();
    EXPECT_NE(iconv(cd, &ip, &il, &op, &ol), static_cast<std::size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

// has_locale -- whether the system has a locale of that name; CI makes
// the Japanese ones, so there a missing one is a failure
bool has_locale(const char* name)
{
    locale_t l = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (l)
        freelocale(l);
    return l != static_cast<locale_t>(0);
}
#endif

using Messages = ScratchTest;

}  // namespace

TEST(Encoding, EachLocaleCodesetGetsItsEncoding)
{
    const struct {
        const char* codeset;
        Encoding encoding;
    } cases[] = {
        {"SHIFT_JIS", Encoding::sjis},   {"Shift_JIS", Encoding::sjis},   {"SJIS", Encoding::sjis},
        {"cp932", Encoding::sjis},       {"WINDOWS-31J", Encoding::sjis}, {"EUC-JP", Encoding::euc_jp},
        {"eucJP", Encoding::euc_jp},     {"UTF-8", Encoding::utf8},       {"ANSI_X3.4-1968", Encoding::utf8},
        {"ISO-8859-1", Encoding::utf8},  {"", Encoding::utf8},            {"EUC-KR", Encoding::utf8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encoding_for(c.codeset), c.encoding) << c.codeset;
}

TEST(Encoding, EveryTextIsTheShiftJisOriginalInEachEncoding)
{
#ifdef _WIN32
    GTEST_SKIP() << "iconv is not part of the Windows C runtime";
#else
    for (const msg::Text* t : msg::kAllTexts) {
        EXPECT_EQ(t->euc_jp, convert(t->sjis, "CP932", "EUC-JP")) << t->utf8;
        EXPECT_EQ(t->utf8, convert(t->sjis, "CP932", "UTF-8")) << t->utf8;
        EXPECT_EQ(t->sjis.back(), '\n');
    }
#endif
}

TEST_F(Messages, EachProgramWritesTheLocalesEncoding)
{
    if (kWindows)
        GTEST_SKIP() << "redirected, the Windows programs always write Shift-JIS; the other tests check those bytes";
#ifndef _WIN32
    // Which of a text's encodings each locale reads.
    using Bytes = std::string_view msg::Text::*;
    const struct {
        const char* locale;
        Bytes encoding;
    } cases[] = {
        {"C", &msg::Text::utf8},
        {"POSIX", &msg::Text::utf8},
        {"C.UTF-8", &msg::Text::utf8},
        {"ja_JP.SJIS", &msg::Text::sjis},
        {"ja_JP.EUC-JP", &msg::Text::euc_jp},
    };
    for (const auto& c : cases) {
        if (!has_locale(c.locale)) {
            EXPECT_EQ(std::getenv("CI"), nullptr) << c.locale << " is missing: localedef makes it";
            continue;
        }
        for (const Program& program : kPrograms) {
            RunOptions options;
            options.locale = c.locale;
            RunResult r = run_tool(program.exe, program.name, operands(program, {"MISSING"}), dir, options);
            EXPECT_EQ(r.err, std::string(msg::kCannotOpen.*c.encoding) + program.name + ": " +
                                 program.missing + ": No such file or directory\n")
                << program.name << " in " << c.locale;
        }
    }
#endif
}

TEST_F(Messages, MergedStreamsReadInTheOrderWritten)
{
    // A piece of three that cannot be decoded is told as it is cut, and the split goes on.
    const std::vector<std::string> pieces = {"first", "FLZ0 cut short", "third"};
    write_file(dir / "DATA.BND", make_bundle(pieces));
    RunOptions merged;
    merged.merged = true;
    merged.stdout_path = (dir.parent_path() / "merged").string();
    RunResult r = run_tool(BNDSPLIT_EXE, "bndsplit", {"-x", "DATA.BND"}, dir, merged);
    EXPECT_EQ(r.status, 1);
    const std::string head = console(cutting(0, 512, 517) + cutting(1, 517, 531) + "compressed = 29813 -> original = 25376\n");
    const std::string tail = console(cutting(2, 531, 536) + "Completed.\n");
    std::string all = read_file(merged.stdout_path).value_or("");
    ASSERT_TRUE(all.starts_with(head) && all.ends_with(tail)) << all;
    EXPECT_TRUE(is_failure(all.substr(head.size(), all.size() - head.size() - tail.size()), msg::kCorrupt, "bndsplit",
                           "DATA/001"));
    // The note on bytes left out comes after "Completed.", as it is written.
    write_file(dir / "LEFT.BND", make_bundle({"one"}) + "left out");
    r = run_tool(BNDSPLIT_EXE, "bndsplit", {"LEFT.BND"}, dir, merged);
    EXPECT_EQ(r.status, 0);
    all = read_file(merged.stdout_path).value_or("");
    EXPECT_TRUE(all.starts_with(console(cutting(0, 512, 515) + "Completed.\nbndsplit: LEFT.BND: "))) << all;
}

TEST_F(Messages, HelpAndVersionAreAnsweredOnStandardOutput)
{
    for (const Program& program : kPrograms) {
        RunResult r = run_tool(program.exe, program.name, {"--version"}, dir);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, console(std::string(program.name) + " (bndtools) " BNDTOOLS_VERSION "\n"));
        EXPECT_EQ(r.err, "");
        r = run_tool(program.exe, program.name, {"--help"}, dir);
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out.starts_with(console(std::string(program.usage) + "\n"))) << r.out;
        EXPECT_GT(r.out.size(), std::string_view(program.usage).size() + 100) << program.name;
        EXPECT_EQ(r.err, "");
        // Anywhere but alone, or written as a path, it is a file name.
        r = run_tool(program.exe, program.name, operands(program, {"./--help"}), dir);
        EXPECT_TRUE(r.err.starts_with(message(msg::kCannotOpen) + program.name + ": ./--help")) << program.name;
    }
    EXPECT_TRUE(file_names(dir).empty());
}
