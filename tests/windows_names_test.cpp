// Names as Windows takes them: wildcards, which the programs expand
// themselves there; paths past the old length limit; the console window
// that Explorer makes for a program alone. The pure parts run on every
// system; the programs themselves are run on Windows (under wine) below.
#include <gtest/gtest.h>

#include "console.hpp"
#include "long_paths.hpp"
#include "support.hpp"
#include "wildcards.hpp"

namespace {

TEST(Wildcards, APatternFitsNamesAsTheSystemsToolsTakeIt)
{
    struct Case {
        const char* pattern;
        const char* name;
        bool fits;
    };
    const Case cases[] = {
        {"???", "001", true},
        {"???", "01", false},
        {"???", "0001", false},
        {"*", "", true},
        {"*", "DATA.BND", true},
        {"*.BND", "DATA.BND", true},
        {"*.BND", "DATA.BND.BAK", false},
        {"*.bnd", "DATA.BND", true},  // letters match either case
        {"D*A", "DATA", true},
        {"D*A", "DATAX", false},
        {"*A*A*", "BANANA", true},
        {"*AN?", "BANANA", true},
        {"*ANX", "BANANA", false},
        {"a*b*c", "aXbYbZc", true},  // the first star gives back what the second needs
        {"a*b*c", "aXcYb", false},
        {"?", "\xC3\xA9", true},        // é: one character of two bytes
        {"??", "\xC3\xA9", false},
        {"?", "\xF0\x9F\x8E\xAE", true},  // beyond the BMP: four bytes
        {"fich?", "fiche", true},
        {"fich\xC3\xA9", "fiche", false},  // no look-alikes
        {"\xC3\xA9*", "\xC3\x89t\xC3\xA9", false},  // é is not É: only A to Z fold
        {"*\xE8\xA1\xA8", "\xE8\xA1\xA8", true},   // 表
        {"DATA", "DATA", true},
        {"DATA", "DATA2", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wildcard_match(c.pattern, c.name), c.fits) << c.pattern << " against " << c.name;
}

TEST(Wildcards, OnlyTheLastPartOfAPathHoldsThem)
{
    const std::string sep = kWindows ? "\\" : "/";
    EXPECT_TRUE(has_wildcards("DATA" + sep + "???"));
    EXPECT_TRUE(has_wildcards("*.BND"));
    EXPECT_FALSE(has_wildcards("DA?A" + sep + "001"));
    EXPECT_FALSE(has_wildcards("DATA"));
}

class Expansion : public ScratchTest {};

TEST_F(Expansion, EachArgumentStandsForItsFilesInNameOrder)
{
    fs::create_directory(dir / "d");
    for (const char* name : {"b2", "A1", "a3", "c", "B1"})
        write_file(dir / "d" / name, "x");
    fs::create_directory(dir / "d" / "a2");  // a directory never fits
    const std::string d = (dir / "d").string() + (kWindows ? "\\" : "/");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        Expand expand;
        std::vector<std::string> expected;
    };
    std::vector<Case> cases = {
        {"in name order, either case", {d + "??"}, Expand::each, {d + "A1", d + "a3", d + "B1", d + "b2"}},
        {"beside other arguments", {"x", d + "c*", "y"}, Expand::each, {"x", d + "c", "y"}},
        {"no match stays as given", {d + "z*"}, Expand::each, {d + "z*"}},
        {"no directory", {d + "a*"}, Expand::each, {d + "A1", d + "a3"}},
        {"one of several for bndsplit stays as given", {d + "??"}, Expand::one, {d + "??"}},
        {"one of two, the same", {d + "b?"}, Expand::one, {d + "b?"}},
        {"exactly one for bndsplit", {d + "c*"}, Expand::one, {d + "c"}},
        {"none in an unreadable directory", {d + "none/*"}, Expand::each, {d + "none/*"}},
    };
    if (!kWindows) {  // where the system allows such a name, it is a file's
        write_file(dir / "lit*", "x");
        const std::string lit = (dir / "lit*").string();
        cases.push_back({"a file of that very name", {lit}, Expand::each, {lit}});
    }
    for (const Case& c : cases)
        EXPECT_EQ(expand_wildcards(c.args, platform::system_files(), c.expand), c.expected) << c.what;
}

TEST(LongPaths, AFullPathTakesTheExtendedPrefix)
{
    struct Case {
        std::u16string full;
        std::u16string extended;
    };
    const Case cases[] = {
        {u"C:\\data\\GAME.BND", u"\\\\?\\C:\\data\\GAME.BND"},
        {u"z:\\x", u"\\\\?\\z:\\x"},
        {u"\\\\server\\share\\GAME.BND", u"\\\\?\\UNC\\server\\share\\GAME.BND"},
        {u"\\\\?\\C:\\data", u"\\\\?\\C:\\data"},          // already extended
        {u"\\\\?\\UNC\\s\\x", u"\\\\?\\UNC\\s\\x"},
        {u"\\\\.\\pipe\\x", u"\\\\.\\pipe\\x"},            // a device
        {u"data\\x", u"data\\x"},                          // not full: left to the system
        {u"C:x", u"C:x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(extended_path(c.full), c.extended);
}

TEST(LongPaths, ANameIsExtendedOnlyWhereItsFullPathIsLong)
{
    const std::u16string folder = u"C:\\" + std::u16string(kLongPath - 9, u'd');  // 242 characters
    struct Case {
        const char* what;
        std::u16string name;
        std::u16string full;
        std::u16string form;
    };
    const Case cases[] = {
        {"short", u"GAME", folder + u"\\GAME", u"GAME"},  // 248 - 1
        {"long", u"GAME1", folder + u"\\GAME1", u"\\\\?\\" + folder + u"\\GAME1"},  // 248
        {"long once resolved", u"..\\x\\.\\GAME1", folder + u"\\GAME1", u"\\\\?\\" + folder + u"\\GAME1"},
        {"extended as given", u"\\\\?\\C:\\GAME", u"\\\\?\\C:\\GAME" + folder, u"\\\\?\\C:\\GAME"},
        {"on a share", u"GAME1", u"\\\\s" + folder.substr(2) + u"\\GAME1", u"\\\\?\\UNC\\s" + folder.substr(2) + u"\\GAME1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(system_form(c.name, c.full), c.form) << c.what;
}

TEST(ExplorerWindow, KeptOpenOnlyWhenTheConsoleIsTheProgramsAlone)
{
    struct Case {
        const char* what;
        platform::ConsoleState console;
        bool kept;
    };
    const Case cases[] = {
        {"started from Explorer", {1, true, true}, true},
        {"in a shell's console", {2, true, true}, false},
        {"in a console a script shares", {3, true, true}, false},
        {"input redirected", {1, false, true}, false},
        {"output redirected", {1, true, false}, false},
        {"no console at all", {0, false, false}, false},
        {"a system that does not say", {0, true, true}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keeps_window_open(c.console), c.kept) << c.what;
}

}  // namespace

#ifdef _WIN32
#include <windows.h>

#include <algorithm>

#include "flz0_files.hpp"
#include "unicode.hpp"

namespace {

std::string utf8_of(const fs::path& p)
{
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
}

// The test's own files are made and read through the wide calls with the
// extended prefix, so that a path of any length reaches the system as it
// is, whatever the test's runtime does with long names.
std::wstring extended(const fs::path& p)
{
    const std::wstring full = fs::absolute(p).wstring();
    return full.size() >= kLongPath ? L"\\\\?\\" + full : full;
}

void make_dirs(const fs::path& p)
{
    fs::path sofar;
    for (const fs::path& part : p) {
        sofar /= part;
        CreateDirectoryW(extended(sofar).c_str(), nullptr);
    }
}

void put(const fs::path& p, const std::string& bytes)
{
    HANDLE h = CreateFileW(extended(p).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << utf8_of(p);
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size());
    CloseHandle(h);
}

std::optional<std::string> get(const fs::path& p)
{
    HANDLE h = CreateFileW(extended(p).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes(1 << 16, '\0');
    DWORD got = 0;
    const BOOL ok = ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(h);
    if (!ok)
        return std::nullopt;
    bytes.resize(got);
    return bytes;
}

fs::path named(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// windows_exe -- a program's path as Windows names it: the build gives
// Linux paths, and under wine the Linux root is Z:
std::string windows_exe(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    if (!path.starts_with("\\"))
        return path;
    std::string out = "Z:";  // appended apart: GCC 12 warns falsely of "Z:" + path (-Wrestrict)
    return out += path;
}

class WindowsNames : public ScratchTest {};

// Each tool on each kind of name: bndsplit and bndjoin undo each other,
// varnix decodes and flz0pack gives the original back.
TEST_F(WindowsNames, EveryToolTakesEveryKindOfNameAndPath)
{
    const std::string part50(50, 'p');
    const std::string deep = part50 + "\\" + part50 + "\\" + part50 + "\\" + part50 + "\\" + part50 + "\\" + part50;
    struct Case {
        const char* what;
        std::string folder;  // below the scratch directory, UTF-8
        std::string name;
        bool absolute;  // the tools are given the full path, from another directory
    };
    const Case cases[] = {
        {"Japanese", "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0", "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF", false},  // ゲーム\データ
        {"accented Latin", "", "caf\xC3\xA9", false},
        {"beyond the BMP", "", "\xF0\x9F\x8E\xAE", false},
        {"a second byte that is a backslash in Shift-JIS", "", "\xE8\xA1\xA8", false},  // 表
        {"a path over 300 characters, relative", deep, "GAME1", false},
        {"a path over 300 characters, absolute", deep, "GAME2", true},
        {"a full path given from another directory", "elsewhere", "GAME", true},
    };
    const std::string bundle = make_bundle({"first piece", std::string(3000, 'x')});
    const std::string text = text_of(5000);
    const std::string packed = flz0_literals(text);
    fs::create_directory(dir / "other");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path folder = c.folder.empty() ? dir : dir / named(c.folder);
        make_dirs(folder);
        const fs::path cwd = c.absolute ? dir / "other" : dir;
        const std::string given =
            c.absolute ? utf8_of(fs::absolute(folder / named(c.name))) : (c.folder.empty() ? "" : c.folder + "\\") + c.name;
        put(folder / named(c.name + ".BND"), bundle);
        put(folder / named(c.name + ".DAT"), packed);

        RunResult split = run_tool(BNDSPLIT_EXE, "bndsplit", {given + ".BND"}, cwd, kAsProcess);
        EXPECT_EQ(split.status, 0) << split.out << split.err;
        EXPECT_EQ(get(folder / named(c.name) / "001"), std::string(3000, 'x'));
        fs::remove(folder / named(c.name + ".BND"));  // bndjoin writes it whole again, from the record
        RunResult join = run_tool(BNDJOIN_EXE, "bndjoin", {given + ".BND"}, cwd, kAsProcess);
        EXPECT_EQ(join.status, 0) << join.out << join.err;
        EXPECT_EQ(get(folder / named(c.name + ".BND")), bundle);

        RunResult decode = run_tool(VARNIX_EXE, "varnix", {given + ".DAT"}, cwd, kAsProcess);
        EXPECT_EQ(decode.status, 0) << decode.out << decode.err;
        EXPECT_EQ(get(folder / named(c.name + ".DAT")), text);
        EXPECT_EQ(get(folder / named(c.name + ".DAT.BAK")), packed);
        RunResult pack = run_tool(FLZ0PACK_EXE, "flz0pack", {given + ".DAT"}, cwd, kAsProcess);
        EXPECT_EQ(pack.status, 0) << pack.out << pack.err;
        EXPECT_EQ(get(folder / named(c.name + ".DAT")), packed);
        EXPECT_EQ(get(folder / named(c.name + ".DAT.BAK")), std::nullopt);
    }
}

// No conversion picks a look-alike: fiché is never taken for fiche.
TEST_F(WindowsNames, ANameIsNeverTakenForALookAlike)
{
    const std::string text = text_of(2000);
    put(dir / "fiche", flz0_literals(text));
    put(dir / named("fich\xC3\xA9"), flz0_literals(text + "!"));
    RunResult r = run_tool(VARNIX_EXE, "varnix", {"fich\xC3\xA9"}, dir, kAsProcess);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(get(dir / named("fich\xC3\xA9")), text + "!");
    EXPECT_EQ(get(dir / "fiche"), flz0_literals(text));
    EXPECT_EQ(get(dir / "fiche.BAK"), std::nullopt);
    // Redirected, the detail line is in Shift-JIS, which has no é: it
    // shows '?', never the look-alike e.
    RunResult missing = run_tool(VARNIX_EXE, "varnix", {"fich\xC3\xA9X"}, dir, kAsProcess);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("varnix: fich?X: "), std::string::npos) << missing.err;
}

// A command line may hold a surrogate without its partner, which no file
// name can: each tool reports the name missing and makes nothing.
TEST_F(WindowsNames, ALoneSurrogateInANameFailsCleanly)
{
    const std::string lone = "a\xED\xA0\x80" "b";  // U+D800 alone
    const std::pair<const char*, std::string> tools[] = {
        {"bndsplit", BNDSPLIT_EXE}, {"bndjoin", BNDJOIN_EXE}, {"varnix", VARNIX_EXE}, {"flz0pack", FLZ0PACK_EXE}};
    for (const auto& [name, exe] : tools) {
        RunResult r = run_tool(exe, name, {lone + ".BND"}, dir, kAsProcess);
        EXPECT_EQ(r.status, 1) << name << ": " << r.out << r.err;
        EXPECT_NE(r.err.find(std::string(name) + ": a"), std::string::npos) << r.err;
        EXPECT_TRUE(file_names(dir).empty()) << name;
    }
}

// The tools expand wildcards themselves: cmd.exe passes them on as typed.
TEST_F(WindowsNames, WildcardsAreExpandedByTheToolsThemselves)
{
    const std::string text = text_of(2000);
    fs::create_directory(dir / "DIR");
    for (const char* name : {"002", "001", "01"})
        put(dir / "DIR" / name, flz0_literals(text + name));
    put(dir / "ONE.BND", make_bundle({"a", "b"}));
    put(dir / "TWO.BND", make_bundle({"c"}));
    struct Case {
        const char* what;
        std::string exe;
        std::vector<std::string> args;
        bool through_cmd;
        int status;
        std::vector<std::string> decoded;  // files of DIR decoded
    };
    const Case cases[] = {
        {"from the tool itself", VARNIX_EXE, {"DIR\\???"}, false, 0, {"001", "002"}},
        {"through cmd /c", VARNIX_EXE, {"DIR\\???"}, true, 0, {"001", "002"}},
        {"a pattern that fits nothing is a missing file", VARNIX_EXE, {"DIR\\x*"}, false, 1, {}},
        {"bndsplit takes a pattern that fits one bundle", BNDSPLIT_EXE, {"O*.BND"}, false, 0, {}},
        {"but not one that fits two", BNDSPLIT_EXE, {"*.BND"}, false, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"002", "001", "01"}) {
            put(dir / "DIR" / name, flz0_literals(text + name));
            fs::remove(dir / "DIR" / (name + std::string(".BAK")));
        }
        fs::remove_all(dir / "ONE");
        std::vector<std::string> args = c.args;
        std::string exe = c.exe;
        if (c.through_cmd) {
            args.insert(args.begin(), {"/c", windows_exe(c.exe)});
            exe = "C:\\windows\\system32\\cmd.exe";
        }
        RunResult r = run_tool(exe, "tool", args, dir, kAsProcess);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        for (const char* name : {"001", "002", "01"}) {
            const bool expected = std::find(c.decoded.begin(), c.decoded.end(), name) != c.decoded.end();
            EXPECT_EQ(get(dir / "DIR" / name), expected ? text + name : flz0_literals(text + name)) << name;
        }
        if (c.decoded.size() == 2) {  // each file's lines under its name, in name order
            EXPECT_LT(r.out.find("==> DIR\\001 <=="), r.out.find("==> DIR\\002 <==")) << r.out;
        }
        if (c.status != 0) {  // as for a name that is plainly missing
            std::vector<std::string> missing = c.args;
            missing.back() = "MISSING";
            RunResult m = run_tool(c.exe, "tool", missing, dir, kAsProcess);
            EXPECT_EQ(r.err.substr(0, r.err.find(c.args.back())), m.err.substr(0, m.err.find("MISSING")));
            EXPECT_EQ(r.err.substr(r.err.find(c.args.back()) + c.args.back().size()),
                      m.err.substr(m.err.find("MISSING") + 7));
        }
        if (c.exe == BNDSPLIT_EXE) {
            EXPECT_EQ(fs::exists(dir / "ONE" / "001"), c.status == 0);
        }
    }
}

}  // namespace
#endif
