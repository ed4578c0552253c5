// End-to-end tests of the built bndsplit: exact output bytes, exit status and
// the files left behind.
#ifndef _WIN32
#include <algorithm>
#include <sys/stat.h>
#endif

#include "bundle.hpp"
#include "flz0_files.hpp"
#include "messages.hpp"
#include "record.hpp"
#include "split.hpp"
#include "bndtools.hpp"
#include "support.hpp"

namespace {

const std::string kCompleted = "Completed.\n";

// Pieces that hold the bytes a text-mode stream would alter.
const std::vector<std::string> kPieces = {
    std::string("line one\nline two\r\n\x1a" "end", 21),
    std::string("\0\xff\r\r\n\n\x1a", 7),
    "third piece, plain text",
};

// The lines printed for the first n of the given pieces.
std::string cut_lines(const std::vector<std::string>& pieces, std::size_t n)
{
    return progress_for(pieces, n, "cutting");
}

// name3 -- a piece's file name, written out here apart from the tools'
std::string name3(std::size_t k)
{
    char name[24];
    std::snprintf(name, sizeof name, "%03zu", k);
    return name;
}

struct Expected {
    std::uint32_t start, end;
};

// pieces_in -- the pieces a table describes, read here apart from the
// tools' own reader: little-endian pairs, up to the first that ends at 0,
// is empty, ends below its start or is over 1,261,568 bytes, at most 127
std::vector<Expected> pieces_in(const std::string& bundle)
{
    std::vector<Expected> out;
    for (std::size_t k = 0; k < 127; ++k) {
        const std::uint32_t start = entry_at(bundle, k), end = entry_at(bundle, k + 1);
        if (end == 0 || end <= start || end - start > 1261568)
            break;
        out.push_back({start, end});
    }
    return out;
}

class Bndsplit : public ScratchTest {
protected:
    RunResult split(const std::vector<std::string>& args, const RunOptions& options = {})
    {
        return run_tool(BNDSPLIT_EXE, "bndsplit", args, dir, options);
    }
    RunResult split_in(const fs::path& cwd, const std::vector<std::string>& args)
    {
        return run_tool(BNDSPLIT_EXE, "bndsplit", args, cwd);
    }
    void expect_pieces(const fs::path& piece_dir, std::size_t n)
    {
        std::vector<std::string> names;
        for (std::size_t k = 0; k < n; ++k) {
            names.push_back(name3(k));
            EXPECT_EQ(read_file(piece_dir / names.back()), kPieces[k]) << names.back();
        }
        names.push_back(kRecordName);  // what they were cut from
        EXPECT_EQ(file_names(piece_dir), names);
    }
};

}  // namespace

TEST_F(Bndsplit, CutsEveryPieceIntoTheDirectoryNamedAfterTheBundle)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    RunResult r = split({"DATA.BND"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, console(cut_lines(kPieces, 3) + kCompleted));
    EXPECT_EQ(r.err, "");
    expect_pieces(dir / "DATA", 3);
    EXPECT_EQ(read_file(dir / "DATA.BND"), make_bundle(kPieces));
}

TEST_F(Bndsplit, PiecesLargerThanTheCopyBlockAreCopiedWhole)
{
    const std::vector<std::string> big = {random_bytes(1261568u, 1), "x", random_bytes(1024 * 1024 + 1, 2)};
    write_file(dir / "BIG.BND", make_bundle(big));
    ASSERT_EQ(split({"BIG.BND"}).status, 0);
    for (std::size_t k = 0; k < big.size(); ++k)
        EXPECT_TRUE(read_file(dir / "BIG" / name3(k)) == big[k]) << k;
}

