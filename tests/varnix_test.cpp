// End-to-end tests of the built varnix: exact output bytes, exit status and
// the files afterwards.
#include <random>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "flz0.hpp"
#include "flz0_files.hpp"
#include "messages.hpp"
#include "support.hpp"

namespace {

const std::string kData = std::string("Line one.\nLine two.\r\n\x1a binary \0\xff tail ", 38) +
                          std::string(300, 'z') + "Line one.\nLine two.\n";

// sizes_line -- the line varnix prints for a file, from its header bytes
// read here (bytes 6-7 the compressed size, 4-5 the original, low byte first)
std::string sizes_line(const std::string& file)
{
    auto le16 = [&](std::size_t at) {
        return static_cast<unsigned char>(file[at]) | static_cast<unsigned char>(file[at + 1]) << 8;
    };
    return "compressed = " + std::to_string(le16(6)) + " -> original = " + std::to_string(le16(4)) + "\n";
}

class Varnix : public ScratchTest {
protected:
    RunResult varnix(const std::vector<std::string>& args, const RunOptions& options = {})
    {
        return run_tool(VARNIX_EXE, "varnix", args, dir, options);
    }
    // After a failure: the input exactly as it was, and no .$$$ or .BAK made.
    void expect_untouched(const std::string& name, const std::string& original)
    {
        EXPECT_EQ(read_file(dir / name), original) << name;
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / (name + ".$$$")))) << name;
        EXPECT_FALSE(fs::exists(dir / (name + ".BAK"))) << name;
    }
};

}  // namespace

TEST_F(Varnix, DecodesInPlaceAndKeepsTheCompressedFileAsBak)
{
    const std::string file = flz0_encode(kData);
    write_file(dir / "000", file);
    RunResult r = varnix({"000"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, console(sizes_line(file)));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir / "000"), kData);
    EXPECT_EQ(read_file(dir / "000.BAK"), file);
    EXPECT_EQ(file_names(dir), (std::vector<std::string>{"000", "000.BAK"}));
}

TEST_F(Varnix, SizeLineShowsCompressedFirst)
{
    write_file(dir / "F.BIN", std::string("FLZ0\x03\x00\x34\x12\xFF" "abc", 12));
    RunResult r = varnix({"F.BIN"});
    EXPECT_EQ(r.out, console("compressed = 4660 -> original = 3\n"));
    EXPECT_EQ(read_file(dir / "F.BIN"), "abc");
    EXPECT_TRUE(fs::exists(dir / "F.BIN.BAK"));
}

TEST_F(Varnix, EachFileIsHandledOnItsOwnAndTheHighestStatusWins)
{
    const std::string a = flz0_encode(kData), c = flz0_encode("third file");
    write_file(dir / "A", a);
    write_file(dir / "B", "not FLZ0");
    write_file(dir / "C", c);
    write_file(dir / "D", flz0_encode("fourth"));
    write_file(dir / "D.BAK", "precious");
    RunResult r = varnix({"A", "B", "C", "D", "A"});
    EXPECT_EQ(r.status, 2);
    // Each file's lines follow a line naming it, as head writes them.
    EXPECT_EQ(r.out, console("==> A <==\n" + sizes_line(a) + "\n==> B <==\n\n==> C <==\n" + sizes_line(c) +
                             "\n==> D <==\n" + sizes_line(flz0_encode("fourth")) + "\n==> A <==\n"));
    EXPECT_EQ(read_file(dir / "A"), kData);
    EXPECT_EQ(read_file(dir / "C"), "third file");
    EXPECT_EQ(read_file(dir / "C.BAK"), c);
    EXPECT_EQ(read_file(dir / "B"), "not FLZ0");
    EXPECT_EQ(read_file(dir / "D.BAK"), "precious");
    // A, done once, is no longer FLZ0 the second time.
    EXPECT_EQ(r.err, message(msg::kNotFlz0) + console("varnix: B: does not start with \"FLZ0\"\n") +
                         message(msg::kCannotRename) + console("varnix: D.BAK: already exists\n") +
                         message(msg::kNotFlz0) + console("varnix: A: does not start with \"FLZ0\"\n"));
}

