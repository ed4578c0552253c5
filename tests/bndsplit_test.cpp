// End-to-end tests of the built bndsplit: exact output bytes, exit status and
// the files left behind.
#include "bundle.hpp"
#include "messages.hpp"
#include "support.hpp"

namespace {

const std::string kUsage = "Usage: bndsplit [.BND type file] [maxfiles]\n";
const std::string kCompleted(msg::kCompleted);

// Pieces that hold the bytes a text-mode stream would alter.
const std::vector<std::string> kPieces = {
    std::string("line one\nline two\r\n\x1a" "end", 21),
    std::string("\0\xff\r\r\n\n\x1a", 7),
    "third piece, plain text",
};

std::string le32(std::uint32_t v)
{
    std::string s(4, '\0');
    for (int b = 0; b < 4; ++b)
        s[b] = static_cast<char>(v >> (8 * b));
    return s;
}

// make_bundle -- the table for the pieces, then the pieces, end to end
std::string make_bundle(const std::vector<std::string>& pieces)
{
    std::string table;
    std::uint32_t offset = kTableSize;
    table += le32(offset);
    for (const std::string& p : pieces)
        table += le32(offset += static_cast<std::uint32_t>(p.size()));
    table.resize(kTableSize, '\0');
    std::string bundle = table;
    for (const std::string& p : pieces)
        bundle += p;
    return bundle;
}

std::string progress(int k, std::uint32_t start, std::uint32_t end)
{
    return progress_line(Piece{k, start, end});
}

// The lines printed for the first n of the given pieces.
std::string progress_for(const std::vector<std::string>& pieces, std::size_t n)
{
    std::string out;
    std::uint32_t offset = kTableSize;
    for (std::size_t k = 0; k < n; ++k) {
        out += progress(static_cast<int>(k), offset, offset + static_cast<std::uint32_t>(pieces[k].size()));
        offset += static_cast<std::uint32_t>(pieces[k].size());
    }
    return out;
}

class Bndsplit : public ScratchTest {
protected:
    RunResult split(const std::vector<std::string>& args, const RunOptions& options = {})
    {
        return run_tool(BNDSPLIT_EXE, "bndsplit", args, dir, options);
    }
    void expect_pieces(const fs::path& piece_dir, std::size_t n)
    {
        std::vector<std::string> names;
        for (std::size_t k = 0; k < n; ++k) {
            names.push_back(piece_file_name(static_cast<int>(k)));
            EXPECT_EQ(read_file(piece_dir / names.back()), kPieces[k]) << names.back();
        }
        EXPECT_EQ(file_names(piece_dir), names);
    }
};

}  // namespace

TEST_F(Bndsplit, CutsEveryPieceIntoTheDirectoryNamedAfterTheBundle)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    RunResult r = split({"DATA.BND"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, console(progress_for(kPieces, 3) + kCompleted));
    EXPECT_EQ(r.err, "");
    expect_pieces(dir / "DATA", 3);
    EXPECT_EQ(read_file(dir / "DATA.BND"), make_bundle(kPieces));
}

TEST_F(Bndsplit, WrongArgumentCountPrintsUsageAndTouchesNothing)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    for (const auto& args : {std::vector<std::string>{}, {"DATA.BND", "1", "2", "3"}}) {
        RunResult r = split(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, console(kUsage));
        EXPECT_EQ(file_names(dir), std::vector<std::string>{"DATA.BND"});
    }
    RunResult r = run_tool(BNDSPLIT_EXE, "/opt/tools/bs", {}, dir);
    EXPECT_EQ(r.err, console("Usage: /opt/tools/bs [.BND type file] [maxfiles]\n"));
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
        EXPECT_EQ(r.out, console(progress_for(kPieces, c.pieces) + kCompleted)) << c.args[1];
        expect_pieces(dir / "DATA", c.pieces);
    }
}

TEST_F(Bndsplit, EmptyTableStillMakesTheDirectory)
{
    write_file(dir / "EMPTY.BND", std::string(kTableSize, '\0'));
    RunResult r = split({"EMPTY.BND"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, console(kCompleted));
    EXPECT_TRUE(fs::is_directory(dir / "EMPTY"));
    EXPECT_TRUE(file_names(dir / "EMPTY").empty());
}

TEST_F(Bndsplit, SecondRunReusesTheDirectoryAndOverwritesPieces)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    fs::create_directory(dir / "DATA");
    write_file(dir / "DATA" / "000", std::string(5000, 'x'));
    ASSERT_EQ(split({"DATA.BND"}).status, 0);
    RunResult r = split({"DATA.BND"});
    EXPECT_EQ(r.status, 0);
    expect_pieces(dir / "DATA", 3);
}

