// End-to-end tests of the built bndjoin: bundles built from pieces, split
// back by bndsplit, and what it refuses.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "bundle.hpp"
#include "flz0_files.hpp"
#include "messages.hpp"
#include "support.hpp"

namespace {

// random_pieces -- n pieces of sizes from 1 to most, seeded
std::vector<std::string> random_pieces(std::size_t n, std::size_t most, unsigned seed)
{
    std::vector<std::string> pieces;
    for (std::size_t k = 0; k < n; ++k)
        pieces.push_back(random_bytes(1 + (seed * 7919 + k * 104729) % most, seed + static_cast<unsigned>(k)));
    return pieces;
}

std::string joining(const std::vector<std::string>& pieces)
{
    return progress_for(pieces, pieces.size(), "joining") + "Completed.\n";
}

// name3 -- a piece's file name, written out here apart from the tools'
std::string name3(std::size_t k)
{
    char name[24];
    std::snprintf(name, sizeof name, "%03zu", k);
    return name;
}

class Bndjoin : public ScratchTest {
protected:
    RunResult join(const std::vector<std::string>& args)
    {
        return run_tool(BNDJOIN_EXE, "bndjoin", args, dir);
    }
    void write_pieces(const fs::path& piece_dir, const std::vector<std::string>& pieces)
    {
        fs::create_directories(piece_dir);
        for (std::size_t k = 0; k < pieces.size(); ++k)
            write_file(piece_dir / name3(k), pieces[k]);
    }
};

}  // namespace

TEST_F(Bndjoin, PiecesMakeTheBundleAndBndsplitGivesThemBack)
{
    const struct {
        const char* what;
        std::vector<std::string> pieces;
    } cases[] = {
        {"one byte", {"x"}},
        {"a few", random_pieces(5, 3000, 1)},
        {"the most pieces a table holds", random_pieces(127, 40, 2)},
        {"the largest pieces", {random_bytes(1261568u, 3), "y", random_bytes(1261568u, 4)}},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir / "back");
        write_pieces(dir / "DATA", c.pieces);
        RunResult r = join({"DATA.BND"});
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.out, console(joining(c.pieces))) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        EXPECT_TRUE(read_file(dir / "DATA.BND") == make_bundle(c.pieces)) << c.what;
        EXPECT_EQ(file_names(dir), (std::vector<std::string>{"DATA", "DATA.BND", "back"})) << c.what;

        fs::copy_file(dir / "DATA.BND", dir / "back" / "DATA.BND");
        ASSERT_EQ(run_tool(BNDSPLIT_EXE, "bndsplit", {"DATA.BND"}, dir / "back").status, 0) << c.what;
        std::vector<std::string> names = file_names(dir / "DATA");
        names.push_back("bndtools-split.txt");  // what the second split was cut from
        EXPECT_EQ(file_names(dir / "back" / "DATA"), names) << c.what;
        for (std::size_t k = 0; k < c.pieces.size(); ++k)
            EXPECT_TRUE(read_file(dir / "back" / "DATA" / name3(k)) == c.pieces[k]);
    }
}

TEST_F(Bndjoin, SplitThenJoinGivesBackTheBundleAndKeepsTheOldOne)
{
    const std::string bundle = make_bundle(random_pieces(9, 5000, 5));
    write_file(dir / "SE", bundle);
    ASSERT_EQ(run_tool(BNDSPLIT_EXE, "bndsplit", {"SE"}, dir).status, 0);
    // What bndsplit and varnix leave beside the pieces, and notes, are no pieces.
    for (const char* other : {"003.BAK", "004.$$$", "notes.txt", "0001", "12", "1000"})
        write_file(dir / "SE.d" / other, "not a piece");
    RunResult r = join({"SE"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(read_file(dir / "SE") == bundle);
    EXPECT_TRUE(read_file(dir / "SE.BAK") == bundle);
    EXPECT_EQ(file_names(dir), (std::vector<std::string>{"SE", "SE.BAK", "SE.d"}));
}

TEST_F(Bndjoin, RefusalsWriteNothingAndLeaveTheBundleAsItWas)
{
    const std::string old = make_bundle({"old bundle"});
    const std::string too_big(1261568u + 1, 'b');
    // A piece directory of DATA.BND as it is set up, what is said, and of which file.
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;  // name, content; "/" makes a directory
        const msg::Text* text;
        int status;
        const char* named;
    } cases[] = {
        {"a gap before a piece", {{"000", "a"}, {"001", "b"}, {"003", "d"}}, &msg::kBadPiece, 1, "DATA/003"},
        {"an empty piece", {{"000", "a"}, {"001", ""}}, &msg::kBadPiece, 1, "DATA/001"},
        {"a piece over the largest", {{"000", "a"}, {"001", too_big}}, &msg::kBadPiece, 1, "DATA/001"},
        {"a directory as a piece", {{"000", "a"}, {"001", "/"}}, &msg::kBadPiece, 1, "DATA/001"},
        {"no piece 000", {{"001", "b"}}, &msg::kCannotOpen, 1, "DATA"},
        {"no piece at all", {{"notes", "n"}}, &msg::kCannotOpen, 1, "DATA"},
        {"a backup in the way", {{"000", "a"}, {"../DATA.BND.BAK", "precious"}}, &msg::kCannotRename, 2, "DATA.BND.BAK"},
        {"a piece too long to be stored compressed like its FLZ0 .BAK",
         {{"000", std::string(70000, 'z')}, {"000.BAK", "FLZ0\1\0\1\0\xFFz"}}, &msg::kBadPiece, 1, "DATA/000"},
        {"a piece that compresses past what readers take, beside its FLZ0 .BAK",
         {{"000", random_bytes(65000, 3)}, {"000.BAK", "FLZ0\1\0\1\0\xFFz"}}, &msg::kBadPiece, 1, "DATA/000"},
        {"an FLZ0 .BAK that decodes to its piece, one byte over the largest piece with what follows its stream",
         {{"000", "a"}, {"000.BAK", flz0_literals("a") + std::string(too_big.size() - flz0_literals("a").size(), '\0')}},
         &msg::kBadPiece, 1, "DATA/000.BAK"},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir / "DATA");
        write_file(dir / "DATA.BND", old);
        for (const auto& [name, content] : c.files) {
            if (content == "/")
                fs::create_directory(dir / "DATA" / name);
            else
                write_file(dir / "DATA" / name, content);
        }
        const std::vector<std::string> before = file_names(dir);
        RunResult r = join({"DATA.BND"});
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.out, "") << c.what;
        EXPECT_TRUE(is_failure(r.err, *c.text, "bndjoin", c.named)) << c.what;
        EXPECT_EQ(read_file(dir / "DATA.BND"), old) << c.what;
        EXPECT_EQ(file_names(dir), before) << c.what;
    }
}

