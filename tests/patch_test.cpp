// bnddiff and bndpatch: a patch made between two bundles gives the new one
// back from the old, and the old from the new with -R; every bundle it was
// not made for, every damaged patch, is refused with nothing written.
#include <algorithm>

#include "encoders.hpp"
#include "fault_fs.hpp"
#include "flz0_files.hpp"
#include "programs.hpp"
#include "flz0_reference.hpp"
#include "pack.hpp"
#include "patch.hpp"
#include "record.hpp"
#include "sha256.hpp"
#include "hex.hpp"
#include "support.hpp"
#include "text.hpp"

namespace {

using Pieces = std::vector<std::string>;

std::string lines(int first, int count, const std::string& word)
{
    std::string s;
    for (int i = first; i < first + count; ++i)
        s += "Line " + std::to_string(i) + ": the " + word + " says " + std::to_string(i * 7 % 13) + ".\n";
    return s;
}

// packed -- text as the join stores an FLZ0 piece it compressed again
std::string packed(const std::string& text)
{
    const std::optional<std::vector<std::uint8_t>> p = flz0_pack(bytes_of(text));
    return p ? std::string(p->begin(), p->end()) : "";
}

// laid_out -- a bundle of pieces with bytes before piece 0 and after the last
std::string laid_out(const std::string& head, const Pieces& pieces, const std::string& tail)
{
    std::vector<std::uint32_t> entries = {static_cast<std::uint32_t>(512 + head.size())};
    for (const std::string& p : pieces)
        entries.push_back(entries.back() + static_cast<std::uint32_t>(p.size()));
    std::string b = table_bytes(entries) + head;
    for (const std::string& p : pieces)
        b += p;
    return b + tail;
}

// The old bundle's pieces: an FLZ0 file from another compressor than the
// join's (literals only), two from the join's, a larger raw piece, and text.
const Pieces kOld = {flz0_literals(lines(0, 300, "first")), random_bytes(200000, 5), flz0_encode(lines(0, 500, "third")),
                     "a raw piece of text\n", flz0_encode(lines(9, 200, "fifth"))};
const std::string kHead = "between the table and piece 0";
const std::string kTail = "after the last piece";

// with_entry -- a bundle with one entry of its table set
std::string with_entry(std::string bundle, std::size_t k, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bundle[4 * k + i] = static_cast<char>(value >> (8 * i));
    return bundle;
}

Pieces edited(Pieces pieces, std::size_t k, const std::string& piece)
{
    if (k >= pieces.size())
        pieces.resize(k + 1);
    pieces[k] = piece;
    return pieces;
}

// Edits each a patch is made of, as the join would leave them.
// with_line -- text with a line put in before line 120, as a translation would
std::string with_line(const std::string& word, int count)
{
    return lines(0, 120, word) + "A line the translation added.\n" + lines(120, count - 120, word);
}
const std::string kEditedText = with_line("first", 300);
const std::string kGrown = kOld[1] + "grown by a few bytes";

class Patches : public ScratchTest {
protected:
    RunResult run(const Program& p, const std::vector<std::string>& args) { return run_tool(p.exe, p.name, args, dir); }
    // patch_from -- PATCH made from OLD.BND to a bundle
    void patch_from(const std::string& old_bundle, const std::string& new_bundle, const std::string& patch = "P")
    {
        write_file(dir / "OLD.BND", old_bundle);
        write_file(dir / "NEW.BND", new_bundle);
        RunResult r = run(kBnddiff, {"OLD.BND", "NEW.BND", patch});
        ASSERT_EQ(r.status, 0) << r.err;
    }
};

TEST_F(Patches, APatchGivesTheNewBundleAndReverseTheOldByteForByte)
{
    const struct {
        const char* name;
        std::string old_bundle;
        std::string new_bundle;
        const char* says;  // what bnddiff says of the change
    } cases[] = {
        {"an FLZ0 piece's text edited", laid_out(kHead, kOld, kTail),
         laid_out(kHead, edited(kOld, 0, packed(kEditedText)), kTail), "compressed again from its content"},
        {"a raw piece grown", laid_out(kHead, kOld, kTail), laid_out(kHead, edited(kOld, 1, kGrown), kTail),
         "200000 -> 200020 bytes, from its stored bytes"},
        {"a piece added", laid_out(kHead, kOld, kTail), laid_out(kHead, edited(kOld, 5, "new piece"), kTail),
         "piece 005: added, 9 bytes"},
        {"the last piece removed", laid_out(kHead, kOld, kTail),
         laid_out(kHead, Pieces(kOld.begin(), kOld.end() - 1), kTail), "piece 004: removed"},
        {"the bytes after the pieces changed", laid_out(kHead, kOld, kTail), laid_out(kHead, kOld, "another tail"),
         "the table and the bytes outside the pieces: changed"},
        {"a raw piece changed in place", laid_out(kHead, kOld, kTail),
         laid_out(kHead, edited(kOld, 3, "A RAW PIECE OF TEXT\n"), kTail), "piece 003: changed, 20 -> 20 bytes"},
        {"a piece added to a table whose list ended below its start", with_entry(laid_out(kHead, kOld, kTail), 6, 1),
         laid_out(kHead, edited(kOld, 5, "new piece"), kTail), "the table and the bytes outside the pieces: changed"},
        {"a bundle with no bytes outside its pieces", laid_out("", kOld, ""),
         laid_out("", edited(edited(kOld, 2, packed(lines(0, 499, "third"))), 3, "shorter"), ""),
         "piece 003: changed, 20 -> 7 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(dir / "OLD.BND", c.old_bundle);
        write_file(dir / "NEW.BND", c.new_bundle);
        RunResult r = run(kBnddiff, {"OLD.BND", "NEW.BND", "P"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_EQ(run(kBndpatch, {"-l", "P"}).out + "", r.out.substr(0, r.out.find("patch: ")));

        write_file(dir / "B.BND", c.old_bundle);
        r = run(kBndpatch, {"B.BND", "P"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file(dir / "B.BND"), c.new_bundle);
        EXPECT_EQ(read_file(dir / "B.BND.BAK"), c.old_bundle);
        r = run(kBndpatch, {"-R", "B.BND", "P"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file(dir / "B.BND"), c.old_bundle);
        EXPECT_EQ(read_file(dir / "B.BND.BAK"), c.old_bundle);
        r = run(kBndpatch, {"-o", "C.BND", "OLD.BND", "P"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file(dir / "C.BND"), c.new_bundle);
        for (const char* name : {"B.BND", "B.BND.BAK", "C.BND", "P"})
            fs::remove(dir / name);
    }
}

TEST_F(Patches, AnFlz0PieceEditedCostsItsChangeNotItsCompressedBytes)
{
    // The old piece was compressed as the join compresses, so the patch
    // holds the change of content both ways.
    const Pieces old_pieces = edited(kOld, 0, packed(lines(0, 1500, "first")));
    patch_from(laid_out(kHead, old_pieces, kTail),
               laid_out(kHead, edited(old_pieces, 0, packed(with_line("first", 1500))), kTail));
    EXPECT_LT(fs::file_size(dir / "P"), 400u);
    EXPECT_GT(packed(with_line("first", 1500)).size(), 6000u);
}

// A patch of the first version, as bnddiff made it then, between two
// bundles of two pieces: a line of an FLZ0 piece changed, a byte added to
// a raw one.
TEST_F(Patches, APatchOfTheFirstVersionStillAppliesBothWays)
{
    const auto unhex = [](std::string_view hex) {
        std::vector<std::uint8_t> b;
        EXPECT_TRUE(read_hex(hex, b));
        return std::string(b.begin(), b.end());
    };
    const std::string old_bundle = laid_out(
        "",
        {unhex("464c5a3039002800bf6c696e65206ff0f166ff2074686520736372ef6970740aeef274776ffcf6fe070074687265650a"),
         "raw piece bytes"},
        "");
    const std::string new_bundle = laid_out(
        "",
        {unhex("464c5a3040003100bf6c696e65206ff0f166ff2074686520736372af6970740aeef232f6fb2cff206368616e676564fe04022074"
               "687265650a"),
         "raw piece bytes!"},
        "");
    write_file(dir / "V1", unhex(
        "424e4450415443480101bf04c8455a48a6de390b5d4861d73b08fbb7b6df6d38d3d38fe5b232fb6015ff6b5c02c90494249a26165c"
        "3456028c47e672ddbd13c4612bd9f611ae46e0ae778d895e6084020200000130726028798594369fa60da567360fd3a1963ca74aa5"
        "2bbec1b8a5265ec67761eb01390654375f43d8d96a3d81127bc78a39c2347912655233fc98356a8c5b865ee55a01184000001c0101"
        "3200270e01092c206368616e676564002e0c010001143900001c010374776f002714010674687265650a01000001010f86b5f50786"
        "b1c5602f1a62c926624267e212ea286d825d102bac99d69a1ca7df011001bc46452ee1299a7b3161592c02be27402a564655a74aef"
        "d9fd515e06a9589d00071000000f01012100040f00000ff068f5e3409248541499016631b41fc4c1a3785be1ddbe249463c05f3af1"
        "39c6"));
    write_file(dir / "B.BND", old_bundle);
    ASSERT_EQ(run(kBndpatch, {"B.BND", "V1"}).status, 0);
    EXPECT_EQ(read_file(dir / "B.BND"), new_bundle);
    fs::remove(dir / "B.BND.BAK");
    ASSERT_EQ(run(kBndpatch, {"-R", "B.BND", "V1"}).status, 0);
    EXPECT_EQ(read_file(dir / "B.BND"), old_bundle);
}

// made_by -- text as an encoder makes an FLZ0 file of it, a run of padding after
std::string made_by(const Encoder& e, const std::string& text)
{
    const std::optional<Bytes> stream = encode_stream(e, bytes_of(text));
    std::string file = "FLZ0" + std::string(4, '\0');
    file[4] = static_cast<char>(text.size() & 0xFF);
    file[5] = static_cast<char>(text.size() >> 8);
    file[6] = static_cast<char>(0x34);  // a compressed size no one checks
    return file + std::string(stream->begin(), stream->end()) + std::string(40, '\xFF');
}

TEST_F(Patches, AnOldPieceComesBackByItsEncoderElseFromTheBundleBeforeUnlessCarried)
{
    const std::string text = lines(0, 300, "first") + "  three spaces, and more:    .\n";
    const std::string back_before = "; back: from the bundle before the patch\n";
    const struct {
        const char* name;
        std::string old_piece;
        const char* option;
        std::string back;  // how -l says it comes back
        bool travels;      // -R takes it back without B.BND.BAK
    } kRows[] = {
        {"flz0pack", packed(text), "", "; back: compressed again as flz0pack made it", true},
        {"the tree, zeros", made_by({EncoderFamily::tree, 0x00}, text), "",
         "; back: compressed again as a binary-tree LZSS encoder over a ring of 0x00 bytes made it", true},
        {"the tree, spaces", made_by({EncoderFamily::tree, 0x20}, lines(0, 300, "first")), "",
         "; back: compressed again as a binary-tree LZSS encoder over a ring of 0x20 bytes made it", true},
        {"a chain of 8", made_by({EncoderFamily::chain, 8}, text), "",
         "; back: compressed again as a greedy hash-chain encoder of depth 8 made it", true},
        {"literals only", flz0_literals(text), "", back_before, false},
        {"literals only, --one-way", flz0_literals(text), "--one-way", back_before, false},
        {"literals only, --both-ways", flz0_literals(text), "--both-ways", "; back: from its stored bytes", true},
    };
    const std::string new_bundle = laid_out(kHead, edited(kOld, 2, packed(text + "A line added.\n")), kTail);
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const auto& row = kRows[i];
        SCOPED_TRACE(row.name);
        const std::string old_bundle = laid_out(kHead, edited(kOld, 2, row.old_piece), kTail);
        std::string patch = "P";
        patch += std::to_string(i);
        write_file(dir / "OLD.BND", old_bundle);
        write_file(dir / "NEW.BND", new_bundle);
        std::vector<std::string> args = {"OLD.BND", "NEW.BND", patch};
        if (*row.option)
            args.insert(args.begin(), row.option);
        ASSERT_EQ(run(kBnddiff, args).status, 0);
        EXPECT_NE(run(kBndpatch, {"-l", patch}).out.find(console(row.back)), std::string::npos);
        fs::remove(dir / "B.BND.BAK");
        write_file(dir / "B.BND", old_bundle);
        ASSERT_EQ(run(kBndpatch, {"B.BND", patch}).status, 0);
        ASSERT_EQ(run(kBndpatch, {"-R", "B.BND", patch}).status, 0);
        EXPECT_EQ(read_file(dir / "B.BND"), old_bundle);
        // Without the bundle before it (another in its place).
        write_file(dir / "B.BND", new_bundle);
        write_file(dir / "B.BND.BAK", laid_out(kHead, edited(kOld, 2, flz0_literals("other")), kTail));
        const Snapshot before = snapshot(dir);
        const RunResult r = run(kBndpatch, {"-R", "B.BND", patch});
        if (row.travels) {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(read_file(dir / "B.BND"), old_bundle);
            continue;
        }
        EXPECT_TRUE(fails_as(r, 1, msg::kBadPatch, "bndpatch", patch, format_text(msg::kNoWayBackFormat, "002", "B.BND.BAK")));
        EXPECT_EQ(snapshot(dir), before);
    }
    // P4 holds no way back for the piece, P5 none at all, P6 all of it.
    EXPECT_LT(fs::file_size(dir / "P4") * 3, fs::file_size(dir / "P6"));
    EXPECT_LE(fs::file_size(dir / "P5"), fs::file_size(dir / "P4"));
    EXPECT_NE(run(kBndpatch, {"-l", "P4"}).out.find("\n002: no encoder known here makes their stored bytes again"),
              std::string::npos);
    const std::string carried = std::to_string(fs::file_size(dir / "P6") - fs::file_size(dir / "P5"));
    EXPECT_NE(run(kBndpatch, {"-l", "P6"}).out.find(console("way back: " + carried + " bytes of the patch\n")),
              std::string::npos);
}

TEST_F(Patches, EveryWrongBundleOrDamagedPatchIsRefusedAndNothingIsWritten)
{
    const std::string old_bundle = laid_out(kHead, kOld, kTail);
    const std::string new_bundle = laid_out(kHead, edited(edited(kOld, 3, "changed"), 5, "added"), kTail);
    patch_from(old_bundle, new_bundle);
    const std::string patch = *read_file(dir / "P");
    const std::string piece3 = hex_of(sha256(bytes_of(kOld[3])));
    const std::string other3 = hex_of(sha256(bytes_of(std::string("another"))));
    std::string flipped = patch;
    flipped[flipped.size() / 2] ^= 0x20;
    std::string version3 = patch;
    version3[8] = 3;
    std::string version4 = patch;
    version4[8] = 4;
    const auto holds = [](const std::string& piece) {
        return std::to_string(piece.size()) + " bytes, SHA-256 " + hex_of(sha256(bytes_of(piece)));
    };
    const std::string wrong3 = "B.BND: in piece 003 the patch expects " + holds(kOld[3]) + ", and the bundle holds ";
    const struct {
        const char* name;
        std::string bundle;
        std::string patch;
        std::vector<std::string> options;
        int status;
        const msg::Text* text;
        std::string reason;
        std::string dry = "";  // what a dry run (-n) says before it ends alike
    } cases[] = {
        {"another piece 3", laid_out(kHead, edited(kOld, 3, "another"), kTail), patch, {}, 1, &msg::kWrongBundle,
         "is not the bundle the patch was made for: in piece 003 the patch expects 20 bytes, SHA-256 " + piece3 +
             ", and the bundle holds 7 bytes, SHA-256 " + other3 + "; nothing was written",
         wrong3 + holds("another") + "\n"},
        {"a piece 5 there already", laid_out(kHead, edited(kOld, 5, "other"), kTail), patch, {}, 1, &msg::kWrongBundle,
         "piece 005 the patch expects no such piece",
         "B.BND: in piece 005 the patch expects no such piece, and the bundle holds " + holds("other") + "\n"},
        {"one piece too few", laid_out(kHead, Pieces(kOld.begin(), kOld.end() - 1), kTail), patch, {}, 1,
         &msg::kWrongBundle, "lists 4 pieces, and the patch was made for a bundle of 5; nothing was written"},
        {"what the patch makes, a piece more, and piece 1 another",
         laid_out(kHead, edited(edited(edited(edited(kOld, 3, "changed"), 5, "added"), 6, "more"), 1, "x"), kTail),
         patch, {}, 1, &msg::kWrongBundle, "in piece 003 the patch expects 20 bytes",
         wrong3 + holds("changed") + "\nB.BND: in piece 005 the patch expects no such piece, and the bundle holds " +
             holds("added") +
             "\nB.BND: differs from the bundle the patch was made from in 001, 006, which the patch does not touch: "
             "another patch, or another version\n"},
        {"the patch applied already", new_bundle, patch, {}, 3, &msg::kAlreadyApplied,
         "already holds what the patch makes; nothing was written"},
        {"taken back already", old_bundle, patch, {"-R"}, 3, &msg::kAlreadyApplied,
         "already holds what the patch was made from; nothing was written"},
        {"a truncated patch", old_bundle, patch.substr(0, patch.size() - 1), {}, 1, &msg::kBadPatch,
         "is damaged: its checksum does not match its bytes"},
        {"a byte of the patch changed", old_bundle, flipped, {}, 1, &msg::kBadPatch,
         "is damaged: its checksum does not match its bytes"},
        {"a later version", old_bundle, version4, {}, 1, &msg::kBadPatch,
         "is a patch of version 4; this bndpatch reads version 2"},
        {"a folder patch", old_bundle, version3, {}, 1, &msg::kBadPatch,
         "is a folder patch: give the folder it applies to in the bundle's place"},
        {"a bundle for a patch", old_bundle, old_bundle, {}, 1, &msg::kBadPatch, "is not a bundle patch"},
        {"no table", "short", patch, {}, 1, &msg::kBadPiece, "is shorter than a bundle's 512-byte table"},
        {"a piece past the end", old_bundle.substr(0, old_bundle.size() - kTail.size() - 1), patch, {}, 1,
         &msg::kBadPiece, "lists no piece, or pieces not all after its table and within it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(dir / "B.BND", c.bundle);
        write_file(dir / "Q", c.patch);
        const Snapshot before = snapshot(dir);
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"B.BND", "Q"});
        for (bool dry : {false, true}) {
            if (dry)
                args.insert(args.begin(), "-n");
            RunResult r = run(kBndpatch, args);
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.out, dry ? console(c.dry) : "");
            const bool about_patch = c.text == &msg::kBadPatch;
            EXPECT_TRUE(r.err.starts_with(message(*c.text) + "bndpatch: " + (about_patch ? "Q" : "B.BND") + ": "))
                << r.err;
            EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
            EXPECT_EQ(snapshot(dir), before);
        }
    }
}

TEST_F(Patches, ADryRunSaysThePatchAppliesAndWhatElseDiffersAndWritesNothing)
{
    const std::string old_bundle = laid_out(kHead, kOld, kTail);
    const std::string new_bundle = laid_out(kHead, edited(kOld, 3, "changed"), kTail);
    patch_from(old_bundle, new_bundle);
    const struct {
        const char* name;
        std::string bundle;
        std::vector<std::string> args;
        std::string out;
    } kRows[] = {
        {"the bundle it was made for", old_bundle, {"-n", "B.BND", "P"}, "B.BND: the patch applies; nothing was written\n"},
        {"an update to pieces it does not touch", laid_out(kHead, edited(edited(kOld, 0, "new 0"), 4, "new 4"), kTail),
         {"--dry-run", "B.BND", "P"},
         "B.BND: differs from the bundle the patch was made from in 000, 004, which the patch does not touch: another "
         "patch, or another version\nB.BND: the patch applies; nothing was written\n"},
        {"taken back", new_bundle, {"-R", "-n", "B.BND", "P"}, "B.BND: the patch comes back out; nothing was written\n"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        write_file(dir / "B.BND", row.bundle);
        const Snapshot before = snapshot(dir);
        const RunResult r = run(kBndpatch, row.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, console(row.out));
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(snapshot(dir), before);
    }
}

TEST_F(Patches, PatchesOfDifferentPiecesApplyInEitherOrderAndOneOnAChangedPieceIsRefused)
{
    const std::string old_bundle = laid_out(kHead, kOld, kTail);
    const Pieces a = edited(kOld, 2, packed(with_line("third", 500)));
    const Pieces b = edited(kOld, 1, kGrown);
    Pieces both = edited(a, 1, kGrown);
    patch_from(old_bundle, laid_out(kHead, a, kTail), "PA");
    patch_from(old_bundle, laid_out(kHead, b, kTail), "PB");
    patch_from(old_bundle, laid_out(kHead, edited(kOld, 2, "another third"), kTail), "PC");
    for (const auto& order : {std::vector<std::string>{"PA", "PB"}, std::vector<std::string>{"PB", "PA"}}) {
        SCOPED_TRACE(order[0]);
        write_file(dir / "X.BND", old_bundle);
        for (const std::string& p : order)
            EXPECT_EQ(run(kBndpatch, {"X.BND", p}).status, 0);
        EXPECT_EQ(read_file(dir / "X.BND"), laid_out(kHead, both, kTail));
        EXPECT_EQ(read_file(dir / "X.BND.BAK"), old_bundle);  // the first patch's backup, kept
        RunResult r = run(kBndpatch, {"X.BND", "PC"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("PC: changes bytes 0 to 14004 of the content of piece 002, which X.BND changes too"),
                  std::string::npos)
            << r.err;
        fs::remove(dir / "X.BND.BAK");
    }
    // One of the two taken back out leaves the other.
    EXPECT_EQ(run(kBndpatch, {"-R", "X.BND", "PA"}).status, 0);
    EXPECT_EQ(read_file(dir / "X.BND"), laid_out(kHead, b, kTail));
}

TEST_F(Patches, PatchesOfDifferentLinesOfOnePieceCombineInAnyOrderAndOverlapsAreRefused)
{
    const std::string old_bundle = laid_out(kHead, kOld, kTail);
    const std::string a_line = "A line one translator added.\n";
    const std::string b_line = "A line another translator added.\n";
    const std::string text = lines(0, 500, "third");
    const auto with = [&](const std::string& first, const std::string& second) {
        return laid_out(kHead, edited(kOld, 2, packed(lines(0, 120, "third") + first + lines(120, 280, "third") + second +
                                                      lines(400, 100, "third"))),
                        kTail);
    };
    patch_from(old_bundle, with(a_line, ""), "PA");
    patch_from(old_bundle, with("", b_line), "PB");
    patch_from(old_bundle, with(b_line, ""), "PC");  // where PA adds its line
    const std::string both = with(a_line, b_line);
    const struct {
        const char* name;
        std::vector<std::vector<std::string>> runs;  // each run's patches, in turn
    } kCombined[] = {
        {"one after the other", {{"PA"}, {"PB"}}},
        {"the other way round", {{"PB"}, {"PA"}}},
        {"in one step", {{"PB", "PA"}}},
        {"one of them twice", {{"PA"}, {"PA", "PB"}}},
    };
    for (const auto& row : kCombined) {
        SCOPED_TRACE(row.name);
        fs::remove(dir / "X.BND.BAK");
        write_file(dir / "X.BND", old_bundle);
        for (std::vector<std::string> run_of : row.runs) {
            run_of.insert(run_of.begin(), "X.BND");
            EXPECT_EQ(run(kBndpatch, run_of).status, 0);
        }
        EXPECT_EQ(read_file(dir / "X.BND"), both);
        EXPECT_TRUE(fails_as(run(kBndpatch, {"X.BND", "PB"}), 3, msg::kAlreadyApplied, "bndpatch", "X.BND",
                             "already holds what the patch makes; nothing was written"));
    }
    // Overlaps, each told, and nothing written.
    fs::remove(dir / "X.BND.BAK");
    write_file(dir / "X.BND", old_bundle);
    const Snapshot before = snapshot(dir);
    RunResult r = run(kBndpatch, {"X.BND", "PA", "PB", "PC"});
    EXPECT_TRUE(fails_as(r, 1, msg::kBadPatch, "bndpatch", "PC",
                         "changes bytes 3277 to 3277 of the content of piece 002, which PB changes too: the two changes overlap; nothing was written"));
    EXPECT_EQ(snapshot(dir), before);
    ASSERT_EQ(run(kBndpatch, {"X.BND", "PA"}).status, 0);
    r = run(kBndpatch, {"-n", "X.BND", "PC"});
    EXPECT_TRUE(fails_as(r, 1, msg::kBadPatch, "bndpatch", "PC",
                         "changes bytes 3277 to 3277 of the content of piece 002, which X.BND changes too: the two changes overlap; "
                         "nothing was written"));
}

// Explorer starts bndpatch with the names of the files dropped on it, in
// any order: a patch alone applies to its bundle, found beside it or in
// the folder the program starts in.
TEST_F(Patches, APatchDroppedOnTheProgramFindsItsBundle)
{
    const std::string old_bundle = laid_out(kHead, kOld, kTail);
    const std::string new_bundle = laid_out(kHead, edited(kOld, 1, kGrown), kTail);
    patch_from(old_bundle, new_bundle);
    const std::string patch = *read_file(dir / "P");
    const std::string other = laid_out(kHead, edited(kOld, 3, "another version"), kTail);
    const struct {
        const char* name;
        std::map<std::string, std::string> files;
        std::vector<std::string> args;
        int status;
        const char* bundle;  // the file that must hold the new bundle, if any
        const char* says;
    } cases[] = {
        {"alone, beside its bundle", {{"game/Data.bnd", old_bundle}, {"game/fix.bndpatch", patch}},
         {"game/fix.bndpatch"}, 0, "game/Data.bnd", ""},
        {"alone, its bundle where the program starts", {{"DATA.BND", old_bundle}, {"downloads/fix.bndpatch", patch}},
         {"downloads/fix.bndpatch"}, 0, "DATA.BND", ""},
        {"beside another version and its own", {{"game/A.BND", other}, {"game/B.BND", old_bundle}, {"game/P", patch}},
         {"game/P"}, 0, "game/B.BND", ""},
        {"beside two copies of its bundle: the first by name", {{"game/A.BND", old_bundle}, {"game/B.BND", old_bundle}, {"game/P", patch}},
         {"game/P"}, 0, "game/A.BND", ""},
        {"with its bundle, the patch first", {{"DATA.BND", old_bundle}, {"fix.bndpatch", patch}},
         {"fix.bndpatch", "DATA.BND"}, 0, "DATA.BND", ""},
        {"alone, beside the bundle it made", {{"game/DATA.BND", new_bundle}, {"game/P", patch}}, {"game/P"}, 3, nullptr,
         "game/DATA.BND: already holds what the patch makes"},
        {"alone, beside another version only", {{"game/DATA.BND", other}, {"game/P", patch}}, {"game/P"}, 1, nullptr,
         "game/P: was given alone, and no bundle it was made for"},
        {"one file that is no patch", {{"DATA.BND", old_bundle}}, {"DATA.BND"}, 1, nullptr,
         "DATA.BND: is not a bundle patch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        for (const auto& [name, bytes] : c.files) {
            fs::create_directories((dir / name).parent_path());
            write_file(dir / name, bytes);
        }
        const Snapshot before = snapshot(dir);
        const RunResult r = run(kBndpatch, c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        if (c.bundle) {
            EXPECT_EQ(read_file(dir / c.bundle), new_bundle);
            if (fs::exists(dir / "game" / "B.BND") && c.bundle != std::string("game/B.BND")) {
                EXPECT_EQ(read_file(dir / "game" / "B.BND"), old_bundle);  // one copy only
            }
        } else
            EXPECT_EQ(snapshot(dir), before);
    }
}

TEST_F(Patches, TheNewBundleGoesOnlyWhereNothingIsLost)
{
    patch_from(laid_out(kHead, kOld, kTail), laid_out(kHead, edited(kOld, 3, "changed"), kTail));
    write_file(dir / "B.BND", laid_out(kHead, kOld, kTail));
    write_file(dir / "B.BND.BAK", "the pristine original");
    write_file(dir / "C.BND", "there already");
    RunResult r = run(kBndpatch, {"-o", "C.BND", "B.BND", "P"});
    EXPECT_TRUE(fails_as(r, 2, msg::kCannotRename, "bndpatch", "C.BND", "already exists"));
    EXPECT_EQ(read_file(dir / "C.BND"), "there already");
    EXPECT_EQ(run(kBndpatch, {"B.BND", "P"}).status, 0);
    EXPECT_EQ(read_file(dir / "B.BND.BAK"), "the pristine original");
    EXPECT_EQ(read_file(dir / "B.BND"), laid_out(kHead, edited(kOld, 3, "changed"), kTail));
    // bnddiff replaces a patch, and nothing else.
    write_file(dir / "NOT", "a user's file");
    r = run(kBnddiff, {"OLD.BND", "NEW.BND", "NOT"});
    EXPECT_TRUE(fails_as(r, 2, msg::kCannotRename, "bnddiff", "NOT", msg::kNotAPatchToReplace));
    EXPECT_EQ(read_file(dir / "NOT"), "a user's file");
    write_file(dir / "CUT", "BNDP");  // a patch's first bytes, and no more
    r = run(kBnddiff, {"OLD.BND", "NEW.BND", "CUT"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(read_file(dir / "CUT"), "BNDP");
    EXPECT_EQ(run(kBnddiff, {"OLD.BND", "NEW.BND", "P"}).status, 0);
    r = run(kBnddiff, {"OLD.BND", "OLD.BND", "S"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with(message(msg::kNoChange))) << r.err;
    EXPECT_FALSE(fs::exists(dir / "S"));
    // Each bundle's SHA-256, of every byte, as sha256sum -c reads it.
    write_file(dir / "A.BND", make_bundle({"first piece", "second piece"}));
    write_file(dir / "B.BND", make_bundle({"first piece", "2nd piece"}));
    r = run(kBnddiff, {"A.BND", "B.BND", "T"});
    EXPECT_TRUE(r.out.ends_with(console("patch: " + std::to_string(fs::file_size(dir / "T")) + " bytes\n"
                                        "6ec00ea12c945711f602310123831bf364d9e8565004a95ee8f99439f844fff6  A.BND\n"
                                        "f11c7420ade5b9c28d2fcf311aaf9e041735b48ce7fb4cce2663a2cb60c60ccd  B.BND\n"
                                        "Completed.\n")))
        << r.out;
}

TEST_F(Patches, APatchFromThePieceDirectoryIsTheOneFromTheBundleItsJoinBuilds)
{
    write_file(dir / "D.BND", laid_out(kHead, kOld, kTail));
    const RunResult none = run(kBnddiff, {"-d", "D", "D.BND", "P0"});  // no split record yet
    EXPECT_TRUE(fails_as(none, 1, msg::kCannotOpen, "bnddiff", "D", msg::kNoRecordToDiff));
    ASSERT_EQ(run(kBndsplit, {"-x", "D.BND"}).status, 0);
    // Pieces that build the bundle they were cut from: no change, said of the directory.
    EXPECT_TRUE(fails_as(run(kBnddiff, {"-d", "D", "D.BND", "P0"}), 1, msg::kNoChange, "bnddiff", "D",
                         "holds the same bytes as D.BND: there is no change to share"));
    write_file(dir / "D" / "002", lines(0, 480, "third"));
    write_file(dir / "D" / "003", "an edited raw piece");
    const Snapshot pieces = snapshot(dir / "D");
    // The bundle a join would build is read from its plan: the patch is the only file made.
    FaultyFs watched(dir.string());
    const fs::path was = fs::current_path();
    fs::current_path(dir);
    RunResult r = run_over(watched, bnddiff_main, "bnddiff", {"-d", "D", "D.BND", "P1"});
    fs::current_path(was);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count_if(watched.log.begin(), watched.log.end(), [](const std::string& c) { return c.starts_with("create_new"); }),
              1);
    EXPECT_EQ(snapshot(dir / "D"), pieces);
    EXPECT_EQ(file_names(dir), (std::vector<std::string>{"D", "D.BND", "P1"}));
    // A piece not in the directory comes from OLD, wherever it is.
    fs::rename(dir / "D.BND", dir / "O.BND");
    fs::rename(dir / "D" / "004", dir / "004.moved");
    ASSERT_EQ(run(kBnddiff, {"-d", "D", "O.BND", "P3"}).status, 0);
    EXPECT_EQ(read_file(dir / "P1"), read_file(dir / "P3"));
    fs::rename(dir / "004.moved", dir / "D" / "004");
    fs::rename(dir / "O.BND", dir / "D.BND");
    ASSERT_EQ(run(kBndjoin, {"D.BND"}).status, 0);
    ASSERT_EQ(run(kBnddiff, {"D.BND.BAK", "D.BND", "P2"}).status, 0);
    EXPECT_EQ(read_file(dir / "P1"), read_file(dir / "P2"));
}

TEST_F(Patches, APatchFromThePiecesHoldsEveryEditSinceTheSplitOrIsRefusedWithNothingWritten)
{
    const std::string original = laid_out(kHead, kOld, kTail);
    const std::string update = laid_out(kHead, edited(kOld, 1, random_bytes(200000, 6)), kTail);  // the same size
    const std::string size = std::to_string(original.size());
    const std::string not_of_these = "is neither the bundle the pieces in DATA were first cut from nor one bndjoin "
                                     "built from them: make the patch against that original, the bundle of " +
                                     size + " bytes, then apply it to this version; nothing was written";
    const std::string no_original = "is not the original the pieces in DATA were first cut from (" + size +
                                    " bytes), which the patch is made against: give that bundle with --original; "
                                    "nothing was written";
    const auto split_again = [&] { ASSERT_EQ(run(kBndsplit, {"-x", "DATA.BND"}).status, 0); };
    const struct {
        const char* name;
        std::function<void()> between;  // after the first edit and its join, before the second edit
        std::vector<std::string> options;
        const msg::Text* text;  // none where the patch is made
        std::string file;
        std::string reason;
    } cases[] = {
        {"the bundle the join built", [] {}, {}, nullptr, "", ""},
        {"that bundle split again", split_again, {}, nullptr, "", ""},
        {"the original moved away, and given", [&] { fs::rename(dir / "DATA.BND.BAK", dir / "KEPT.BND"); },
         {"--original", "KEPT.BND"}, nullptr, "", ""},
        {"an update in the bundle's place", [&] { write_file(dir / "DATA.BND", update); }, {}, &msg::kWrongBundle,
         "DATA.BND", not_of_these},
        {"an update after the joined bundle was split again",
         [&] { split_again(); write_file(dir / "DATA.BND", update); }, {}, &msg::kWrongBundle, "DATA.BND",
         not_of_these},
        {"the backup gone", [&] { fs::remove(dir / "DATA.BND.BAK"); }, {}, &msg::kWrongBundle, "DATA.BND.BAK",
         no_original},
        {"the bundle the join built given", [&] { fs::copy_file(dir / "DATA.BND", dir / "J.BND"); },
         {"--original", "J.BND"}, &msg::kWrongBundle, "J.BND", no_original},
        {"another bundle given, the bundle being the original",
         [&] { write_file(dir / "DATA.BND", original); write_file(dir / "U.BND", update); }, {"--original", "U.BND"},
         &msg::kWrongBundle, "U.BND", no_original},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clear();  // the cycle: split, edit, join to try it in the game, edit again, make the patch
        write_file(dir / "DATA.BND", original);
        ASSERT_EQ(run(kBndsplit, {"-x", "DATA.BND"}).status, 0);
        write_file(dir / "DATA" / "000", kEditedText);
        ASSERT_EQ(run(kBndjoin, {"DATA.BND"}).status, 0);
        c.between();
        write_file(dir / "DATA" / "003", "an edited raw piece");
        std::vector<std::string> args = {"-d", "DATA"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {"DATA.BND", "fix.bndpatch"});
        const Snapshot before = snapshot(dir);
        const RunResult r = run(kBnddiff, args);
        if (c.text) {
            EXPECT_TRUE(fails_as(r, 1, *c.text, "bnddiff", c.file, c.reason));
            EXPECT_EQ(snapshot(dir), before);
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(run(kBndjoin, {"DATA.BND"}).status, 0);  // the last join: both edits
        const std::string joined = *read_file(dir / "DATA.BND");
        write_file(dir / "PLAYER.BND", original);
        ASSERT_EQ(run(kBndpatch, {"PLAYER.BND", "fix.bndpatch"}).status, 0);
        EXPECT_EQ(read_file(dir / "PLAYER.BND"), joined);
        // Both lines name the bundle as players hold it.
        EXPECT_TRUE(r.out.ends_with(console(hex_of(sha256(bytes_of(original))) + "  DATA.BND\n" +
                                            hex_of(sha256(bytes_of(joined))) + "  DATA.BND\nCompleted.\n")))
            << r.out;
    }
    // --original names the bundle a patch from the pieces is made from: it goes only with -d.
    EXPECT_EQ(run(kBnddiff, {"--original", "A.BND", "A.BND", "B.BND", "P"}).err, console(kBnddiff.usage));
}

// The translator's loop with bndpatch -d: the original split, the first
// lines of piece 000 translated in DATA/000, and patches made against the
// original: the colleague's (P) fixes a line near the end of piece 000,
// changes piece 003, and the text of piece 004, which no one translated;
// Q and R change the line translated, U was made for an update, W for a
// bundle of one piece more, A adds a piece.
const std::string kTranslated = lines(0, 3, "first") + "Line 3: translated.\n" + lines(4, 296, "first");
const std::string kBoth = lines(0, 3, "first") + "Line 3: translated.\n" + lines(4, 286, "first") +
                          "Line 290: fixed.\n" + lines(291, 9, "first");
const std::string kFixed3 = "a fixed raw piece\n";
const std::string kFixed4 = lines(9, 199, "fifth");

class PieceDirPatches : public Patches {
protected:
    void SetUp() override
    {
        Patches::SetUp();
        const auto with = [](const std::string& text, const std::string& piece3) {
            return laid_out(kHead, edited(edited(kOld, 0, packed(text)), 3, piece3), kTail);
        };
        const std::string original = laid_out(kHead, kOld, kTail);
        const std::string fixed = lines(0, 290, "first") + "Line 290: fixed.\n" + lines(291, 9, "first");
        const Pieces colleague = edited(edited(edited(kOld, 0, packed(fixed)), 3, kFixed3), 4, packed(kFixed4));
        patch_from(original, laid_out(kHead, colleague, kTail), "P");
        patch_from(original, with(lines(0, 3, "first") + lines(4, 296, "first"), kOld[3]), "Q");
        patch_from(original, with(lines(0, 3, "first") + "Line 3.\n" + lines(4, 296, "first"), kOld[3]), "R");
        patch_from(with(lines(0, 301, "first"), kOld[3]), with(lines(0, 302, "first"), kOld[3]), "U");
        const Pieces more = edited(kOld, 5, "x");
        patch_from(laid_out(kHead, more, kTail), laid_out(kHead, edited(more, 3, "y"), kTail), "W");
        patch_from(original, laid_out(kHead, edited(kOld, 5, "added"), kTail), "A");
    }
    // translating -- the original split afresh (decoded or not), piece 000
    // translated (where not decoded, as flz0pack leaves it)
    void translating(bool decoded)
    {
        for (const char* gone : {"DATA", "DATA.BND.BAK"})
            fs::remove_all(dir / gone);
        write_file(dir / "DATA.BND", laid_out(kHead, kOld, kTail));
        ASSERT_EQ(run(kBndsplit, decoded ? Pieces{"-x", "DATA.BND"} : Pieces{"DATA.BND"}).status, 0);
        write_file(dir / "DATA" / "000", decoded ? kTranslated : packed(kTranslated));
    }
};

TEST_F(PieceDirPatches, APatchGoesIntoTheTranslatedPiecesAndTheNextJoinCarriesBoth)
{
    const auto restore = [&] { fs::rename(dir / "DATA.BND.BAK", dir / "DATA.BND"); };
    const struct {
        const char* name;
        bool decoded;
        std::function<void()> between;      // after the translation
        std::string dir;                    // as -d gives it
        std::function<void()> before_join;  // the bundle a join may replace
    } kRows[] = {
        {"decoded, over the original", true, [] {}, "DATA", [] {}},
        {"after a join, the original kept as .BAK", true, [&] { ASSERT_EQ(run(kBndjoin, {"DATA.BND"}).status, 0); },
         "DATA/", [] {}},
        {"the patch applied to the bundle, which a join then refuses",
         true, [&] { ASSERT_EQ(run(kBndpatch, {"DATA.BND", "P"}).status, 0); }, "DATA", restore},
        {"stored: an FLZ0 file", false, [] {}, "DATA", [] {}},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        translating(row.decoded);
        row.between();
        const fs::perms mode = kWindows ? fs::status(dir / "DATA" / "003").permissions() : fs::perms(0604);
        fs::permissions(dir / "DATA" / "003", mode);
        const Snapshot before = snapshot(dir);
        FaultyFs watched(dir.string());
        const fs::path was = fs::current_path();
        fs::current_path(dir);
        RunResult r = run_over(watched, bndpatch_main, "bndpatch", {"-d", row.dir, "P"});
        fs::current_path(was);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string piece_dir = row.dir == "DATA" ? "DATA/" : "DATA//";
        EXPECT_EQ(r.out, console("patching ... " + piece_dir + "000\npatching ... " + piece_dir + "003\npatching ... " +
                                 piece_dir + "004\nCompleted.\n"));
        EXPECT_EQ(read_file(dir / "DATA" / "000"), row.decoded ? kBoth : packed(kBoth));
        EXPECT_EQ(read_file(dir / "DATA" / "003"), kFixed3);
        EXPECT_EQ(read_file(dir / "DATA" / "004"), row.decoded ? kFixed4 : packed(kFixed4));
        EXPECT_EQ(fs::status(dir / "DATA" / "003").permissions(), mode);
        Snapshot after = snapshot(dir);  // nothing else touched: the bundle, the record, the .BAK files
        for (const char* piece : {"DATA/000", "DATA/003", "DATA/004"})
            after[piece] = before.at(piece);
        EXPECT_EQ(after, before);
        // Every file whole on the disk before any takes its name.
        const std::vector<std::string>& log = watched.log;
        const auto synced = [](const std::string& c) { return c.starts_with("sync "); };
        const auto named = [](const std::string& c) { return c.starts_with("exchange ") || c.starts_with("rename"); };
        EXPECT_EQ(std::count_if(log.begin(), log.end(), synced), 3);
        EXPECT_LT(std::find_if(log.rbegin(), log.rend(), synced).base(), std::find_if(log.begin(), log.end(), named));
        row.before_join();
        ASSERT_EQ(run(kBndjoin, {"DATA.BND"}).status, 0);
        const Pieces joined = edited(edited(edited(kOld, 0, packed(kBoth)), 3, kFixed3), 4, packed(kFixed4));
        EXPECT_EQ(read_file(dir / "DATA.BND"), laid_out(kHead, joined, kTail));
        // Taken back out: the translation stays.
        ASSERT_EQ(run(kBndpatch, {"-R", "-d", "DATA", "P"}).status, 0);
        EXPECT_EQ(read_file(dir / "DATA" / "000"), row.decoded ? kTranslated : packed(kTranslated));
        EXPECT_EQ(read_file(dir / "DATA" / "003"), kOld[3]);
        EXPECT_EQ(read_file(dir / "DATA" / "004"), row.decoded ? lines(9, 200, "fifth") : kOld[4]);
    }
}

TEST_F(PieceDirPatches, APatchThatCannotGoIntoThePiecesIsRefusedWithNothingWritten)
{
    const std::string size = std::to_string(laid_out(kHead, kOld, kTail).size());
    const auto overlap = [](const std::string& with) {
        return "changes bytes " + std::to_string(lines(0, 3, "first").size()) + " to " +
               std::to_string(lines(0, 4, "first").size()) + " of the content of piece 000, which " + with +
               " changes too: the two changes overlap; nothing was written";
    };
    const auto holds = [](const std::string& piece) {
        return std::to_string(piece.size()) + " bytes, SHA-256 " + hex_of(sha256(bytes_of(piece)));
    };
    const auto tampered = [&](void (*change)(Patch&)) {  // T: P changed
        return [this, change] {
            Patch p;
            std::uint64_t version = 0;
            const std::string bytes = *read_file(dir / "P");
            ASSERT_EQ(read_patch(bytes_of(bytes), p, version), PatchStatus::ok);
            change(p);
            const std::vector<std::uint8_t> changed = patch_bytes(p);
            write_file(dir / "T", std::string(changed.begin(), changed.end()));
        };
    };
    const struct {
        const char* name;
        std::function<void()> before;
        Pieces args;
        int status;
        const msg::Text* text;  // none: it works, writing nothing
        std::string file;
        std::string reason;         // or what it says
        std::string earlier = "";  // a failure told before, as "file: reason"
    } kRows[] = {
        {"a dry run", [] {}, {"-n", "-d", "DATA", "P"}, 0, nullptr, "",
         "DATA: the patch applies; nothing was written\n"},
        {"no split record", [&] { fs::remove(dir / "DATA" / kRecordName); }, {"-d", "DATA", "P"}, 1, &msg::kCannotOpen,
         "DATA", msg::kNoRecordToPatch},
        {"two changes where the translation is", [] {}, {"-d", "DATA", "Q", "R"}, 1, &msg::kBadPatch, "R", overlap("Q"),
         "Q: " + overlap("DATA/000")},
        {"applied already", [&] { ASSERT_EQ(run(kBndpatch, {"-d", "DATA", "P"}).status, 0); }, {"-d", "DATA", "P"}, 3,
         &msg::kAlreadyApplied, "DATA", msg::kAlreadyMade},
        {"not applied", [] {}, {"-R", "-d", "DATA", "P"}, 3, &msg::kAlreadyApplied, "DATA", msg::kAlreadyTakenBack},
        {"an update in the bundle's place, and no original",
         [&] { write_file(dir / "DATA.BND", laid_out(kHead, edited(kOld, 3, "updated"), kTail)); }, {"-d", "DATA", "P"},
         1, &msg::kWrongBundle, "DATA.BND.BAK",
         "is not the original the pieces in DATA were first cut from (" + size +
             " bytes), against which the patch is merged into them: put that bundle there; nothing was written"},
        {"a patch made for an update", [] {}, {"-d", "DATA", "U"}, 1, &msg::kWrongBundle, "DATA.BND",
         "is not the bundle the patch was made for: in piece 000 the patch expects " +
             holds(packed(lines(0, 301, "first"))) + ", and the bundle holds " + holds(kOld[0]) +
             "; nothing was written"},
        {"a patch made for a bundle of one piece more", [] {}, {"-d", "DATA", "W"}, 1, &msg::kWrongBundle, "DATA.BND",
         "lists 5 pieces, and the patch was made for a bundle of 6; nothing was written"},
        {"a patch that makes a piece other than it records",
         tampered([](Patch& p) { p.entries.at(0).new_side.hash[0] ^= 1; }), {"-d", "DATA", "T"}, 1, &msg::kBadPatch, "T",
         "makes piece 000 other than it records; nothing was written"},
        {"another compressor's patch", tampered([](Patch& p) { p.compressor = 2; }), {"-d", "DATA", "T"}, 1,
         &msg::kBadPatch, "T",
         "expects FLZ0 compressor version 2, and this bndpatch has version 1; nothing was written"},
        {"a patch that adds a piece", [] {}, {"-d", "DATA", "A"}, 1, &msg::kBadPatch, "A",
         "adds or removes piece 005, or changes the table: it applies only alone, to the bundle it was made for; "
         "nothing was written"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        translating(true);
        row.before();
        const Snapshot before = snapshot(dir);
        RunResult r = run(kBndpatch, row.args);
        const std::string earlier =
            row.earlier.empty() ? "" : message(*row.text) + console("bndpatch: " + row.earlier + "\n");
        EXPECT_TRUE(r.err.starts_with(earlier)) << r.err;
        r.err.erase(0, earlier.size());
        EXPECT_EQ(r.status, row.status);
        if (row.text)
            EXPECT_TRUE(fails_as(r, row.status, *row.text, "bndpatch", row.file, row.reason));
        else
            EXPECT_EQ(r.out, console(row.reason));
        EXPECT_EQ(snapshot(dir), before);
    }
    // The pieces are written in their place: -o has no place with -d.
    EXPECT_EQ(run(kBndpatch, {"-d", "DATA", "-o", "OUT", "P"}).err, console(kBndpatch.usage));
}

TEST_F(Patches, APatchWithTheFrameNamesAWrongPieceFirstAndRefusesAFrameThatListsOtherPieces)
{
    const std::string old_bundle = laid_out(kHead, kOld, kTail);
    const std::string new_bundle = laid_out(kHead, edited(kOld, 3, "changed"), "another tail");
    patch_from(old_bundle, new_bundle);
    write_file(dir / "B.BND", laid_out(kHead, edited(kOld, 3, "another"), kTail));  // its table, too, is not OLD's
    RunResult r = run(kBndpatch, {"B.BND", "P"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("in piece 003 the patch expects 20 bytes"), std::string::npos) << r.err;

    // A frame that lists pieces of other sizes than those the patch makes.
    Patch p;
    std::uint64_t version = 0;
    const std::string bytes = *read_file(dir / "P");
    ASSERT_EQ(read_patch(bytes_of(bytes), p, version), PatchStatus::ok);
    ASSERT_EQ(p.entries.at(0).piece, kFrame);
    const std::string old_frame = old_bundle.substr(0, 512) + kHead + kTail;
    const auto entry = [&](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(new_bundle[4 * k])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(new_bundle[4 * k + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(new_bundle[4 * k + 2])) << 16;
    };
    const std::string wrong_frame = with_entry(new_bundle, 4, entry(4) + 1).substr(0, 512) + kHead + "another tail";
    p.entries[0].forward = make_change(bytes_of(old_frame), bytes_of(wrong_frame));
    p.entries[0].new_side = {true, wrong_frame.size(), sha256(bytes_of(wrong_frame))};
    const std::vector<std::uint8_t> changed = patch_bytes(p);
    write_file(dir / "Q", std::string(changed.begin(), changed.end()));
    write_file(dir / "B.BND", old_bundle);
    const Snapshot before = snapshot(dir);
    EXPECT_TRUE(fails_as(run(kBndpatch, {"B.BND", "Q"}), 1, msg::kBadPatch, "bndpatch", "Q", msg::kPatchMalformed));
    EXPECT_EQ(snapshot(dir), before);
}

// A patch whose checksum is made again after a field is changed: what no
// bundle holds is refused all the same.
TEST(PatchReader, EveryTruncationAndEveryFieldOutOfRangeIsRefused)
{
    Patch p;
    p.old_bundle = {2000, sha256(bytes_of(std::string("old"))), 2};
    p.old_marks = {mark_of(bytes_of(std::string("piece 0"))), mark_of(bytes_of(std::string("piece 1")))};
    p.new_bundle = {2100, sha256(bytes_of(std::string("new"))), 3};
    p.entries.push_back({1, {true, 10, {}}, {true, 20, {}}, make_change({}, {}), make_change({}, {})});
    p.entries.push_back({2, {}, {true, 5, {}}, make_change({}, {}), make_change({}, {})});
    const std::vector<std::uint8_t> good = patch_bytes(p);
    Patch back;
    std::uint64_t version = 0;
    ASSERT_EQ(read_patch(good, back, version), PatchStatus::ok);
    EXPECT_EQ(back.entries.size(), 2u);
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_NE(read_patch(std::span(good).first(n), back, version), PatchStatus::ok) << n;
    const struct {
        const char* name;
        std::function<void(Patch&)> change;
    } cases[] = {
        {"a piece past the table", [](Patch& q) { q.entries[1].piece = 127; }},
        {"pieces out of order", [](Patch& q) { std::swap(q.entries[0], q.entries[1]); }},
        {"a piece twice", [](Patch& q) { q.entries.insert(q.entries.begin(), q.entries[0]); }},
        {"a piece larger than a piece may be", [](Patch& q) { q.entries[0].new_side.size = kMaxPieceSize + 1; }},
        {"an empty piece", [](Patch& q) { q.entries[0].old_side.size = 0; }},
        {"a piece added that the old bundle lists", [](Patch& q) { q.old_bundle.pieces = 3; }},
        {"a piece neither side has", [](Patch& q) { q.entries[1].new_side.present = false; }},
        {"a frame after a piece",
         [](Patch& q) { q.entries.push_back({kFrame, {true, 600, {}}, {true, 600, {}}, {}, {}}); }},
        {"a change of no kind", [](Patch& q) { q.entries[0].reverse.how = static_cast<Remake>(3); }},
        {"no way forward", [](Patch& q) { q.entries[0].forward.how = Remake::none; }},
        {"a mark of an empty piece", [](Patch& q) { q.old_marks[1].size = 0; }},
        {"an encoder no one knows",
         [](Patch& q) { q.entries[0].reverse = {.how = Remake::flz0, .encoder = {static_cast<EncoderFamily>(9), 0}}; }},
        {"a bundle of no pieces", [](Patch& q) { q.new_bundle.pieces = 0; q.entries.pop_back(); }},
        {"an added piece with no entry", [](Patch& q) { q.new_bundle.pieces = 4; }},
        {"no entry", [](Patch& q) { q.entries.clear(); q.new_bundle.pieces = 2; }},
    };
    for (const auto& c : cases) {
        Patch q = p;
        c.change(q);
        EXPECT_EQ(read_patch(patch_bytes(q), back, version), PatchStatus::malformed) << c.name;
    }
    std::vector<std::uint8_t> longer = good;
    longer.insert(longer.end() - 32, 0);
    const Digest sum = sha256(std::span(longer).first(longer.size() - 32));
    std::copy(sum.begin(), sum.end(), longer.end() - 32);
    EXPECT_EQ(read_patch(longer, back, version), PatchStatus::malformed);
}

TEST(PatchChange, AnFlz0PieceIsMadeFromItsContentOnlyWhereCompressingItAgainGivesItsVeryBytes)
{
    // Text after 18 zeros: the compressor's first item is a reference to
    // the ring's initial zeros. Another compressor may name another ring
    // position, which before any output holds zeros too: a file of the
    // same size and content, whose bytes compressing again cannot give.
    const std::string old_text = std::string(18, '\0') + lines(0, 300, "first");
    const std::string new_text = std::string(18, '\0') + kEditedText;
    const std::string ours = packed(new_text);
    ASSERT_EQ(ours[8] & 1, 0);  // the first flag bit: a reference
    std::string other = ours;
    other[9] = static_cast<char>(other[9] ^ 0x55);  // the low bits of its position
    const std::optional<std::vector<std::uint8_t>> decoded = flz0_reference_decode(bytes_of(other));
    ASSERT_TRUE(decoded && std::string(decoded->begin(), decoded->end()) == new_text);
    const struct {
        const char* what;
        std::string target;
        Remake how;
    } rows[] = {
        {"compressed as the join compresses: from its content", ours, Remake::flz0},
        {"another compressor's bytes of the same size: from its stored bytes", other, Remake::raw},
    };
    for (const auto& row : rows)
        EXPECT_EQ(make_change(bytes_of(packed(old_text)), bytes_of(row.target)).how, row.how) << row.what;
}

TEST_F(Patches, APieceThatDoesNotComeOutAsRecordedIsNeverWritten)
{
    const std::string old_bundle = laid_out(kHead, kOld, kTail);
    patch_from(old_bundle, laid_out(kHead, edited(kOld, 2, packed(with_line("third", 500))), kTail));
    Patch p;
    std::uint64_t version = 0;
    const std::string bytes = *read_file(dir / "P");
    ASSERT_EQ(read_patch(bytes_of(bytes), p, version), PatchStatus::ok);
    ASSERT_EQ(p.entries.at(0).forward.how, Remake::flz0);
    const struct {
        const char* name;
        std::function<void(Patch&)> change;
        std::string reason;
    } cases[] = {
        {"another compressor", [](Patch& q) { q.compressor = 2; },
         "expects FLZ0 compressor version 2, and this bndpatch has version 1"},
        {"another hash", [](Patch& q) { q.entries[0].new_side.hash[0] ^= 1; }, "makes piece 002 other than it records"},
        {"a change cut short", [](Patch& q) { q.entries[0].forward.delta = {10, 1, 10, 97}; },
         "makes piece 002 other than it records"},
        {"another whole bundle", [](Patch& q) { q.new_bundle.hash[0] ^= 1; },
         "makes a bundle other than the one it records"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Patch q = p;
        c.change(q);
        const std::vector<std::uint8_t> changed = patch_bytes(q);
        write_file(dir / "Q", std::string(changed.begin(), changed.end()));
        write_file(dir / "B.BND", old_bundle);
        const Snapshot before = snapshot(dir);
        RunResult r = run(kBndpatch, {"B.BND", "Q"});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(is_failure(r.err, msg::kBadPatch, "bndpatch", "Q", c.reason + "; nothing was written")) << r.err;
        EXPECT_EQ(snapshot(dir), before);
    }
}

}  // namespace