TEST_F(Bndsplit, DirectoryNameComesFromTheLastDotOrGetsDotD)
{
    fs::create_directories(dir / "sub");
    fs::create_directories(dir / "pack.old");
    const struct {
        const char* bundle;
        const char* piece_dir;
    } cases[] = {{"SE", "SE.d"}, {"sub/SE", "sub/SE.d"}, {"pack.old/SE", "pack"}, {"sub/A.B.BND", "sub/A.B"}};
    for (const auto& c : cases) {
        write_file(dir / c.bundle, make_bundle(kPieces));
        RunResult r = split({c.bundle});
        EXPECT_EQ(r.status, 0) << c.bundle;
        expect_pieces(dir / c.piece_dir, 3);
    }
}

TEST_F(Bndsplit, LongArgumentsHaveNoFixedLimit)
{
    if (kWindows)
        GTEST_SKIP() << "Windows file calls refuse paths of more than 260 characters (MAX_PATH)";
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
    EXPECT_EQ(r.out, console(progress(0, 4, 6) + kCompleted));
    EXPECT_EQ(read_file(dir / "TINY" / "000"), std::string("\x06\0", 2));
}

TEST_F(Bndsplit, PieceOffsetsBeyond2GiBAreReachable)
{
    const std::uint32_t start = 0x80000000u;
    const std::string payload = "far away\n\x1a!";
    const std::uint32_t end = start + static_cast<std::uint32_t>(payload.size());
    std::string table = le32(start) + le32(end);
    table.resize(kTableSize, '\0');
    write_file(dir / "FAR.BND", table);
    fs::resize_file(dir / "FAR.BND", start);  // sparse: no blocks behind the hole
    append_file(dir / "FAR.BND", payload);
    RunResult r = split({"FAR.BND"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, console(progress(0, start, end) + kCompleted));
    EXPECT_EQ(read_file(dir / "FAR" / "000"), payload);
}

TEST_F(Bndsplit, UnopenableOrUnreadableBundleCreatesNothing)
{
    fs::create_directory(dir / "DIR.BND");
    for (const char* bundle : {"MISSING.BND", "DIR.BND"}) {
        RunResult r = split({bundle});
        EXPECT_EQ(r.status, 1) << bundle;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, console(msg::kCannotOpen));
    }
    EXPECT_EQ(file_names(dir), std::vector<std::string>{"DIR.BND"});
}

TEST_F(Bndsplit, FileInPlaceOfThePieceDirectoryStopsBeforeAnyPiece)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    write_file(dir / "DATA", "not a directory");
    RunResult r = split({"DATA.BND"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, console(msg::kWriteFailed));
    EXPECT_EQ(read_file(dir / "DATA"), "not a directory");
    EXPECT_EQ(file_names(dir), (std::vector<std::string>{"DATA", "DATA.BND"}));
}

TEST_F(Bndsplit, DirectoryInPlaceOfAPieceFileStopsThere)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    fs::create_directories(dir / "DATA" / "001");
    RunResult r = split({"DATA.BND"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, console(progress_for(kPieces, 2)));
    EXPECT_EQ(r.err, console(msg::kWriteFailed));
    EXPECT_EQ(read_file(dir / "DATA" / "000"), kPieces[0]);
    EXPECT_TRUE(fs::is_directory(dir / "DATA" / "001"));
    EXPECT_EQ(file_names(dir / "DATA"), (std::vector<std::string>{"000", "001"}));
}