TEST_F(Bndjoin, MoreThan127PiecesAreRefused)
{
    write_pieces(dir / "DATA", std::vector<std::string>(128, "p"));
    EXPECT_TRUE(fails_as(join({"DATA.BND"}), 1, msg::kBadPiece, "bndjoin", "DATA/127", "a bundle holds at most 127 pieces"));
    EXPECT_FALSE(fs::exists(dir / "DATA.BND"));
}

TEST_F(Bndjoin, WhatIsNoRegularFileIsRefused)
{
    fs::create_directories(dir / "D");
    write_pieces(dir / "DIR", {"piece"});
    fs::create_directory(dir / "DIR.BND");  // a bundle that is a directory cannot be kept as a backup
    std::vector<std::pair<std::string, const msg::Text*>> cases = {{"MISSING.BND", &msg::kCannotOpen},
                                                                   {"DIR.BND", &msg::kCannotOpen}};
#ifndef _WIN32
    write_pieces(dir / "FIFO", {"a"});
    ASSERT_EQ(::mkfifo((dir / "FIFO" / "001").c_str(), 0600), 0);  // no writer: opening it would wait forever
    cases.push_back({"FIFO.BND", &msg::kBadPiece});
    write_pieces(dir / "LINKED", {"a", "b"});
    fs::create_symlink("../DIR/000", dir / "LINKED" / "002");  // a link to a piece is read
    // A bundle that is a link: replacing it would break the link, and
    // following it would write where the user did not name.
    write_pieces(dir / "SYM", {"new"});
    write_file(dir / "TARGET.BND", make_bundle({"target"}));
    fs::create_symlink("TARGET.BND", dir / "SYM.BND");
    cases.push_back({"SYM.BND", &msg::kCannotOpen});
#endif
    for (const auto& [bundle, text] : cases) {
        RunResult r = join({bundle});
        EXPECT_EQ(r.status, 1) << bundle;
        EXPECT_EQ(r.out, "") << bundle;
        EXPECT_TRUE(r.err.starts_with(message(*text))) << bundle << ": " << r.err;
    }
    EXPECT_TRUE(fs::is_directory(dir / "DIR.BND"));
    if (!kWindows) {
        EXPECT_TRUE(fs::is_symlink(dir / "SYM.BND"));
        EXPECT_EQ(read_file(dir / "TARGET.BND"), make_bundle({"target"}));
        EXPECT_FALSE(fs::exists(dir / "SYM.BND.BAK"));
        EXPECT_EQ(join({"LINKED.BND"}).status, 0);
        EXPECT_EQ(read_file(dir / "LINKED.BND"), make_bundle({"a", "b", "piece"}));
    }
}


TEST_F(Bndjoin, DirectoryOptionTakesThePiecesFromThereForOneBundleOnly)
{
    const std::vector<std::string> pieces = {"first", "second"};
    write_pieces(dir / "elsewhere", pieces);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-d", "elsewhere", "NEW.BND"},
                                                 {"--directory=elsewhere", "NEW.BND"}}) {
        fs::remove(dir / "NEW.BND");
        fs::remove(dir / "NEW.BND.BAK");
        RunResult r = join(args);
        EXPECT_EQ(r.status, 0) << args[0] << r.err;
        EXPECT_EQ(r.out, console(joining(pieces))) << args[0];
        EXPECT_EQ(read_file(dir / "NEW.BND"), make_bundle(pieces)) << args[0];
    }
    RunResult r = join({"-d", "elsewhere", "A.BND", "B.BND"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, console("Usage: bndjoin [-n] [-d DIR] [--as-is] [--align N] [.BND type file]...\n"));
    EXPECT_FALSE(fs::exists(dir / "A.BND"));
}

