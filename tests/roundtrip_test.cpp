// The whole cycle: bndsplit -x, then bndjoin, gives back the same bytes
// wherever nothing changed, on bundles of every shape.
#include <random>

#include "flz0_files.hpp"
#include "flz0_reference.hpp"
#include "support.hpp"

namespace {

struct Shape {
    const char* what;
    unsigned seed;
    std::size_t pieces;
    std::size_t head;    // bytes between the table and piece 0
    std::size_t tail;    // bytes after the last piece
    bool unused;         // entries after the last one used hold other values
    bool largest;        // one piece of the largest size
};

// A piece of one of the kinds bundles hold: FLZ0 files, some with bytes
// after their stream, text and binary data.
std::string piece_of(std::mt19937& rng, std::size_t k)
{
    const std::size_t n = 1 + rng() % 3000;
    switch (rng() % 4) {
    case 0:
        return flz0_encode(text_of(n));
    case 1:
        return flz0_encode(text_of(n)) + std::string(rng() % 40, '\0');  // padded to a boundary
    case 2:
        return text_of(n).substr(k % 7);
    default:
        return random_bytes(n, static_cast<unsigned>(rng()));
    }
}

struct Built {
    std::string bundle;
    std::vector<std::uint32_t> entries;  // the table as written
};

Built build(const Shape& s)
{
    std::mt19937 rng(s.seed);
    std::vector<std::string> pieces;
    for (std::size_t k = 0; k < s.pieces; ++k)
        pieces.push_back(piece_of(rng, k));
    if (s.largest)
        pieces[s.pieces / 2] = random_bytes(1261568, s.seed);
    Built b;
    std::uint32_t offset = 512 + static_cast<std::uint32_t>(s.head);
    for (const std::string& p : pieces) {
        b.entries.push_back(offset);
        offset += static_cast<std::uint32_t>(p.size());
    }
    b.entries.push_back(offset);
    if (s.unused && b.entries.size() < 128) {
        b.entries.push_back(1);  // below the last end: the list ends here
        while (b.entries.size() < 128)
            b.entries.push_back(static_cast<std::uint32_t>(rng()));
    }
    b.bundle = table_bytes(b.entries) + random_bytes(s.head, s.seed + 1);
    for (const std::string& p : pieces)
        b.bundle += p;
    b.bundle += random_bytes(s.tail, s.seed + 2);
    return b;
}

const Shape kShapes[] = {
    {"one piece, end to end", 1, 1, 0, 0, false, false},
    {"a few pieces, end to end", 2, 6, 0, 0, false, false},
    {"bytes before piece 0", 3, 5, 100, 0, false, false},
    {"bytes after the last piece", 4, 5, 0, 77, false, false},
    {"entries after the last one used", 5, 4, 0, 0, true, false},
    {"all of it", 6, 9, 1000, 3000, true, false},
    {"the most pieces a table holds", 7, 127, 8, 8, false, false},
    {"a piece of the largest size", 8, 3, 16, 16, true, true},
};

class RoundTrip : public ScratchTest {
protected:
    RunResult split(const std::vector<std::string>& args) { return run_tool(BNDSPLIT_EXE, "bndsplit", args, dir); }
    RunResult join(const std::vector<std::string>& args) { return run_tool(BNDJOIN_EXE, "bndjoin", args, dir); }
};

}  // namespace

TEST_F(RoundTrip, SplitDecodedThenJoinedGivesBackTheBundleByteForByte)
{
    for (const Shape& s : kShapes) {
        clear();
        const Built b = build(s);
        write_file(dir / "B.BND", b.bundle);
        RunResult r = split({"-x", "B.BND"});
        ASSERT_EQ(r.status, 0) << s.what << ": " << r.err;
        r = join({"B.BND"});
        ASSERT_EQ(r.status, 0) << s.what << ": " << r.err;
        EXPECT_EQ(r.err, "") << s.what;
        EXPECT_TRUE(read_file(dir / "B.BND") == b.bundle) << s.what;
        EXPECT_TRUE(read_file(dir / "B.BND.BAK") == b.bundle) << s.what;
    }
}