TEST_F(Bndsplit, FullDiskRemovesThePieceItFailedOn)
{
    if (kWindows)
        GTEST_SKIP() << "a piece name cannot be made a link to the full device from a Windows program; "
                        "standard output on that device is tested instead";
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    fs::create_directory(dir / "DATA");
    fs::create_symlink("/dev/full", dir / "DATA" / "001");
    RunResult r = split({"DATA.BND"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, console(progress_for(kPieces, 2)));
    EXPECT_EQ(r.err, console(msg::kWriteFailed));
    expect_pieces(dir / "DATA", 1);
}

TEST_F(Bndsplit, FileSizeLimitFailsTheWriteThatCrossesIt)
{
    if (kWindows)
        GTEST_SKIP() << "Windows has no per-process file size limit";
    std::vector<std::string> big = {std::string(3000, 'a'), std::string(9000, 'b')};
    write_file(dir / "BIG.BND", make_bundle(big));
    RunOptions limited;
    limited.file_size_limit = 8192;
    RunResult r = split({"BIG.BND"}, limited);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, console(msg::kWriteFailed));
    EXPECT_EQ(read_file(dir / "BIG" / "000"), big[0]);
    EXPECT_EQ(file_names(dir / "BIG"), std::vector<std::string>{"000"});
}

TEST_F(Bndsplit, LostStandardOutputIsAFailure)
{
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    RunOptions lost;
    lost.stdout_path = kFullDevice;
    RunResult r = split({"DATA.BND"}, lost);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, console(msg::kWriteFailed));
}

TEST_F(Bndsplit, BackslashSeparatesDirectoriesOnWindows)
{
    if (!kWindows)
        GTEST_SKIP() << "a backslash is an ordinary file name character here";
    fs::create_directory(dir / "disk1");
    write_file(dir / "disk1" / "SE.BND", make_bundle(kPieces));
    RunResult r = split({"disk1\\SE.BND"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, console(progress_for(kPieces, 3) + kCompleted));
    expect_pieces(dir / "disk1" / "SE", 3);
}

TEST_F(Bndsplit, MessagesAreShiftJisBytesWithTheConsoleLineEnd)
{
    const std::string eol = kWindows ? "\r\n" : "\n";
    RunResult r = split({"MISSING.BND"});
    EXPECT_EQ(r.err, "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1." + eol);
    write_file(dir / "DATA.BND", make_bundle(kPieces));
    r = split({"DATA.BND", "1"});
    EXPECT_EQ(r.out, "cutting ... 000          [00000200-00000215]" + eol + "Completed." + eol);
}

TEST_F(Bndsplit, PiecePastTheEndIsNeverWrittenAndEarlierPiecesStay)
{
    std::string bundle = make_bundle(kPieces);
    bundle.resize(bundle.size() - 1);
    write_file(dir / "CUT.BND", bundle);
    fs::create_directory(dir / "CUT");
    write_file(dir / "CUT" / "002", "from an earlier run");
    RunResult r = split({"CUT.BND"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, console(progress_for(kPieces, 3)));
    EXPECT_EQ(r.err, console(msg::kReadFailed));
    EXPECT_EQ(read_file(dir / "CUT" / "000"), kPieces[0]);
    EXPECT_EQ(read_file(dir / "CUT" / "001"), kPieces[1]);
    EXPECT_EQ(read_file(dir / "CUT" / "002"), "from an earlier run");
}

TEST_F(Bndsplit, BundleCutAtEveryOffsetNeverYieldsAnInventedByte)
{
    const std::string whole = make_bundle(kPieces);
    for (std::size_t len = 0; len <= whole.size(); ++len) {
        const std::string cut = whole.substr(0, len);
        write_file(dir / "T.BND", cut);
        fs::remove_all(dir / "T");
        RunResult r = split({"T.BND"});

        std::array<std::uint8_t, kTableSize> table{};
        std::copy_n(cut.begin(), std::min(cut.size(), kTableSize), table.begin());
        std::vector<std::string> expected_names;
        bool fits = true;
        for (const Piece& p : enumerate_pieces(table, kDefaultMaxFiles)) {
            if (p.end > cut.size()) {
                fits = false;
                break;
            }
            std::string name = piece_file_name(p.index);
            expected_names.push_back(name);
            EXPECT_EQ(read_file(dir / "T" / name), cut.substr(p.start, p.size())) << "length " << len;
        }
        EXPECT_EQ(file_names(dir / "T"), expected_names) << "length " << len;
        EXPECT_EQ(r.status, fits ? 0 : 1) << "length " << len;
        EXPECT_EQ(r.err, console(fits ? "" : std::string(msg::kReadFailed))) << "length " << len;
    }
}