TEST_F(Bndsplit, LimitIsReadOnlyWhenItIsTheSoleExtraArgument)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    const struct {
        std::vector<std::string> args;
        std::size_t pieces;
    } cases[] = {
        {{"DATA.BND", "0x2"}, 2},    {{"DATA.BND", "1"}, 1},  {{"DATA.BND", "5", "extra"}, 3},
        {{"DATA.BND", "0", "extra"}, 3}, {{"DATA.BND", "abc"}, 0}, {{"DATA.BND", "0X10"}, 0},
        {{"DATA.BND", "0x-1"}, 0},   {{"DATA.BND", ""}, 0},   {{"DATA.BND", "0x1000"}, 3},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir / "DATA");
        RunResult r = split(c.args);
        EXPECT_EQ(r.status, 0) << c.args[1];
        EXPECT_EQ(r.out, console(cut_lines(kPieces, c.pieces) + kCompleted)) << c.args[1];
        EXPECT_EQ(r.err.find("is a file"), std::string::npos) << c.args[1];
        if (c.pieces > 0) {
            expect_pieces(dir / "DATA", c.pieces);
        } else {
            EXPECT_FALSE(fs::exists(dir / "DATA")) << c.args[1];
        }
    }
}

TEST_F(Bndsplit, ALimitThatNamesAFileIsNotedAsReadAsALimit)
{
    write_file(dir / "A.BND", make_bundle(kPieces));
    write_file(dir / "B.BND", make_bundle(kPieces));
    write_file(dir / "-3", "a file named like a negative limit");
    const struct {
        const char* count;
        std::size_t pieces;
    } cases[] = {{"B.BND", 0}, {"-3", 0}};
    for (const auto& c : cases) {
        RunResult r = split({"A.BND", c.count});
        EXPECT_EQ(r.status, 0) << c.count;
        EXPECT_EQ(r.out, console(kCompleted)) << c.count;
        EXPECT_TRUE(r.err.starts_with(console(std::string("bndsplit: ") + c.count + ": is a file, read here as the limit " +
                                              (c.count[0] == '-' ? "-3" : "0") + "; split it on its own\n")))
            << r.err;
        EXPECT_FALSE(fs::exists(dir / "A")) << c.count;
        EXPECT_FALSE(fs::exists(dir / "B")) << c.count;
    }
}

TEST_F(Bndsplit, FileDescribingNoPieceLeavesNothingBehind)
{
    write_file(dir / "EMPTY.BND", std::string(kTableSize, '\0'));
    write_file(dir / "NOTHING", "");
    for (const char* bundle : {"EMPTY.BND", "NOTHING"}) {
        RunResult r = split({bundle});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, console(kCompleted));
    }
    EXPECT_EQ(file_names(dir), (std::vector<std::string>{"EMPTY.BND", "NOTHING"}));
}

TEST_F(Bndsplit, SecondRunReplacesEachPieceWhole)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    fs::create_directory(dir / "DATA");
    write_file(dir / "DATA" / "000", std::string(5000, 'x'));
    write_file(dir / "DATA" / "001.$$$", "stale temporary file");
    ASSERT_EQ(split({"DATA.BND"}).status, 0);
    RunResult r = split({"DATA.BND"});
    EXPECT_EQ(r.status, 0);
    expect_pieces(dir / "DATA", 3);
}

TEST_F(Bndsplit, DirectoryIsNamedFromTheFileNameAlone)
{
    // Each bundle is written at `bundle` (relative to `cwd`); its pieces must
    // land in `piece_dir` and nowhere else.
    const struct {
        const char* cwd;
        const char* bundle;
        const char* piece_dir;
    } cases[] = {
        {".", "SE", "SE.d"},           {".", "sub/SE", "sub/SE.d"},         {".", "pack.old/SE", "pack.old/SE.d"},
        {".", "sub/A.B.BND", "sub/A.B"}, {".", ".BND", ".BND.d"},          {".", "sub/.hidden", "sub/.hidden.d"},
        {"sub", "../SE", "SE.d"},      {"sub", "./SE", "sub/SE.d"},
    };
    for (const auto& c : cases) {
        for (const char* d : {"sub", "pack.old"})
            fs::create_directories(dir / d);
        const fs::path bundle = dir / c.cwd / c.bundle;
        write_file(bundle, make_bundle(kPieces));
        RunResult r = split_in(dir / c.cwd, {c.bundle});
        EXPECT_EQ(r.status, 0) << c.bundle;
        expect_pieces(dir / c.piece_dir, 3);
        EXPECT_EQ(read_file(bundle), make_bundle(kPieces)) << c.bundle;
        fs::remove_all(dir / c.piece_dir);
        fs::remove(bundle);
        EXPECT_EQ(file_names(dir), (std::vector<std::string>{"pack.old", "sub"})) << c.bundle;
        EXPECT_TRUE(file_names(dir / "sub").empty()) << c.bundle;
    }
}