TEST_F(Bndjoin, AnOldLayoutThatCannotBeKeptIsSaidWhyAfterCompleted)
{
    const std::vector<std::string> pieces = {"first", "second"};
    const struct {
        const char* what;
        std::string old;
        std::string note;
    } cases[] = {
        {"another count", make_bundle({"only one"}),
         "bndjoin: DATA.BND: the old bundle's layout is not kept: its table lists 1 pieces, and there are 2 now\n"},
        {"piece 0 inside the table", [] {
             std::string b = make_bundle({"a", "b"});
             b[0] = 100;  // entry 0 is 100
             b[1] = 0;
             return b;
         }(),
         "bndjoin: DATA.BND: the old bundle's layout is not kept: its piece 0 starts inside its table\n"},
        {"pieces past the end", make_bundle({"aaaa", "bbbb"}).substr(0, 515),
         "bndjoin: DATA.BND: the old bundle's layout is not kept: its last piece ends past its end\n"},
        {"kept: no note", make_bundle({"aaaa", "bbbb"}) + "tail", ""},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir);
        write_pieces(dir / "DATA", pieces);
        write_file(dir / "DATA.BND", c.old);
        RunResult r = join({"DATA.BND"});
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.out, console(joining(pieces))) << c.what;
        EXPECT_EQ(r.err, console(c.note)) << c.what;
        EXPECT_EQ(read_file(dir / "DATA.BND"), c.note.empty() ? make_bundle(pieces) + "tail" : make_bundle(pieces))
            << c.what;
    }
    // From a split record into a name that holds no bundle: no old bundle,
    // so no note, also where the record's layout is not kept.
    clear();
    std::string in_table = make_bundle({"a", "b"});
    in_table[0] = static_cast<char>(0xFC);  // entry 0 is 508
    in_table[1] = 1;
    write_file(dir / "IN.BND", in_table);
    ASSERT_EQ(run_tool(BNDSPLIT_EXE, "bndsplit", {"-d", "IN", "IN.BND"}, dir).status, 0);
    append_file(dir / "IN" / "000", "+");
    const RunResult r = join({"-d", "IN", "FRESH.BND"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST_F(Bndjoin, APieceBesideAFileOfItsNameDotBakIsStoredAsThatPairSays)
{
    // Without a record: the pair varnix leaves (NNN decoded from NNN.BAK)
    // gives NNN.BAK's bytes back, whatever NNN is, also where NNN is itself
    // an FLZ0 file (content compressed twice); anything else is NNN as it
    // stands, unless only NNN was the FLZ0 file's content and changed.
    const std::string text = text_of(1500);
    const std::string inner = flz0_encode(text);
    const struct {
        const char* what;
        std::string piece;
        std::string backup;
        std::string stored;
        bool as_is = false;
        bool backup_dir = false;  // NNN.BAK a directory
    } rows[] = {
        {"a .BAK that is no FLZ0 file", "the piece", "notes, not FLZ0", "the piece"},
        {"the pair varnix leaves", text, flz0_literals(text), flz0_literals(text)},
        {"an FLZ0 file decoded from its .BAK: compressed twice, as it was", inner, flz0_literals(inner),
         flz0_literals(inner)},
        {"an FLZ0 file its .BAK does not decode to: as it stands", inner, flz0_literals("another"), inner},
        {"a piece its .BAK does not decode to: compressed again", text + "!", flz0_literals(text), flz0_encode(text + "!")},
        {"--as-is: the piece as it stands, whatever its .BAK", text, flz0_literals(text), text, true},
        {"65,535 bytes, the most an FLZ0 file holds, beside a .BAK of another: compressed again", text_of(65535),
         flz0_literals("another"), flz0_encode(text_of(65535))},
        {"a directory of that name: the piece as it stands", text, "", text, false, true},
    };
    for (const auto& row : rows) {
        fs::remove_all(dir);
        fs::create_directories(dir / "DATA");
        write_file(dir / "DATA" / "000", row.piece);
        if (row.backup_dir)
            fs::create_directory(dir / "DATA" / "000.BAK");
        else
            write_file(dir / "DATA" / "000.BAK", row.backup);
        write_file(dir / "DATA" / "001", "last");
        std::vector<std::string> args = {"DATA.BND"};
        if (row.as_is)
            args.insert(args.begin(), "--as-is");
        const RunResult r = join(args);
        EXPECT_EQ(r.status, 0) << row.what << ": " << r.err;
        EXPECT_EQ(read_file(dir / "DATA.BND"), make_bundle({row.stored, "last"})) << row.what;
    }
}
