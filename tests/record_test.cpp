// The split record: read back as written, refused where it is no record,
// and every rebuild from it, each case a row: bundles built here with
// their own tables, split, changed or not, and joined.
#include "record.hpp"

#include <functional>

#include "programs.hpp"
#include "fault_fs.hpp"
#include "mem_fs.hpp"
#include "flz0_files.hpp"
#include "bndtools.hpp"
#include "hex.hpp"
#include "support.hpp"

namespace {

// ending_on -- a piece that starts at `start`, padded with `fill` to end
// on a grid of `grid` bytes
std::string ending_on(std::string piece, std::size_t start, std::size_t grid, char fill)
{
    piece.resize(piece.size() + (grid - (start + piece.size()) % grid) % grid, fill);
    return piece;
}

const std::string kText = text_of(3000);
const std::string kPacked = flz0_encode(kText);

using Dir = std::function<void(const fs::path& pieces)>;

// appended / written -- what the user does to a piece: bytes added at its
// end, or all its bytes written anew
Dir appended(const char* name, const std::string& bytes)
{
    return [=](const fs::path& d) { append_file(d / name, bytes); };
}

Dir written(const char* name, const std::string& bytes)
{
    return [=](const fs::path& d) { write_file(d / name, bytes); };
}

struct Row {
    const char* what;
    std::string bundle;
    std::vector<std::string> split;  // bndsplit's arguments
    Dir change;                      // what the user does to the pieces, if anything
    std::vector<std::string> join;   // bndjoin's arguments before the bundle
    int status;
    std::string after = "";          // DATA.BND after the join; "" for the bundle as it was
};

// The programs run in a directory of the test's own.
class Records : public ScratchTest {
protected:
    const std::string raw = random_bytes(700, 5);  // a raw piece
    RunResult split(const std::vector<std::string>& args) const { return run_tool(BNDSPLIT_EXE, "bndsplit", args, dir); }
    RunResult join(const std::vector<std::string>& args = {"DATA.BND"}) const
    {
        return run_tool(BNDJOIN_EXE, "bndjoin", args, dir);
    }
    // cut -- DATA.BND of these bytes, split with -x
    void cut(const std::string& bundle) const
    {
        write_file(dir / "DATA.BND", bundle);
        ASSERT_EQ(split({"-x", "DATA.BND"}).status, 0);
    }
};

}  // namespace

TEST(Record, ReadsBackWhatItWritesAndRefusesWhatIsNoRecord)
{
    SplitRecord r;
    r.bundle = "A B.BND";  // a name with a space
    r.cut = {700, sha256(bytes_of("x")), false};
    r.table[0] = 0x58;
    r.decoded = true;
    r.listed = 2;
    r.written = 1;
    r.head = {1, 2};
    r.tail_start = 650;
    r.tail = {0xff};
    r.pieces.resize(2);
    r.pieces[1].flz0 = true;
    r.pieces[1].decoded_size = 9;
    r.pieces[1].after = {0, 0};
    r.joined = {{800, sha256(bytes_of("y")), false}, {900, sha256(bytes_of("z")), false}};
    const std::string text = record_text(r);
    std::optional<SplitRecord> back = read_record(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(record_text(*back), text);
    EXPECT_EQ(back->bundle, "A B.BND");
    EXPECT_EQ(back->pieces[1].after, (std::vector<std::uint8_t>{0, 0}));
    EXPECT_TRUE(text.starts_with("bndtools split record 2\nbundle A B.BND\nsize 700\ndigest " + hex_of(r.cut.digest) +
                                 "\nstate done\n"))
        << text;
    EXPECT_NE(text.find("\npiece 001 00000000 00000000 " + hex_of(r.pieces[1].stored) + " flz0 9 " +
                        hex_of(r.pieces[1].decoded) + " 0000\n"),
              std::string::npos)
        << text;
    // Lines a person may have broken: each makes it no record.
    const auto with = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    for (const std::string& bad : {with("record 2", "record 3"), with("listed 2", "listed 3"), with("size 700", "size x"),
                                   with("table 58", "table 5"), with(" raw", " rae"), with("piece 001", "piece 002"),
                                   with("state done", "state half"),
                                   with("piece 001", "piece 000"),  // piece 0 twice
                                   with("digest " + hex_of(r.cut.digest), "digest -"),  // done, yet no digest
                                   with(" 0000\n", " 0000 nestled\n"),
                                   text.substr(0, text.find("table")), std::string()})
        EXPECT_FALSE(read_record(bad)) << bad;
    EXPECT_TRUE(read_record(with("\n", "\r\n")));  // as an editor on Windows saves it

    // Bytes after a stream, and outside the pieces: a run of one byte as the
    // byte and its count, other bytes in hexadecimal.
    r.pieces[1].after = {1, 2, 3};
    r.pieces[1].after.resize(23, 0xff);
    r.pieces[1].after.push_back(4);
    r.tail.assign(1000, 0);
    const std::string runs = record_text(r);
    EXPECT_NE(runs.find(" 010203,ff*20,04\n"), std::string::npos) << runs;
    EXPECT_NE(runs.find("\ntail 0000028a 00*1000\n"), std::string::npos) << runs;
    back = read_record(runs);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pieces[1].after, r.pieces[1].after);
    EXPECT_EQ(back->tail, r.tail);
    for (const char* bytes : {"00*0", "0*4", "00*", "000*4", "00*4,", "00*16777217", "00*8x", "00*16777216,01"}) {
        std::string bad = runs;
        bad.replace(bad.find("00*1000"), 7, bytes);
        EXPECT_FALSE(read_record(bad)) << bytes;
    }

    // While the split runs: the whole record, saying so.
    r.finished = false;
    const std::string running = record_text(r);
    EXPECT_NE(running.find("\nstate running\n"), std::string::npos) << running;
    back = read_record(running);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->finished);
    EXPECT_EQ(back->pieces.size(), 2u);
}