TEST_F(Bndsplit, PieceThatIsItselfABundleSplitsBesideItWithoutHarm)
{
    // DATA/001 is a bundle too. Split from inside DATA, it once gave the
    // piece directory "..", and piece 001 was written over the bundle.
    const std::string inner = make_bundle(kPieces);
    write_file(dir / "DATA.BND", make_bundle({"zero", inner}));
    ASSERT_EQ(split({"DATA.BND"}).status, 0);
    RunResult r = split_in(dir / "DATA", {"../DATA/001"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir / "DATA" / "001"), inner);
    EXPECT_EQ(read_file(dir / "DATA" / "000"), "zero");
    expect_pieces(dir / "DATA" / "001.d", 3);
    EXPECT_EQ(file_names(dir / "DATA"), (std::vector<std::string>{"000", "001", "001.d", kRecordName}));
}

TEST_F(Bndsplit, BundleReachedThroughALinkedPieceDirectoryIsNeverTouched)
{
    if (kWindows)
        GTEST_SKIP() << "a Windows program cannot make the symbolic link to a directory";
    // Piece 0 of bundle "000" would go to 000.d/000, which the link makes the
    // bundle itself; and the temporary name of piece 0 of "000.$$$" is 000/000.$$$.
    const struct {
        const char* bundle;
        const char* link;
        const char* named;
    } cases[] = {{"000", "000.d", "000.d/000"}, {"000.$$$", "000", "000/000.$$$"}};
    for (const auto& c : cases) {
        write_file(dir / c.bundle, make_bundle(kPieces));
        fs::create_directory_symlink(".", dir / c.link);
        EXPECT_TRUE(fails_as(split({c.bundle}), 2, msg::kWriteFailed, "bndsplit", c.named, "is the bundle being split")) << c.bundle;
        EXPECT_EQ(read_file(dir / c.bundle), make_bundle(kPieces)) << c.bundle;
        EXPECT_EQ(file_names(dir).size(), 2u) << c.bundle;
        fs::remove(dir / c.link);
        fs::remove(dir / c.bundle);
    }
}

TEST_F(Bndsplit, SymbolicLinkAtAPieceNameIsReplacedNotWrittenThrough)
{
    if (kWindows)
        GTEST_SKIP() << "a Windows program cannot make the symbolic link";
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    write_file(dir / "target", "must stay");
    fs::create_directory(dir / "DATA");
    fs::create_symlink("../target", dir / "DATA" / "001");
    fs::create_symlink("../target", dir / "DATA" / "002.$$$");
    RunResult r = split({"DATA.BND"});
    EXPECT_EQ(r.status, 0);
    expect_pieces(dir / "DATA", 3);
    EXPECT_FALSE(fs::is_symlink(dir / "DATA" / "001"));
    EXPECT_EQ(read_file(dir / "target"), "must stay");
}

TEST_F(Bndsplit, LongArgumentsHaveNoFixedLimit)
{
    if (kWindows)  // the programs are, in WindowsNames
        GTEST_SKIP() << "the test runtime's directory listing refuses paths of more than 260 characters";
    std::string name = std::string(200, 'd') + "/" + std::string(200, 'b') + ".BND";
    fs::create_directory(dir / std::string(200, 'd'));
    write_file(dir / name, make_bundle(kPieces));
    RunResult r = split({name});
    EXPECT_EQ(r.status, 0);
    expect_pieces(dir / std::string(200, 'd') / std::string(200, 'b'), 3);
}