TEST_F(RoundTrip, AnEditedPieceChangesOnlyItsOwnBytesAndTheOffsetsAfterIt)
{
    const Shape s = kShapes[5];
    const Built b = build(s);
    const std::size_t k = 4;  // the piece edited
    const std::string original = b.bundle.substr(b.entries[k], b.entries[k + 1] - b.entries[k]);
    const struct {
        const char* what;
        std::string piece;  // what the edit leaves as the piece file, written as it stands
    } edits[] = {
        {"the same size", std::string(original.size(), 'e')},
        {"grown", original + "and some more bytes"},
        {"shrunk", original.substr(0, original.size() / 2 + 1)},
    };
    for (const auto& e : edits) {
        clear();
        write_file(dir / "B.BND", b.bundle);
        ASSERT_EQ(split({"B.BND"}).status, 0) << e.what;
        write_file(dir / "B" / "004", e.piece);
        ASSERT_EQ(join({"--as-is", "B.BND"}).status, 0) << e.what;  // stored as it stands, as it was edited
        const std::string now = read_file(dir / "B.BND").value_or("");
        const auto delta = static_cast<std::int64_t>(e.piece.size()) - static_cast<std::int64_t>(original.size());
        ASSERT_EQ(static_cast<std::int64_t>(now.size()), static_cast<std::int64_t>(b.bundle.size()) + delta) << e.what;
        for (std::size_t j = 0; j < b.entries.size(); ++j)
            EXPECT_EQ(entry_at(now, j), j <= k || j > s.pieces ? b.entries[j] : b.entries[j] + delta)
                << e.what << ", entry " << j;
        // Every other byte: the table's rest, the bytes before piece k, the
        // piece itself as edited, and everything after it, moved.
        EXPECT_TRUE(now.substr(512, b.entries[k] - 512) == b.bundle.substr(512, b.entries[k] - 512)) << e.what;
        EXPECT_TRUE(now.substr(b.entries[k], e.piece.size()) == e.piece) << e.what;
        EXPECT_TRUE(now.substr(b.entries[k + 1] + delta) == b.bundle.substr(b.entries[k + 1])) << e.what;
    }
}

TEST_F(RoundTrip, AnEditedFlz0PieceIsStoredCompressedAgainUnlessAsIs)
{
    const std::string text = text_of(2000);
    const std::string bundle = make_bundle({"raw", flz0_encode(text), "raw too"});
    const std::string edited = text + "An edit.\n";
    const struct {
        const char* what;
        bool as_is;
        bool packed;  // the edited piece packed again by flz0pack, beside its old .BAK
    } cases[] = {
        {"compressed again", false, false},
        {"--as-is: as it stands", true, false},
        {"packed by flz0pack: as it stands, never compressed twice", false, true},
    };
    for (const auto& c : cases) {
        clear();
        write_file(dir / "B.BND", bundle);
        ASSERT_EQ(split({"-x", "B.BND"}).status, 0);
        EXPECT_EQ(read_file(dir / "B" / "001"), text);
        write_file(dir / "B" / "001", edited);
        if (c.packed) {
            ASSERT_EQ(run_tool(FLZ0PACK_EXE, "flz0pack", {"B/001"}, dir).status, 0);
        }
        const std::string piece = read_file(dir / "B" / "001").value_or("");
        std::vector<std::string> args = {"B.BND"};
        if (c.as_is)
            args.insert(args.begin(), "--as-is");
        RunResult r = join(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string now = read_file(dir / "B.BND").value_or("");
        const std::string stored = now.substr(entry_at(now, 1), entry_at(now, 2) - entry_at(now, 1));
        if (c.as_is || c.packed) {
            EXPECT_EQ(stored, piece) << c.what;
        } else {
            std::optional<std::vector<std::uint8_t>> back = flz0_reference_decode(
                {reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()});
            EXPECT_TRUE(back && std::string(back->begin(), back->end()) == edited);
        }
        // The progress line shows the bytes as stored, and what was made of them.
        std::string line = progress_for({"raw", stored}, 2, "joining");
        line = line.substr(line.find('\n') + 1);
        line.pop_back();
        line += c.as_is || c.packed ? " changed, as it stands" : " changed, compressed again";
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    }
}