TEST_F(Records, EveryRebuildFromTheRecordIsExactOrRefused)
{
    const std::string padded = kPacked + std::string(13, '\0');  // the bytes after a stream
    const std::string nested = flz0_literals(flz0_encode(text_of(500)));  // an FLZ0 file within one
    const std::string garbage_after = laid(600, {kPacked, raw}, "tail", {1, 0xDEADBEEF, 7});
    const std::string an_edit = "An edit.\n";
    const std::string edit = flz0_encode(kText + an_edit);  // grown, yet within the padding after the stream
    ASSERT_GT(edit.size(), kPacked.size());
    ASSERT_LE(edit.size(), padded.size());
    const std::string more = random_bytes(40, 9), much_more = random_bytes(2100, 3);
    const std::string sector_packed = ending_on(kPacked, 0, 2048, '\xff');
    std::string same_size = kText;  // the text edited at its size
    same_size[10] = same_size[10] == 'X' ? 'Y' : 'X';
    const std::vector<std::string> x = {"-x", "DATA.BND"}, as_is = {"DATA.BND"};
    const Row rows[] = {
        {"unchanged: FLZ0 pieces decoded, the bytes between and after kept", laid(600, {kPacked, raw, padded}, "the tail"),
         x, {}, {}, 0},
        {"unchanged: an FLZ0 file of an empty file", laid(512, {raw, flz0_literals(""), raw}, ""), x, {}, {}, 0},
        {"unchanged: an FLZ0 file within an FLZ0 file", laid(512, {nested, raw}, ""), x, {}, {}, 0},
        {"unchanged: piece 0 inside the table", laid(400, {raw, kPacked}, "t"), x, {}, {}, 0},
        {"unchanged: entries past the list that are not zero", garbage_after, x, {}, {}, 0},
        {"unchanged, split as they stand", laid(600, {kPacked, raw}, "the tail"), as_is, {}, {}, 0},
        {"the .BAK files removed: the bundle still gives the FLZ0 bytes", laid(600, {kPacked, raw, padded}, "t"), x,
         [](const fs::path& d) {
             fs::remove(d / "000.BAK");
             fs::remove(d / "002.BAK");
         },
         {}, 0},
        {"a .BAK copied from its piece: the record, not the .BAK, says what it was", laid(600, {raw, kPacked}, "t"), x,
         [](const fs::path& d) { fs::copy_file(d / "000", d / "000.BAK"); }, {}, 0},
        {"split with a limit: the pieces not cut come from the bundle", laid(600, {kPacked, raw, padded}, "t"),
         {"-x", "DATA.BND", "1"}, {}, {}, 0},
        {"a piece removed: it comes from the bundle", laid(600, {kPacked, raw}, "t"), x,
         [](const fs::path& d) { fs::remove(d / "001"); }, {}, 0},
        {"an edited FLZ0 piece whose stream still fits its slot: the padding absorbs it, nothing moves",
         laid(600, {padded, raw}, "tail"), x, appended("000", an_edit), {}, 0,
         laid(600, {edit + std::string(padded.size() - edit.size(), '\0'), raw}, "tail")},
        {"an edited FLZ0 piece that outgrows its slot: the padding kept after it, the rest moved",
         laid(600, {padded, raw}, "tail"), x, appended("000", more), {}, 0,
         laid(600, {flz0_encode(kText + more) + std::string(13, '\0'), raw}, "tail")},
        {"other bytes after a stream are kept after the new one", laid(600, {kPacked + "trailer", raw}, "t"), x,
         appended("000", an_edit), {}, 0, laid(600, {edit + "trailer", raw}, "t")},
        {"a raw piece that starts with FLZ0 stays raw when edited", laid(512, {"FLZ0 is not this file's form", raw}, ""),
         as_is, appended("000", "!"), {}, 0, laid(512, {"FLZ0 is not this file's form!", raw}, "")},
        {"on 2,048-byte sectors: an edited piece padded with its own byte, the later ones kept on the grid",
         laid(2048, {sector_packed, ending_on(raw, 0, 2048, '\0')}, ""), x,
         [&](const fs::path& d) {
             append_file(d / "000", an_edit);
             append_file(d / "001", "+");  // the last piece, which ended on the grid too
         },
         {}, 0,
         laid(2048, {ending_on(edit, 0, 2048, '\xff'), ending_on(ending_on(raw, 0, 2048, '\0') + "+", 0, 2048, '\0')}, "")},
        {"--align 1: no grid, the piece's slot kept all the same", laid(2048, {sector_packed, raw}, ""), x,
         appended("000", an_edit), {"--align", "1"}, 0, laid(2048, {ending_on(edit, 0, 2048, '\xff'), raw}, "")},
        {"--align 1, outgrowing the slot: the old padding kept after the new stream", laid(2048, {sector_packed, raw}, ""),
         x, appended("000", much_more), {"--align", "1"}, 0,
         laid(2048, {flz0_encode(kText + much_more) + std::string(sector_packed.size() - kPacked.size(), '\xff'), raw}, "")},
        {"--align 512 on a bundle with no grid: pieces after a changed one start on it",
         laid(600, {padded, raw, "last"}, "tail"), x,
         [](const fs::path& d) {
             append_file(d / "001", "+");
             append_file(d / "002", "!");  // the last, which ended off the grid: no padding
         },
         {"--align=512"}, 0, laid(600, {padded, ending_on(raw + "+", 600 + padded.size(), 512, '\0'), "last!"}, "tail")},
        {"an edited FLZ0 piece of the same size: compressed again, never its old bytes", laid(600, {kPacked, raw}, "t"), x,
         written("000", same_size), {}, 0, laid(600, {flz0_encode(same_size), raw}, "t")},
        {"a .BAK that is not the piece's own bytes: the bundle's are taken", laid(600, {kPacked, raw}, "t"), x,
         written("000.BAK", flz0_literals(kText)), {}, 0},
        {"a piece added past the table's 127: refused", laid(512, std::vector<std::string>(127, "p"), ""), as_is,
         written("127", "one too many"), {}, 1},
        {"a grid whose padding would make a piece too large: no padding", laid(1u << 20, {"a", "b"}, ""), as_is,
         written("000", std::string(kMaxPieceSize - 1, 'a')), {"--align=1048576"}, 0,
         laid(1u << 20, {std::string(kMaxPieceSize - 1, 'a'), "b"}, "")},
        {"an edited piece whose content was itself an FLZ0 file: compressed twice, as it was",
         laid(600, {flz0_encode(kPacked), raw}, "t"), x, written("000", edit), {}, 0,
         laid(600, {flz0_encode(edit), raw}, "t")},
        {"an FLZ0 piece split as it stands, given its decoded content: compressed again, never its old bytes",
         laid(600, {flz0_literals(kText), raw}, "t"), as_is, written("000", kText), {}, 0,
         laid(600, {flz0_encode(kText), raw}, "t")},
        {"a record that does not read: refused, never taken as none", laid(600, {kPacked, raw}, "t"), x,
         written(kRecordName, "bndtools split record 2\nbundle DATA.BND\nsize x\n"), {}, 1},
        {"a piece added after the last: appended, the tail kept", laid(600, {raw}, "the tail"), as_is,
         written("001", "added"), {}, 0, laid(600, {raw, "added"}, "the tail")},
        {"an edited FLZ0 piece whose stream fills its slot exactly: nothing after it, nothing moves",
         laid(600, {kPacked + std::string(edit.size() - kPacked.size(), '\0'), raw}, "tail"), x, appended("000", an_edit),
         {}, 0, laid(600, {edit, raw}, "tail")},
        {"on 2,048-byte sectors, an edited FLZ0 piece that outgrows its slot: the old padding left off, the grid "
         "padded with its byte",
         laid(2048, {sector_packed, ending_on(raw, 0, 2048, '\0')}, ""), x, appended("000", much_more), {}, 0,
         laid(2048, {ending_on(flz0_encode(kText + much_more), 0, 2048, '\xff'), ending_on(raw, 0, 2048, '\0')}, "")},
        {"on a 16-byte grid, the smallest kept: a piece that grew padded to it", laid(512, {std::string(16, 'a'), raw}, ""),
         as_is, appended("000", "b"), {}, 0, laid(512, {std::string(16, 'a') + "b" + std::string(15, '\0'), raw}, "")},
        {"a grid whose padding makes a piece exactly the largest: padded", laid(4096, {std::string(4096, 'a'), "b"}, ""),
         as_is, written("000", std::string(kMaxPieceSize - 1, 'a')), {}, 0,
         laid(4096, {std::string(kMaxPieceSize - 1, 'a') + '\0', "b"}, "")},
        {"a piece emptied: refused", laid(600, {kPacked, raw}, "t"), as_is, written("001", ""), {}, 1},
        {"an FLZ0 file within an FLZ0 piece split as it stands, given another such file: stored as it stands",
         laid(600, {flz0_encode(kPacked), raw}, "t"), as_is, written("000", flz0_encode(edit)), {}, 0,
         laid(600, {flz0_encode(edit), raw}, "t")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        clear();
        write_file(dir / "DATA.BND", row.bundle);
        ASSERT_EQ(split(row.split).status, 0);
        if (row.change)
            row.change(dir / "DATA");
        std::vector<std::string> args = row.join;
        args.push_back("DATA.BND");
        RunResult r = join(args);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_TRUE(row.after != row.bundle) << "a bundle left as it was is the row's \"\"";
        EXPECT_TRUE(read_file(dir / "DATA.BND") == (row.after.empty() ? row.bundle : row.after)) << r.out << r.err;
        if (row.status == 0) {
            EXPECT_EQ(read_file(dir / "DATA.BND.BAK"), row.bundle);
        } else {
            EXPECT_FALSE(fs::exists(dir / "DATA.BND.BAK"));
        }
    }
}

TEST_F(Records, TheEditLoopRunsAnyNumberOfTimesAndNothingOfTheUsersIsLost)
{
    const std::string original = laid(600, {kPacked, raw}, "the tail");
    ASSERT_NO_FATAL_FAILURE(cut(original));
    std::string text = kText;
    // A DATA.BND.BAK that is some other file: never replaced, nor the
    // original beside it.
    write_file(dir / "DATA.BND.BAK", "someone's own file");
    write_file(dir / "DATA" / "000", text + "Edit 0.\n");
    EXPECT_TRUE(fails_as(join(), 2, msg::kCannotRename, "bndjoin", "DATA.BND.BAK", msg::kAlreadyExists));
    EXPECT_EQ(read_file(dir / "DATA.BND"), original);
    EXPECT_EQ(read_file(dir / "DATA.BND.BAK"), "someone's own file");
    // A dry run ends as the join would.
    EXPECT_TRUE(fails_as(join({"-n", "DATA.BND"}), 2, msg::kCannotRename, "bndjoin", "DATA.BND.BAK", msg::kAlreadyExists));
    fs::remove(dir / "DATA.BND.BAK");
    for (int loop = 1; loop <= 3; ++loop) {
        text += "Edit " + std::to_string(loop) + ".\n";
        write_file(dir / "DATA" / "000", text);
        RunResult r = join();
        ASSERT_EQ(r.status, 0) << "loop " << loop << ": " << r.err;
        EXPECT_EQ(read_file(dir / "DATA.BND"), laid(600, {flz0_encode(text), raw}, "the tail"))
            << "loop " << loop;
        EXPECT_EQ(read_file(dir / "DATA.BND.BAK"), original) << "the pristine original, loop " << loop;
    }
    // A DATA.BND.BAK that a join from here wrote, beside the original put
    // back: the original is never replaced without its backup.
    const std::string last = read_file(dir / "DATA.BND").value_or("");
    write_file(dir / "DATA.BND.BAK", last);
    write_file(dir / "DATA.BND", original);
    EXPECT_TRUE(fails_as(join(), 2, msg::kCannotRename, "bndjoin", "DATA.BND.BAK", msg::kAlreadyExists));
    EXPECT_EQ(read_file(dir / "DATA.BND"), original);
    write_file(dir / "DATA.BND", last);
    write_file(dir / "DATA.BND.BAK", original);
    // A piece removed in a later loop comes from the original kept as the
    // backup, which the bundle the last join wrote no longer is.
    fs::remove(dir / "DATA" / "001");
    ASSERT_EQ(join().status, 0);
    EXPECT_EQ(read_file(dir / "DATA.BND"), laid(600, {flz0_encode(text), raw}, "the tail"));
    write_file(dir / "DATA" / "001", raw);

    // A backup the user removed: the bundle the last join wrote is
    // replaced, with no backup made of it in the original's place.
    fs::remove(dir / "DATA.BND.BAK");
    text += "Edit 4.\n";
    write_file(dir / "DATA" / "000", text);
    ASSERT_EQ(join().status, 0);
    EXPECT_EQ(read_file(dir / "DATA.BND"), laid(600, {flz0_encode(text), raw}, "the tail"));
    EXPECT_FALSE(fs::exists(dir / "DATA.BND.BAK"));
    write_file(dir / "DATA.BND.BAK", original);

    // A bundle that neither the split nor a join of this directory wrote
    // is never replaced: a game update, say.
    const std::string update = laid(600, {"new", "data"}, "");
    write_file(dir / "DATA.BND", update);
    EXPECT_TRUE(fails_as(join(), 2, msg::kCannotRename, "bndjoin", "DATA.BND",
                         "is neither the bundle DATA was cut from nor the one bndjoin last built from it: move it aside "
                         "to build a new one, and where it holds a patch, apply that patch to the pieces (bndpatch -d "
                         "DATA PATCH) to keep it"));
    EXPECT_EQ(read_file(dir / "DATA.BND"), update);
    EXPECT_EQ(read_file(dir / "DATA.BND.BAK"), original);

    // Split again over the edits: refused, naming the pieces, unless -f.
    write_file(dir / "DATA.BND", original);
    std::string edited_raw = raw;
    edited_raw[1] ^= 1;
    write_file(dir / "DATA" / "001", edited_raw);
    // A piece added past the bundle's last, which the split would remove:
    // no piece of the record, though it holds what the last one held; the
    // .BAK beside it is no piece of its own.
    write_file(dir / "DATA" / "002", raw);
    write_file(dir / "DATA" / "002.BAK", kPacked);
    EXPECT_TRUE(fails_as(split({"-x", "DATA.BND"}), 2, msg::kCannotRename, "bndsplit", "DATA",
                         "holds pieces changed since they were cut (000, 001, 002): join them first, or give -f to replace them"));
    // A bundle of the same name and size whose table differs is another bundle.
    std::string other = original;
    other[8] ^= 1;  // piece 1 starts a byte off
    write_file(dir / "DATA.BND", other);
    EXPECT_TRUE(fails_as(split({"-x", "DATA.BND"}), 1, msg::kOtherPieces, "bndsplit", "DATA",
                         "holds the pieces of DATA.BND: split into another directory with -d, or give -f to replace them"));
    write_file(dir / "DATA.BND", original);
    EXPECT_EQ(read_file(dir / "DATA" / "000"), text);
    EXPECT_EQ(split({"-f", "-x", "DATA.BND"}).status, 0);
    EXPECT_EQ(read_file(dir / "DATA" / "000"), kText);
    // A raw piece edited in place and joined: the bundle now holds what the
    // piece holds, so splitting it again over that piece loses nothing.
    std::string changed = raw;
    changed[100] ^= 1;
    write_file(dir / "DATA" / "001", changed);
    ASSERT_EQ(join().status, 0);
    RunResult r = split({"-x", "DATA.BND"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir / "DATA" / "001"), changed);
}

TEST_F(Records, AnotherBundlesPiecesAreNeverTaken)
{
    // SE.BND and SE.PAK both split into SE/.
    write_file(dir / "SE.BND", laid(512, {"bnd piece"}, ""));
    write_file(dir / "SE.PAK", laid(512, {"pak piece"}, ""));
    ASSERT_EQ(split({"SE.BND"}).status, 0);
    EXPECT_TRUE(fails_as(split({"SE.PAK"}), 1, msg::kOtherPieces, "bndsplit", "SE",
                         "holds the pieces of SE.BND: split into another directory with -d, or give -f to replace them"));
    ASSERT_EQ(split({"-f", "SE.PAK"}).status, 0);
    EXPECT_TRUE(fails_as(join({"SE.BND"}), 1, msg::kOtherPieces, "bndjoin", "SE",
                         "holds the pieces of SE.PAK: name that bundle, or give the directory with -d"));
    EXPECT_EQ(read_file(dir / "SE.BND"), laid(512, {"bnd piece"}, ""));
    EXPECT_FALSE(fs::exists(dir / "SE.BND.BAK"));

    // A rebuild into a new file, the pieces in a work folder: exact.
    const std::string original = laid(600, {kPacked, "raw"}, "tail");
    write_file(dir / "RO.BND", original);
    ASSERT_EQ(split({"-x", "-d", "WORK", "RO.BND"}).status, 0);
    fs::remove(dir / "RO.BND");
    ASSERT_EQ(join({"-d", "WORK", "NEW.BND"}).status, 0);
    EXPECT_EQ(read_file(dir / "NEW.BND"), original);
    // Split again as they stand, over pieces nobody changed: no refusal.
    write_file(dir / "RO.BND", original);
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(split({"-d", "SAME", "RO.BND"}).status, 0) << run;
    fs::remove(dir / "RO.BND");
    // A NEW.BND.BAK that is another bundle gives no piece of its own.
    write_file(dir / "NEW.BND.BAK", laid(600, {std::string(kPacked.size(), 'x'), "raw"}, "tail"));
    fs::remove(dir / "NEW.BND");
    fs::remove(dir / "WORK" / "000.BAK");
    join({"-d", "WORK", "NEW.BND"});
    EXPECT_NE(read_file(dir / "NEW.BND").value_or(""), laid(600, {std::string(kPacked.size(), 'x'), "raw"}, "tail"));
    fs::remove(dir / "NEW.BND.BAK");
    // Without the bundle and without the .BAK, a piece not there is refused.
    fs::remove(dir / "NEW.BND");
    fs::remove(dir / "WORK" / "000");
    EXPECT_TRUE(fails_as(join({"-d", "WORK", "NEW.BND"}), 1, msg::kBadPiece, "bndjoin", "WORK/000"));
    EXPECT_FALSE(fs::exists(dir / "NEW.BND"));
}

TEST_F(Records, ADryRunTellsWhatAJoinWouldMakeOfEachPieceAndWritesNothing)
{
    ASSERT_NO_FATAL_FAILURE(cut(laid(600, {kPacked, raw, "last"}, "t")));
    const std::string shorter = kText.substr(0, 1000);
    write_file(dir / "DATA" / "000", shorter);
    fs::remove(dir / "DATA" / "001");
    write_file(dir / "DATA" / "003", "new");
    const std::size_t shrunk = flz0_encode(shorter).size();
    const auto line = [](const char* name, std::size_t start, std::size_t size, const std::string& words) {
        char head[64];
        std::snprintf(head, sizeof head, "joining ... %-12s [%08zx-%08zx]", name, start, start + size);
        return head + (words.empty() ? "" : " " + words) + "\n";
    };
    const std::size_t at1 = 600 + shrunk, at2 = at1 + 700, at3 = at2 + 4;
    const std::string moved = "later pieces move -" + std::to_string(kPacked.size() - shrunk) + " bytes";
    const auto out = [&](bool all) {
        return line("000", 600, shrunk, "changed, compressed again, " + moved) +
               line("001", at1, 700, "taken from DATA.BND, the original, original bytes") +
               line("002", at2, 4, all ? "unchanged, original bytes" : "") + line("003", at3, 3, "added, as it stands");
    };
    const Snapshot before = snapshot(dir);
    for (const char* dry : {"-n", "--dry-run"}) {
        RunResult r = join({dry, "DATA.BND"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, console(out(true) + "Nothing was written (a dry run).\n"));
        EXPECT_EQ(snapshot(dir), before);
    }
    // The join itself says the same of each piece that is not as it was.
    RunResult r = join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, console(out(false) + "Completed.\n"));
    EXPECT_EQ(read_file(dir / "DATA.BND"), laid(600, {flz0_encode(shorter), raw, "last", "new"}, "t"));
    // Without a record: the places alone, and still nothing written.
    fs::remove(dir / "DATA" / kRecordName);
    write_file(dir / "DATA" / "001", raw);
    fs::remove(dir / "DATA.BND.BAK");
    const Snapshot now = snapshot(dir);
    r = join({"-n", "DATA.BND"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, console(line("000", 600, shrunk, "") + line("001", at1, 700, "") + line("002", at2, 4, "") +
                             line("003", at3, 3, "") + "Nothing was written (a dry run).\n"));
    EXPECT_EQ(snapshot(dir), now);
}

TEST_F(Records, AJoinFailedOrStoppedAtAnyCallLeavesALoopThatGoesOn)
{
    // The second join of the loop has two outputs, the record and the
    // bundle. Failed, stopped or interrupted anywhere, the bundle is the
    // first join's or the second's, the original stays as the backup, no
    // temporary stays after a failure or an interrupt, and a join run
    // again builds the second.
    const std::string original = laid(600, {kPacked, raw}, "tail");
    const std::string first = laid(600, {flz0_encode(kText + "1\n"), raw}, "tail");
    const std::string second = laid(600, {flz0_encode(kText + "1\n2\n"), raw}, "tail");
    // Each join works on files of its own in memory, in a folder the disk
    // never has, so that nothing an interrupt removes there is a real file:
    // the original split, its first piece edited and joined, then edited again.
    const std::string work = (dir / "in-memory").string();
    const std::string data = work + "/DATA.BND";
    const auto seed = [&](MemFs& files) {
        files.put(data, original);
        ASSERT_EQ(run_over(files, bndsplit_main, "bndsplit", {"-x", data}).status, 0);
        files.put(work + "/DATA/000", kText + "1\n");
        ASSERT_EQ(run_over(files, bndjoin_main, "bndjoin", {data}).status, 0);
        files.put(work + "/DATA/000", kText + "1\n2\n");
    };
    enum Mode { failed, stopped, interrupted };
    for (Mode mode : {failed, stopped, interrupted}) {
        for (int k = 0;; ++k) {
            SCOPED_TRACE((mode == failed ? "failed at call " : mode == stopped ? "stopped at call " : "interrupted at call ") +
                         std::to_string(k));
            MemFs files;
            ASSERT_NO_FATAL_FAILURE(seed(files));
            bool reached = false;
            bool refused = false;
            {
                FaultyFs faulty(work, files);
                (mode == failed ? faulty.fail_at : faulty.stop_at) = k;
                faulty.interrupted = mode == interrupted;
                JoinPlan join;
                Outcome f = plan_join(faulty, JoinRequest{.bundle = data, .dir = work + "/DATA"}, join);
                if (!f)
                    f = commit(faulty, join.plan, [](const Event&) { return Outcome{}; });
                reached = mode == failed ? faulty.calls() > k : faulty.stopped();
                refused = f.has_value();
                if (mode == failed && f) {
                    EXPECT_NE(f->fault, Fault::corrupt);
                }
            }
            // (A join that worked but could not remove the old record or
            // bundle after the swap leaves it under the temporary's name.)
            if (mode == interrupted || (mode == failed && refused)) {
                for (const auto& [name, bytes] : snapshot(files, work))
                    EXPECT_FALSE(name.ends_with(".$$$")) << name;
            }
            const std::optional<std::string> now = files.get(data);
            EXPECT_TRUE(now == first || now == second);
            EXPECT_EQ(files.get(work + "/DATA.BND.BAK"), original);
            RunResult r = run_over(files, bndjoin_main, "bndjoin", {data});
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(files.get(data), second);
            if (!reached)
                break;
        }
    }
}

TEST_F(Records, BytesOutsideThePiecesPastWhatARecordHoldsGiveNone)
{
    const struct {
        const char* what;
        std::uint64_t head, tail;
        bool recorded;
        int splits = 1;  // the second over the first's record, which reads every piece
    } rows[] = {
        {"16 MiB before the first piece", kMaxRecordedGap, 0, true},
        {"16 MiB before the first piece, split again", kMaxRecordedGap, 0, true, 2},
        {"16 MiB after the last", 0, kMaxRecordedGap, true},
        {"a byte more before it", kMaxRecordedGap + 1, 0, false},
        {"a byte more after the last", 0, kMaxRecordedGap + 1, false},
    };
    for (const auto& row : rows) {
        clear();
        const std::string bundle =
            laid(static_cast<std::uint32_t>(512 + row.head), {"piece"}, std::string(static_cast<std::size_t>(row.tail), 't'));
        write_file(dir / "DATA.BND", bundle);
        for (int run = 0; run < row.splits; ++run)
            ASSERT_EQ(split({"DATA.BND"}).status, 0) << row.what;
        EXPECT_EQ(fs::exists(dir / "DATA" / kRecordName), row.recorded) << row.what;
        // Joined either way, from the record or as before, the same bundle.
        EXPECT_EQ(join().status, 0) << row.what;
        EXPECT_TRUE(read_file(dir / "DATA.BND") == bundle) << row.what;
    }
    // A split that can have no record takes the record of an earlier one away first.
    clear();
    write_file(dir / "DATA.BND", laid(512, {"piece"}, ""));
    ASSERT_EQ(split({"DATA.BND"}).status, 0);
    ASSERT_TRUE(fs::exists(dir / "DATA" / kRecordName));
    write_file(dir / "DATA.BND", laid(512, {"other"}, std::string(static_cast<std::size_t>(kMaxRecordedGap) + 1, 't')));
    ASSERT_EQ(split({"-f", "DATA.BND"}).status, 0);
    EXPECT_EQ(file_names(dir / "DATA"), std::vector<std::string>{"000"});
}

TEST_F(Records, ASplitOfTheBundleTheLastJoinWroteIsAPlainSplitAndTheOriginalStaysTheBackup)
{
    const std::string original = laid(600, {kPacked, raw, "last"}, "t");
    ASSERT_NO_FATAL_FAILURE(cut(original));
    write_file(dir / "DATA" / "000", kText + "1\n");
    ASSERT_EQ(join().status, 0);
    // Every edit is in the bundle the join wrote: split again, nothing is lost.
    RunResult r = split({"-x", "DATA.BND"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir / "DATA" / "000"), kText + "1\n");
    r = join({"-n", "DATA.BND"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;
    EXPECT_EQ(r.out.find(" changed,"), std::string::npos) << r.out;
    // The next join replaces that bundle in one step; the backup is still the original.
    write_file(dir / "DATA" / "000", kText + "1\n2\n");
    write_file(dir / "DATA" / "001", raw + "+");
    ASSERT_EQ(join().status, 0);
    EXPECT_EQ(read_file(dir / "DATA.BND"), laid(600, {flz0_encode(kText + "1\n2\n"), raw + "+", "last"}, "t"));
    EXPECT_EQ(read_file(dir / "DATA.BND.BAK"), original);
    // Split again, and the backup removed: the bundle the pieces were cut
    // from, a join's, is replaced, and no backup made of it in the
    // original's place.
    ASSERT_EQ(split({"-x", "DATA.BND"}).status, 0);
    // The bundle they were cut from before, put back under the name (as a
    // patch taken back out would): a join from here wrote it, and a join
    // replaces it.
    write_file(dir / "DATA.BND", laid(600, {flz0_encode(kText + "1\n"), raw, "last"}, "t"));
    r = join({"-n", "DATA.BND"});
    EXPECT_EQ(r.status, 0) << r.err;
    write_file(dir / "DATA.BND", laid(600, {flz0_encode(kText + "1\n2\n"), raw + "+", "last"}, "t"));
    fs::remove(dir / "DATA.BND.BAK");
    write_file(dir / "DATA" / "000", kText + "1\n2\n3\n");
    ASSERT_EQ(join().status, 0);
    EXPECT_FALSE(fs::exists(dir / "DATA.BND.BAK"));
    // The original put back under the name is of the loop still: a split
    // refuses only for the edit it would lose.
    write_file(dir / "DATA.BND", original);
    EXPECT_TRUE(fails_as(split({"-x", "DATA.BND"}), 2, msg::kCannotRename, "bndsplit", "DATA",
                         "holds pieces changed since they were cut (000): join them first, or give -f to replace them"));
    // A piece in another form than a split would write it, joined: what it
    // holds is in the bundle, so a split of it, either way, loses nothing.
    ASSERT_EQ(run_tool(FLZ0PACK_EXE, "flz0pack", {"DATA/000"}, dir).status, 0);
    ASSERT_EQ(join().status, 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-x", "DATA.BND"}, {"DATA.BND"}, {"-x", "DATA.BND"}}) {
        r = split(args);
        EXPECT_EQ(r.status, 0) << args.size() << r.err;
    }
    EXPECT_EQ(read_file(dir / "DATA" / "000"), kText + "1\n2\n3\n");
}

TEST_F(Records, APieceTakenFromABundleSaysWhichBundleThatIs)
{
    const std::string original = laid(600, {kPacked, raw, "last"}, "t");
    ASSERT_NO_FATAL_FAILURE(cut(original));
    const auto line_of = [&](const char* piece) {
        const RunResult r = join({"-n", "DATA.BND"});
        const std::size_t at = r.out.find(std::string("joining ... ") + piece);
        const std::string line = at == std::string::npos ? r.err : r.out.substr(at, r.out.find('\n', at) - at);
        return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;  // a text stream's line end on Windows
    };
    fs::remove(dir / "DATA" / "001");
    EXPECT_TRUE(line_of("001").ends_with("] taken from DATA.BND, the original, original bytes")) << line_of("001");
    // Joined with piece 001 edited, then its file removed: the bundle the
    // join wrote no longer holds the piece the record gives; the original,
    // kept as the backup, does.
    write_file(dir / "DATA" / "001", raw + "+");
    ASSERT_EQ(join().status, 0);
    fs::remove(dir / "DATA" / "001");
    EXPECT_TRUE(line_of("001").ends_with("] taken from DATA.BND.BAK, the original, original bytes")) << line_of("001");
    // A piece the joined bundle still holds comes from it.
    fs::remove(dir / "DATA" / "002");
    write_file(dir / "DATA" / "001", raw);
    EXPECT_TRUE(line_of("002").ends_with("] taken from DATA.BND, the bundle a join from them wrote, original bytes"))
        << line_of("002");
    // Edited at the same size and joined, then removed: the bundle that join
    // wrote has a piece of that size there, but not the record's.
    write_file(dir / "DATA" / "002", "last");
    std::string same_size = raw;
    same_size[0] ^= 1;
    write_file(dir / "DATA" / "001", same_size);
    ASSERT_EQ(join().status, 0);
    fs::remove(dir / "DATA" / "001");
    ASSERT_EQ(join().status, 0);
    EXPECT_EQ(read_file(dir / "DATA.BND"), original);
}

TEST(SplitRecords, AStoppedSplitNamesTheFirstPieceItNeverWroteAndAWholeOneIsWrittenTwice)
{
    const std::string root = (fs::temp_directory_path() / "bndtools-in-memory-only").string();
    const std::string data = root + "/DATA.BND";
    const std::string bundle = laid(512, {"first", "second", "third"}, "");
    // The record goes before any piece and again after the last, and a piece
    // already there as the split would write it is left as it is.
    std::vector<std::string> first;  // the calls of the split over the bundle alone
    for (bool again : {false, true}) {
        MemFs files;
        files.put(data, bundle);
        if (again) {
            ASSERT_EQ(run_over(files, bndsplit_main, "bndsplit", {data}).status, 0);
        }
        FaultyFs watched(root, files);
        ASSERT_EQ(run_over(watched, bndsplit_main, "bndsplit", {data}).status, 0);
        const auto made = [&](const std::string& name) {
            return std::count(watched.log.begin(), watched.log.end(), "create_new DATA/" + name + ".$$$");
        };
        EXPECT_EQ(made(kRecordName), 2) << again;
        EXPECT_EQ(made("000") + made("001") + made("002"), again ? 0 : 3);
        if (!again)
            first = watched.log;
    }
    // Stopped as piece 001 is about to be made, or as the record saying the
    // split is done is (the record's last making): the record says the
    // split ran, and a join names the piece, or the record, rather than
    // build a bundle without every piece.
    const struct {
        std::string name;      // of the file being made, which the join names
        const char* reason;
        platform::Kind piece1;  // what DATA/001 is then
    } stops[] = {
        {"DATA/001", msg::kSplitStopped, platform::Kind::none},
        {std::string("DATA/") + kRecordName, msg::kSplitStoppedAtEnd, platform::Kind::regular},
    };
    for (const auto& stop : stops) {
        SCOPED_TRACE(stop.name);
        const auto at = std::find(first.rbegin(), first.rend(), "create_new " + stop.name + ".$$$");
        ASSERT_NE(at, first.rend());
        MemFs files;
        files.put(data, bundle);
        {
            FaultyFs crash(root, files);
            crash.stop_at = static_cast<int>(first.rend() - at) - 1;
            run_over(crash, bndsplit_main, "bndsplit", {data});
        }
        EXPECT_EQ(files.get(root + "/DATA/000"), "first");
        EXPECT_EQ(files.look(root + "/DATA/001", platform::Links::refuse).value.kind, stop.piece1);
        EXPECT_TRUE(fails_as(run_over(files, bndjoin_main, "bndjoin", {data}), 1, msg::kBadPiece, "bndjoin",
                             root + "/" + stop.name, stop.reason));
        EXPECT_EQ(files.get(data), bundle);
    }
}

TEST_F(Records, ARecordOfTheFirstVersionIsStillJoinedFrom)
{
    const std::string original = laid(512, {kPacked + std::string(3, '\0'), raw}, "t");
    ASSERT_NO_FATAL_FAILURE(cut(original));
    // The record as the first version wrote it: the hash of every byte,
    // the bytes after a stream in hexadecimal, how many pieces were written.
    std::string text = read_file(dir / "DATA" / kRecordName).value_or("");
    const auto replace = [&](const std::string& from, const std::string& to) {
        ASSERT_NE(text.find(from), std::string::npos) << from;
        text.replace(text.find(from), from.size(), to);
    };
    replace("record 2", "record 1");
    replace(text.substr(text.find("digest "), 71), "sha256 " + hex_of(sha256(bytes_of(original))));
    replace("state done\n", "");
    replace("listed 2\n", "listed 2\nwritten 2\n");
    write_file(dir / "DATA" / kRecordName, text);
    for (int loop = 1; loop <= 2; ++loop) {
        write_file(dir / "DATA" / "000", kText + std::string(static_cast<std::size_t>(loop), '+'));
        const RunResult r = join();
        ASSERT_EQ(r.status, 0) << "loop " << loop << ": " << r.err;
        EXPECT_EQ(read_file(dir / "DATA.BND.BAK"), original) << "loop " << loop;
    }
    // The bundle the last join wrote is of the loop, split again.
    RunResult r = split({"-x", "DATA.BND"});
    EXPECT_EQ(r.status, 0) << r.err;
    // A bundle of the name and size whose table differs is another bundle.
    std::string other = original;
    other[4] ^= 1;
    write_file(dir / "DATA.BND", other);
    EXPECT_TRUE(fails_as(split({"-x", "DATA.BND"}), 1, msg::kOtherPieces, "bndsplit", "DATA"));
    // A split of that version that stopped said how many pieces it had
    // written: a join names the first it never wrote.
    replace("sha256 " + hex_of(sha256(bytes_of(original))), "sha256 -");
    replace("written 2", "written 1");
    text.erase(text.find("piece 001"), text.find('\n', text.find("piece 001")) + 1 - text.find("piece 001"));
    write_file(dir / "DATA" / kRecordName, text);
    EXPECT_TRUE(fails_as(join(), 1, msg::kBadPiece, "bndjoin", "DATA/001", msg::kSplitStopped));
}

TEST_F(Records, ABundleIsKnownByTheDigestOfItsParts)
{
    // Each part's size, 8 bytes least significant first, and SHA-256, all
    // hashed: the bytes before piece 0, each piece, the bytes after the
    // last; the digest worked out apart from the tools. The second split
    // runs over the first's record, and so reads every piece before it writes.
    write_file(dir / "DATA.BND", laid(600, {"ab", "c"}, "tail"));
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(split({"DATA.BND"}).status, 0);
        const std::string record = read_file(dir / "DATA" / kRecordName).value_or("");
        EXPECT_NE(record.find("\ndigest d645f31e2d5e28ceeed4a99999801206e6a43b92335cd2844f8252fefcfcb72d\n"),
                  std::string::npos)
            << record;
    }
}