TEST_F(Bndsplit, ShortBundleReadsTheMissingTableAsZeros)
{
    // Entry 0 is 4; entry 1 has only two bytes, 06 00, so it reads as 6: the
    // one piece is those two bytes.
    write_file(dir / "TINY.BND", std::string("\x04\0\0\0\x06\0", 6));
    RunResult r = split({"TINY.BND"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, console(cutting(0, 4, 6) + kCompleted));
    EXPECT_EQ(read_file(dir / "TINY" / "000"), std::string("\x06\0", 2));
}

TEST_F(Bndsplit, PieceOffsetsBeyond2GiBAreReachable)
{
    const std::uint32_t start = 0x80000000u;
    const std::string payload = "far away\n\x1a!";
    const std::uint32_t end = start + static_cast<std::uint32_t>(payload.size());
    write_file(dir / "FAR.BND", table_bytes({start, end}));
    fs::resize_file(dir / "FAR.BND", start);  // sparse: no blocks behind the hole
    append_file(dir / "FAR.BND", payload);
    RunResult r = split({"FAR.BND"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, console(cutting(0, start, end) + kCompleted));
    EXPECT_EQ(read_file(dir / "FAR" / "000"), payload);
}

TEST_F(Bndsplit, OnlyARegularFileIsTakenAtOnceAndNothingIsCreated)
{
    fs::create_directory(dir / "DIR.BND");
    std::vector<std::pair<std::string, std::string>> cases = {{"MISSING.BND", ""}, {"DIR.BND", "not a regular file"}};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "FIFO.BND").c_str(), 0600), 0);  // no writer: opening it would wait forever
    cases.push_back({"FIFO.BND", "not a regular file"});
    cases.push_back({"/dev/null", "not a regular file"});
#endif
    const std::vector<std::string> before = file_names(dir);
    for (const auto& [bundle, reason] : cases) {
        RunResult r = split({bundle});
        EXPECT_EQ(r.status, 1) << bundle;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(is_failure(r.err, msg::kCannotOpen, "bndsplit", bundle, reason)) << bundle;
    }
    EXPECT_EQ(file_names(dir), before);
    EXPECT_FALSE(fs::exists("/dev/null.d"));
}

TEST_F(Bndsplit, OutputThatCannotBeMadeIsFoundBeforeAnythingIsWritten)
{
    // What stands in the way, and the file the detail line names.
    const struct {
        const char* what;
        const char* blocker;
        bool is_dir;
        const char* named;
        const char* reason;
    } cases[] = {
        {"a file in place of the piece directory", "DATA", false, "DATA", ""},
        {"a directory in place of piece 1", "DATA/001", true, "DATA/001", "not a regular file"},
    };
    for (const auto& c : cases) {
        clear();
        write_file(dir / "DATA.BND", make_bundle(kPieces));
        if (c.is_dir)
            fs::create_directories(dir / c.blocker);
        else
            write_file(dir / c.blocker, "in the way");
        const Snapshot before = snapshot(dir);
        RunResult r = split({"DATA.BND"});
        EXPECT_EQ(r.status, 2) << c.what;
        EXPECT_EQ(r.out, "") << c.what;
        EXPECT_TRUE(is_failure(r.err, msg::kWriteFailed, "bndsplit", c.named, c.reason)) << c.what;
        EXPECT_EQ(snapshot(dir), before) << c.what;
    }
}

TEST_F(Bndsplit, FailurePartWayThroughAPieceKeepsTheEarlierRunsPiece)
{
    if (kWindows)
        GTEST_SKIP() << "Windows has no per-process file size limit";
    std::vector<std::string> big = {std::string(3000, 'a'), std::string(9000, 'b')};
    write_file(dir / "BIG.BND", make_bundle(big));
    fs::create_directory(dir / "BIG");
    write_file(dir / "BIG" / "001", "the earlier run's piece");
    RunOptions limited;
    limited.file_size_limit = 8192;
    RunResult r = split({"BIG.BND"}, limited);
    EXPECT_TRUE(fails_as(r, 2, msg::kWriteFailed, "bndsplit", "BIG/001.$$$", "File too large"));
    EXPECT_EQ(read_file(dir / "BIG" / "000"), big[0]);
    EXPECT_EQ(read_file(dir / "BIG" / "001"), "the earlier run's piece");
    EXPECT_EQ(file_names(dir / "BIG"), (std::vector<std::string>{"000", "001", "bndtools-split.txt"}));
}