TEST_F(Varnix, InputThatIsNotFlz0IsLeftAlone)
{
    for (const std::string& bytes : {std::string(), std::string("FLZ"), std::string("flz0\0\0\0\0", 8),
                                     std::string("XLZ0 plain text")}) {
        write_file(dir / "PLAIN", bytes);
        RunResult r = varnix({"PLAIN"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(is_failure(r.err, msg::kNotFlz0, "varnix", "PLAIN", "does not start with \"FLZ0\""));
        expect_untouched("PLAIN", bytes);
    }
}

TEST_F(Varnix, MagicAloneBecomesAnEmptyFile)
{
    write_file(dir / "M", "FLZ0");
    RunResult r = varnix({"M"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, console("compressed = 0 -> original = 0\n"));
    EXPECT_EQ(read_file(dir / "M"), "");
    EXPECT_EQ(read_file(dir / "M.BAK"), "FLZ0");
}

TEST_F(Varnix, OnlyARegularFileIsTakenAndNothingElseIsTouched)
{
    const std::string file = flz0_encode(kData);
    write_file(dir / "REAL", file);
    fs::create_directory(dir / "D");
    std::vector<std::string> names = {"MISSING", "D"};
    if (!kWindows) {
        fs::create_symlink("REAL", dir / "LINK");
#ifndef _WIN32
        ASSERT_EQ(::mkfifo((dir / "FIFO").c_str(), 0600), 0);  // no writer: opening it would wait forever
#endif
        names.insert(names.end(), {"LINK", "FIFO", "/dev/null"});
    }
    for (const std::string& name : names) {
        RunResult r = varnix({name});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(is_failure(r.err, msg::kCannotOpen, "varnix", name)) << name;
    }
    EXPECT_EQ(read_file(dir / "REAL"), file);
    EXPECT_TRUE(fs::is_symlink(dir / "LINK") || kWindows);
    EXPECT_EQ(file_names(dir).size(), kWindows ? 2u : 4u);
}

TEST_F(Varnix, StreamCutShortIsCorruptAndChangesNothing)
{
    const std::string file = flz0_encode(kData);
    const std::string cut = file.substr(0, file.size() - 1);
    write_file(dir / "C", cut);
    RunResult r = varnix({"C"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, console(sizes_line(file)));
    EXPECT_TRUE(is_failure(r.err, msg::kCorrupt, "varnix", "C", "stream ends after 357 of 358 bytes"));
    expect_untouched("C", cut);
}

TEST_F(Varnix, FileCutAtEveryOffsetIsEitherDecodedWholeOrLeftAsItWas)
{
    const std::string file = flz0_encode(kData);
    for (std::size_t len = 0; len <= file.size(); ++len) {
        const std::string cut = file.substr(0, len);
        for (const std::string& name : file_names(dir))
            fs::remove(dir / name);
        write_file(dir / "T", cut);
        RunResult r = varnix({"T"});
        if (len == file.size() || len == 4) {  // "FLZ0" alone has sizes 0 and 0
            EXPECT_EQ(r.status, 0) << "length " << len;
            EXPECT_EQ(read_file(dir / "T"), len == 4 ? "" : kData);
            EXPECT_EQ(read_file(dir / "T.BAK"), cut);
            continue;
        }
        EXPECT_TRUE(fails_as(r, 1, len < 4 ? msg::kNotFlz0 : msg::kCorrupt, "varnix", "T")) << "length " << len;
        expect_untouched("T", cut);
    }
}

TEST_F(Varnix, ExistingBackupIsFoundBeforeAnythingIsWritten)
{
    const std::string file = flz0_encode(kData);
    write_file(dir / "N", file);
    write_file(dir / "N.BAK", "precious");
    RunResult r = varnix({"N"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, console(sizes_line(file)));
    EXPECT_TRUE(is_failure(r.err, msg::kCannotRename, "varnix", "N.BAK", "already exists"));
    EXPECT_EQ(read_file(dir / "N"), file);
    EXPECT_EQ(read_file(dir / "N.BAK"), "precious");
    EXPECT_EQ(file_names(dir), (std::vector<std::string>{"N", "N.BAK"}));
}

TEST_F(Varnix, BackslashPathsOnWindows)
{
    if (!kWindows)
        GTEST_SKIP() << "a backslash is an ordinary file name character here";
    const std::string file = flz0_encode(kData);
    fs::create_directory(dir / "sub");
    write_file(dir / "sub" / "N", file);
    RunResult r = varnix({"sub\\N"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir / "sub" / "N"), kData);
    EXPECT_EQ(read_file(dir / "sub" / "N.BAK"), file);
}

TEST_F(Varnix, StreamLongerThan64KiBDecodesAndTheTailMovesToTheBackup)
{
    std::string data(kMaxOriginalSize, '\0');
    std::mt19937 rng(5);
    for (char& c : data)
        c = static_cast<char>(rng());
    const std::string file = flz0_literals(data) + "trailing bytes after the stream";
    ASSERT_GT(file.size(), 65536u);
    write_file(dir / "BIG", file);
    RunResult r = varnix({"BIG"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(read_file(dir / "BIG") == data);
    EXPECT_TRUE(read_file(dir / "BIG.BAK") == file);
}

TEST_F(Varnix, NamesAppendToTheWholeArgumentOfAnyLength)
{
    const std::string file = flz0_encode(kData);
    const std::string sub(150, 's');
    const std::string name = sub + "/" + std::string(200, 'n') + ".BIN";
    fs::create_directory(dir / sub);
    write_file(dir / name, file);
    RunResult r = varnix({name});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir / name), kData);
    EXPECT_EQ(read_file(dir / (name + ".BAK")), file);
}

TEST_F(Varnix, StdoutAndTestOptionsDecodeWithoutTouchingAnyFile)
{
    const std::string a = flz0_encode(kData), c = flz0_encode("third file");
    const std::string cut = a.substr(0, a.size() - 1);
    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string out;  // as the program writes it: data byte for byte, lines as text
        bool lines;
    } cases[] = {
        {"-c: the data alone, byte for byte", {"-c", "A"}, 0, kData, false},
        {"--stdout: each file's data in turn, with no line naming it", {"--stdout", "A", "C"}, 0, kData + "third file", false},
        {"-c: a file that is not FLZ0 is reported, the others written", {"-c", "A", "B", "C"}, 1, kData + "third file", false},
        {"-c: a stream cut short gives no byte of it", {"-c", "CUT"}, 1, "", false},
        {"-t: the size line alone", {"-t", "A"}, 0, sizes_line(a), true},
        {"-t after the file, as gzip reads it", {"A", "-t"}, 0, sizes_line(a), true},
        {"-c between the files", {"A", "-c", "C"}, 0, kData + "third file", false},
        {"--test: a stream cut short", {"--test", "CUT"}, 1, sizes_line(a), true},
        {"-t: each file named", {"-t", "A", "B", "C"}, 1,
         "==> A <==\n" + sizes_line(a) + "\n==> B <==\n\n==> C <==\n" + sizes_line(c), true},
    };
    for (const auto& k : cases) {
        for (const std::string& name : file_names(dir))
            fs::remove(dir / name);
        write_file(dir / "A", a);
        write_file(dir / "B", "not FLZ0");
        write_file(dir / "C", c);
        write_file(dir / "CUT", cut);
        const Snapshot before = snapshot(dir);
        RunResult r = varnix(k.args);
        EXPECT_EQ(r.status, k.status) << k.what;
        EXPECT_TRUE(r.out == (k.lines ? console(k.out) : k.out)) << k.what << ": " << r.out;
        EXPECT_EQ(snapshot(dir), before) << k.what;
    }
}