TEST_F(Bndsplit, BackslashSeparatesDirectoriesOnWindows)
{
    if (!kWindows)
        GTEST_SKIP() << "a backslash is an ordinary file name character here";
    fs::create_directories(dir / "disk1");
    fs::create_directories(dir / "pack.old");
    write_file(dir / "disk1" / "SE.BND", make_bundle(kPieces));
    write_file(dir / "pack.old" / "SE", make_bundle(kPieces));
    for (const char* bundle : {"disk1\\SE.BND", "pack.old\\SE"}) {
        RunResult r = split({bundle});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, console(cut_lines(kPieces, 3) + kCompleted));
    }
    expect_pieces(dir / "disk1" / "SE", 3);
    expect_pieces(dir / "pack.old" / "SE.d", 3);
}

TEST_F(Bndsplit, APiecePastTheEndIsFoundBeforeAnythingIsWritten)
{
    std::string bundle = make_bundle(kPieces);
    bundle.resize(bundle.size() - 1);
    write_file(dir / "CUT.BND", bundle);
    fs::create_directory(dir / "CUT");
    write_file(dir / "CUT" / "000", "from an earlier run");
    write_file(dir / "CUT" / "002", "from an earlier run");
    const Snapshot before = snapshot(dir);
    RunResult r = split({"CUT.BND"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(is_failure(r.err, msg::kReadFailed, "bndsplit", "CUT.BND",
                           "piece 2 ends at 0x00000233, past the end of the 562-byte bundle"));
    EXPECT_EQ(snapshot(dir), before);
}

TEST_F(Bndsplit, BundleCutAtEveryOffsetNeverYieldsAnInventedByte)
{
    const std::string whole = make_bundle(kPieces);
    std::vector<std::size_t> edges = {0, 4, 8, 512};  // the first entries, the table's end
    for (const Expected& p : pieces_in(whole))
        edges.push_back(p.end);
    const auto near_edge = [&](std::size_t len) {
        return std::any_of(edges.begin(), edges.end(), [&](std::size_t e) { return len + 2 >= e && len <= e + 2; });
    };
    // The split itself at every length; the program, for its status and
    // message, at the lengths next to an edge.
    for (std::size_t len = 0; len <= whole.size(); ++len) {
        const std::string cut = whole.substr(0, len);
        write_file(dir / "T.BND", cut);
        fs::remove_all(dir / "T");
        const bool program = near_edge(len) && (!kSlowRuns || len % 3 == 0);
        RunResult r;
        Outcome split_failed;
        if (program) {
            r = split({"T.BND"});
        } else {
            SplitPlan planned;
            platform::FileSystem& files = platform::system_files();
            split_failed = plan_split(files, SplitRequest{.bundle = (dir / "T.BND").string(), .dir = (dir / "T").string()}, planned);
            if (!split_failed)
                split_failed = commit(files, planned.plan, [](const Event&) { return Outcome{}; });
        }

        // Every piece whole, or none written at all.
        std::vector<std::string> expected_names;
        const std::vector<Expected> expected = pieces_in(cut);
        const bool fits = std::all_of(expected.begin(), expected.end(), [&](const Expected& p) { return p.end <= cut.size(); });
        for (std::size_t k = 0; fits && k < expected.size(); ++k) {
            expected_names.push_back(name3(k));
            EXPECT_EQ(read_file(dir / "T" / expected_names.back()), cut.substr(expected[k].start, expected[k].end - expected[k].start))
                << "length " << len;
        }
        // A split that writes a piece says what it was cut from.
        if (!expected_names.empty()) {
            expected_names.push_back(kRecordName);
            const std::optional<SplitRecord> rec = read_record(read_file(dir / "T" / kRecordName).value_or(""));
            EXPECT_TRUE(rec && rec->finished) << "length " << len;
        }
        if (fs::exists(dir / "T")) {
            EXPECT_EQ(file_names(dir / "T"), expected_names) << "length " << len;
        } else {
            EXPECT_TRUE(expected_names.empty()) << "length " << len;
        }
        if (!program) {
            EXPECT_EQ(split_failed.has_value(), !fits) << "length " << len;
            if (split_failed) {
                EXPECT_EQ(split_failed->fault, Fault::read_failed) << "length " << len;
            }
            continue;
        }
        EXPECT_EQ(r.status, fits ? 0 : 1) << "length " << len;
        if (fits) {
            EXPECT_EQ(r.err, "") << "length " << len;
        } else {
            EXPECT_TRUE(is_failure(r.err, msg::kReadFailed, "bndsplit", "T.BND")) << "length " << len;
        }
    }
}

namespace {

// bundle_of -- a bundle with the given table entries, of `size` bytes, its
// bytes after the table varied
std::string bundle_of(std::vector<std::uint32_t> entries, std::size_t size)
{
    std::string b = table_bytes(entries);
    for (std::size_t i = kTableSize; i < size; ++i)
        b += static_cast<char>(i * 7 + 3);
    return b.substr(0, size);
}

// What a bundle's list and a split say of it.
struct ListLayout {
    const char* what;
    std::string bundle;
    std::vector<std::string> args;  // after the bundle
    std::string lines;              // the pieces' lines
    std::string list_end;           // the line that ends --list
    std::string past_end;           // --list's lines for pieces past the end
    std::string note;               // the note after "Completed.", "" for none
};

std::vector<ListLayout> layouts()
{
    std::vector<std::uint32_t> full;
    for (std::uint32_t k = 0; k < 128; ++k)
        full.push_back(512 + 10 * k);
    const std::string three = make_bundle(kPieces);
    return {
        {"a piece over the largest size, and a tail", bundle_of({0x200, 0x20a, 0x20a + 1261569}, 0x20a + 1261569 + 10), {},
         cutting(0, 0x200, 0x20a), "list ends at entry 2: size 1261569 over 1261568; 1261579 bytes in no piece\n", "",
         "bndsplit: OVER.BND: 1261579 bytes after 0x0000020a are in no piece (entry 2: size 1261569 over 1261568)\n"},
        {"the limit", three, {"2"}, cut_lines(kPieces, 2), "list ends at the limit of 2 pieces; 23 bytes in no piece\n", "",
         "bndsplit: OVER.BND: 23 bytes after 0x0000021c are in no piece (the limit of 2 pieces)\n"},
        {"a negative limit", three, {"0x-1"}, "", "list ends at the limit of -1 pieces; 51 bytes in no piece\n", "",
         "bndsplit: OVER.BND: 51 bytes after 0x00000200 are in no piece (the limit of -1 pieces)\n"},
        {"a full table", bundle_of(full, 512 + 1270), {}, [] {
             std::string s;
             for (int k = 0; k < 127; ++k)
                 s += cutting(k, 512 + 10 * k, 522 + 10 * k);
             return s;
         }(),
         "list ends at the table's 127 pieces; 0 bytes in no piece\n", "", ""},
        {"an end of 0, nothing left out", three, {}, cut_lines(kPieces, 3), "list ends at entry 4: end 0; 0 bytes in no piece\n",
         "", ""},
        {"a size of 0", bundle_of({512, 600, 600, 700}, 700), {}, cutting(0, 512, 600),
         "list ends at entry 2: size 0; 100 bytes in no piece\n", "",
         "bndsplit: OVER.BND: 100 bytes after 0x00000258 are in no piece (entry 2: size 0)\n"},
        {"an end below its start", bundle_of({0x2000, 0x3000, 0x2000}, 0x3000), {}, cutting(0, 0x2000, 0x3000),
         "list ends at entry 2: end 0x00002000 below start 0x00003000; 7680 bytes in no piece\n", "",
         "bndsplit: OVER.BND: 7680 bytes are in no piece, the first at 0x00000200 (entry 2: end 0x00002000 below start 0x00003000)\n"},
        {"bytes between pieces and after them", bundle_of({600, 700}, 800), {}, cutting(0, 600, 700),
         "list ends at entry 2: end 0; 188 bytes in no piece\n", "",
         "bndsplit: OVER.BND: 188 bytes are in no piece, the first at 0x00000200 (entry 2: end 0)\n"},
        {"no piece at all, as in a picture", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(992, 'p'), {}, "",
         "list ends at entry 1: end 0x0a1a0a0d below start 0x474e5089; 488 bytes in no piece\n", "",
         "bndsplit: OVER.BND: 488 bytes after 0x00000200 are in no piece (entry 1: end 0x0a1a0a0d below start 0x474e5089)\n"},
        {"a piece past the end", three.substr(0, three.size() - 1), {}, cut_lines(kPieces, 3),
         "list ends at entry 4: end 0; 0 bytes in no piece\n",
         "piece 2 ends at 0x00000233, past the end of the 562-byte bundle\n", ""},
    };
}

}  // namespace

TEST_F(Bndsplit, ListShowsThePiecesWhyTheListEndsAndWhatIsLeftOutAndWritesNothing)
{
    for (const ListLayout& c : layouts()) {
        clear();
        write_file(dir / "OVER.BND", c.bundle);
        std::vector<std::string> args = {"-l", "OVER.BND"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult r = split(args);
        EXPECT_EQ(r.status, 0) << c.what;
        // The words after each place say what the piece is: a table of their own below.
        std::string out = r.out;
        for (std::size_t at = 0; (at = out.find("] ", at)) != std::string::npos; ++at)
            out.erase(at + 1, out.find('\n', at) - at - 1 - (out[out.find('\n', at) - 1] == '\r'));
        EXPECT_EQ(out, console(c.lines + c.list_end + c.past_end)) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        EXPECT_EQ(file_names(dir), std::vector<std::string>{"OVER.BND"}) << c.what;
    }
    const std::vector<std::string> kinds = {flz0_literals("Some text.\n"), "GIF89a and the rest"};
    write_file(dir / "KIND.BND", make_bundle(kinds));
    RunResult r = split({"-l", "KIND.BND"});
    EXPECT_EQ(r.out, console("cutting ... 000          [00000200-00000215] FLZ0, 11 bytes decoded, text\n"
                             "cutting ... 001          [00000215-00000228] raw, GIF image\n"
                             "list ends at entry 3: end 0; 0 bytes in no piece\n"));
}

TEST_F(Bndsplit, ASplitThatLeavesBytesOutSaysHowManyAndWhereAfterCompleted)
{
    for (const ListLayout& c : layouts()) {
        if (!c.past_end.empty())
            continue;  // that split fails at the piece
        clear();
        write_file(dir / "OVER.BND", c.bundle);
        std::vector<std::string> args = {"OVER.BND"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult r = split(args);
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.out, console(c.lines + kCompleted)) << c.what;
        EXPECT_EQ(r.err, console(c.note)) << c.what;
    }
}

TEST_F(Bndsplit, DirectoryOptionPutsThePiecesThereWithEveryPieceRule)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    fs::create_directory(dir / "ro");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-d", "out/a", "DATA.BND"},
                                                 {"--directory=out/a", "DATA.BND"}, {"-dout/a", "DATA.BND", "3"}}) {
        fs::create_directories(dir / "out");
        RunResult r = split(args);
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_EQ(r.out, console(cut_lines(kPieces, 3) + kCompleted)) << args[0];
        expect_pieces(dir / "out" / "a", 3);
        EXPECT_FALSE(fs::exists(dir / "DATA")) << args[0];
        fs::remove_all(dir / "out");
    }
    // Made only for a piece.
    RunResult r = split({"-d", "none", "DATA.BND", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(fs::exists(dir / "none"));
}

TEST_F(Bndsplit, DecodeWritesEachFlz0PieceAsVarnixWouldLeaveIt)
{
    const std::string text = text_of(3000);
    const std::string packed = flz0_encode(text);
    const std::string padded = flz0_encode("short") + std::string(11, '\0');
    // An FLZ0 header that promises 100 bytes, and a stream of three.
    const std::string cut = flz0_header(100, 4) + std::string("\xFF" "abc", 4);
    const std::vector<std::string> pieces = {packed, "raw bytes", cut, padded};
    write_file(dir / "DATA.BND", make_bundle(pieces));
    RunResult r = split({"-x", "DATA.BND"});
    EXPECT_EQ(r.status, 1);
    const std::string lines = progress_for(pieces, 4, "cutting");
    std::vector<std::string> line;
    for (std::size_t at = 0; at < lines.size(); at = lines.find('\n', at) + 1)
        line.push_back(lines.substr(at, lines.find('\n', at) + 1 - at));
    EXPECT_EQ(r.out, console(line[0] + "compressed = " + std::to_string(packed.size() - 8) + " -> original = 3000\n" +
                             line[1] + line[2] + "compressed = 4 -> original = 100\n" + line[3] +
                             "compressed = " + std::to_string(padded.size() - 19) + " -> original = 5\n" + kCompleted));
    EXPECT_TRUE(is_failure(r.err, msg::kCorrupt, "bndsplit", "DATA/002", "stream ends after 3 of 100 bytes"));
    EXPECT_EQ(file_names(dir / "DATA"), (std::vector<std::string>{"000", "000.BAK", "001", "002", "003", "003.BAK", kRecordName}));
    EXPECT_EQ(read_file(dir / "DATA" / "000"), text);
    EXPECT_EQ(read_file(dir / "DATA" / "000.BAK"), packed);
    EXPECT_EQ(read_file(dir / "DATA" / "001"), "raw bytes");
    EXPECT_EQ(read_file(dir / "DATA" / "002"), cut);
    EXPECT_EQ(read_file(dir / "DATA" / "003"), "short");
    EXPECT_EQ(read_file(dir / "DATA" / "003.BAK"), padded);
    // Split again with a .BAK gone: the pair is written again, though the
    // piece is what the split writes.
    fs::remove(dir / "DATA" / "000.BAK");
    EXPECT_EQ(split({"-x", "DATA.BND"}).status, 1);
    EXPECT_EQ(read_file(dir / "DATA" / "000.BAK"), packed);
}

TEST_F(Bndsplit, AfterAWholeSplitTheDirectoryHoldsThatBundlesPiecesOnly)
{
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string removed;  // the lines, in order
        std::vector<std::string> left;
    } cases[] = {
        {"a whole split", {"DATA.BND"},
         "removing ... 001.BAK\n|removing ... 003\nremoving ... 004\nremoving ... 004.BAK\nremoving ... 007.BAK\n",
         {"000", "0001", "001", "002", "005.BAK.old", "0050", "006", "123-notes.txt", kRecordName, "notes.txt"}},
        {"cut short by the limit: only the backups beside pieces written go", {"DATA.BND", "2"},
         "removing ... 001.BAK\n|", {"000", "0001", "001", "002", "003", "004", "004.BAK", "005.BAK.old", "0050", "006",
                                      "007.BAK", "123-notes.txt", kRecordName, "notes.txt"}},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir / "DATA" / "006");  // a directory is never removed
        // Names that merely start with three digits are the user's own.
        for (const char* earlier : {"000", "001", "001.BAK", "002", "003", "004", "004.BAK", "007.BAK", "notes.txt", "0001",
                                    "0050", "123-notes.txt", "005.BAK.old"})
            write_file(dir / "DATA" / earlier, std::string("earlier ") + earlier);
        write_file(dir / "DATA.BND", make_bundle(kPieces));
        RunResult r = split(c.args);
        EXPECT_EQ(r.status, 0) << c.what;
        const std::string removed_beside = c.removed.substr(0, c.removed.find('|'));
        const std::string removed_beyond = c.removed.substr(c.removed.find('|') + 1);
        const std::string lines = cut_lines(kPieces, c.args.size() == 2 ? 2 : 3);
        const std::size_t second = lines.find('\n') + 1;
        EXPECT_EQ(r.out, console(lines.substr(0, second) + lines.substr(second, lines.find('\n', second) + 1 - second) +
                                 removed_beside + lines.substr(lines.find('\n', second) + 1) + removed_beyond +
                                 kCompleted))
            << c.what;
        EXPECT_EQ(file_names(dir / "DATA"), c.left) << c.what;
        EXPECT_EQ(read_file(dir / "DATA" / "notes.txt"), "earlier notes.txt") << c.what;
    }
}
