#include "bundle.hpp"

#include <algorithm>
#include <array>
#include <initializer_list>

#include <gtest/gtest.h>

#include "le.hpp"
#include "messages.hpp"
#include "count.hpp"
#include "naming.hpp"
#include "piece_kind.hpp"
#include "flz0_files.hpp"
#include "render.hpp"
#include "support.hpp"

namespace {

using Entries = std::initializer_list<std::uint32_t>;

TableBytes table_of(Entries entries)
{
    return make_table(std::vector<std::uint32_t>(entries));
}

// Every entry k set to start + k * step.
TableBytes arithmetic_table(std::uint32_t start, std::uint32_t step)
{
    std::vector<std::uint32_t> entries;
    for (std::size_t k = 0; k < kTableEntries; ++k)
        entries.push_back(start + static_cast<std::uint32_t>(k) * step);
    return make_table(entries);
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges(const std::vector<Piece>& pieces)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> r;
    for (const Piece& p : pieces)
        r.emplace_back(p.start, p.end);
    return r;
}

}  // namespace

TEST(LittleEndian, AssemblesBytesLeastSignificantFirst)
{
    const std::uint8_t b[] = {0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(get_le32(b), 0x12345678u);
    EXPECT_EQ(get_le32(b + 4), 0xFFFFFFFFu);
    EXPECT_EQ(get_le16(b), 0x5678u);
    EXPECT_EQ(get_le16(b + 3), 0xFF12u);
}

TEST(ParseCount, ReadsHexOnlyAfterALowerCaseLiteralElseDecimal)
{
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"0x20", 32},   {"0x7F", 127},     {"20", 20},        {"12abc", 12},
        {"-3", -3},     {"0X20", 0},       {"abc", 0},        {" 0x20", 0},
        {"0x+20", 32},  {"0x0x20", 32},    {"0x0X20", 32},    {"0x-1", -1},
        {"0xFFFFFFFF", -1}, {"0x", 0},     {"", 0},           {"0x 1f", 31},
        {"0x\t\n-10", -16}, {" \t+42z", 42}, {"+-3", 0},      {"0xg", 0},
        {"0x0x", 0},    {"007", 7},        {"-", 0},          {"0x100000001", 1},
        {"4294967295", -1}, {"2147483648", -2147483647 - 1}, {"4294967424", 128},
        {"0x80000000", -2147483647 - 1},  {"-0x10", 0},      {"1 2", 1},
        {"\v12", 12},  {"\f\r7", 7},      {"0x\v1f", 31},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_count(c.text), c.value) << '"' << c.text << '"';
}

TEST(EnumeratePieces, EndsAtTheFirstFailingPair)
{
    const struct {
        const char* what;
        std::array<std::uint8_t, kTableSize> table;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
    } cases[] = {
        {"entry 1 is zero", table_of({512, 0, 600}), {}},
        {"all zero", table_of({}), {}},
        {"zero-sized pair hides the rest", table_of({512, 1000, 1000, 2000}), {{512, 1000}}},
        {"largest piece accepted", table_of({512, 512 + 1261568u}), {{512, 512 + 1261568u}}},
        {"one byte over the largest", table_of({512, 513 + 1261568u}), {}},
        {"end below start", table_of({0x2000, 0x3000, 0x2000, 0x4000}), {{0x2000, 0x3000}}},
        {"end below a start near 2^32, small size modulo 2^32", table_of({0xFFFFFFFFu, 0xFFFF}), {}},
        {"start inside the table", table_of({0, 4, 8}), {{0, 4}, {4, 8}}},
        {"end at the top of 32 bits", table_of({0xFFFFFF00u, 0xFFFFFFFFu}), {{0xFFFFFF00u, 0xFFFFFFFFu}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ranges(enumerate_pieces(c.table, 127)), c.expected) << c.what;
}

TEST(EnumeratePieces, FullTableGives127PiecesEndingAtTheLastEntry)
{
    auto table = arithmetic_table(512, 100);
    std::vector<Piece> pieces = enumerate_pieces(table, 127);
    ASSERT_EQ(pieces.size(), 127u);
    EXPECT_EQ(pieces.back().index, 126);
    EXPECT_EQ(pieces.back().end, 512u + 127u * 100u);
}

TEST(EnumeratePieces, NeverReadsAnEntryPastTheTable)
{
    // The table as the first 512 bytes of a longer buffer whose next four
    // bytes would make a 128th entry that ends a valid 128th piece.
    const TableBytes table = arithmetic_table(512, 10);
    std::vector<std::uint8_t> bytes(table.begin(), table.end());
    for (std::uint8_t b : {512 + 1280, (512 + 1280) >> 8, 0, 0})
        bytes.push_back(static_cast<std::uint8_t>(b));
    const std::vector<Piece> pieces = enumerate_pieces(Table(bytes.data(), kTableSize), 1000);
    EXPECT_EQ(pieces.size(), 127u);
    EXPECT_EQ(pieces.back().end, 512u + 1270u);
}

TEST(EnumeratePieces, LimitCutsTheListAndNeverReachesPastTheTable)
{
    auto table = arithmetic_table(512, 10);
    const struct {
        std::int32_t limit;
        std::size_t count;
    } cases[] = {
        {3, 3}, {0, 0}, {-1, 0}, {-2147483647 - 1, 0}, {1, 1}, {127, 127}, {128, 127}, {2147483647, 127},
    };
    for (const auto& c : cases) {
        std::vector<Piece> pieces = enumerate_pieces(table, c.limit);
        EXPECT_EQ(pieces.size(), c.count) << "limit " << c.limit;
        for (std::size_t k = 0; k < pieces.size(); ++k)
            EXPECT_EQ(pieces[k].index, static_cast<int>(k));
    }
}

TEST(PieceNames, DirectoryIsCutAtTheLastDotOfTheFileNameOnly)
{
#ifdef _WIN32
    const bool windows = true;
#else
    const bool windows = false;
#endif
    const struct {
        const char* bundle;
        const char* dir;
        bool on_windows_only;
    } cases[] = {
        {"DATA.BND", "DATA", false},         {"disk1/SE.BND", "disk1/SE", false}, {"a.b.c", "a.b", false},
        {"pack.old/SE", "pack.old/SE.d", false}, {"../SE", "../SE.d", false},    {"./SE", "./SE.d", false},
        {".BND", ".BND.d", false},           {"dir/.hidden", "dir/.hidden.d", false}, {"SE", "SE.d", false},
        {"SE.", "SE", false},                {"../DATA/001", "../DATA/001.d", false},
        {"pack.old\\SE", "pack.old\\SE.d", true}, {"C:x.BND", "C:x", true}, {"disk1\\SE.BND", "disk1\\SE", true},
    };
    for (const auto& c : cases) {
        if (windows || !c.on_windows_only) {
            EXPECT_EQ(piece_dir_name(c.bundle), c.dir) << c.bundle;
        }
    }
    // Elsewhere a backslash is part of a name like any other character.
    const struct {
        const char* bundle;
        const char* dir;
    } posix[] = {{"pack.old\\SE", "pack"}, {"C:x.BND", "C:x"}, {"a\\.b", "a\\"}};
    for (const auto& c : posix) {
        if (!windows) {
            EXPECT_EQ(piece_dir_name(c.bundle), c.dir) << c.bundle;
        }
    }
    EXPECT_EQ(piece_dir_name(std::string(1000, 'n') + ".BND"), std::string(1000, 'n'));
}

TEST(PieceNames, FilesAreThreeDigitsAndTheProgressLineIsPadded)
{
    EXPECT_EQ(piece_file_name(0), "000");
    EXPECT_EQ(piece_file_name(126), "126");
    EXPECT_EQ(piece_line(msg::kCuttingFormat, 0, 0x200, 0x9a0), "cutting ... 000          [00000200-000009a0]\n");
    EXPECT_EQ(piece_line(msg::kCuttingFormat, 42, 0xFFFFFF00u, 0xFFFFFFFFu),
              "cutting ... 042          [ffffff00-ffffffff]\n");
}

TEST(MakeTable, EntriesLeastSignificantByteFirstAndZerosAfter)
{
    const std::uint32_t entries[] = {0x200, 0x12345678, 0xFFFFFFFFu};
    const TableBytes t = make_table(entries);
    const std::uint8_t head[] = {0x00, 0x02, 0, 0, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(std::equal(std::begin(head), std::end(head), t.begin()));
    EXPECT_TRUE(std::all_of(t.begin() + sizeof head, t.end(), [](std::uint8_t b) { return b == 0; }));

    std::vector<std::uint32_t> all(kTableEntries + 1, 0x01020304);  // one more than the table holds
    const TableBytes full = make_table(all);
    EXPECT_EQ(full[kTableSize - 4], 0x04);
    EXPECT_EQ(full[kTableSize - 1], 0x01);
}

TEST(PieceNames, APieceFileIsExactlyThreeDigitsOrThoseAndDotBak)
{
    const struct {
        const char* name;
        int number;
    } cases[] = {
        {"000", 0}, {"126", 126}, {"999", 999}, {"042.BAK", 42}, {"0050", -1}, {"12", -1}, {"12a", -1},
        {"123-notes.txt", -1}, {"005.BAK.old", -1}, {".BAK", -1}, {"", -1}, {"1 2", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(piece_number(c.name), c.number) << '"' << c.name << '"';
    EXPECT_EQ(piece_file_name(7), "007");
    EXPECT_EQ(piece_file_name(126), "126");
}

TEST(PieceKind, SaysWhetherFlz0AndGuessesTheTypeOfTheContent)
{
    using namespace std::string_literals;
    const std::string text = "Once upon a time, a text.\n";
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(20, '\0');
    std::string nested = table_bytes({512, 520}) + "8 bytes.";
    const struct {
        const char* what;
        std::string piece;
        std::string words;
    } rows[] = {
        {"FLZ0 of text, nothing after", flz0_literals(text), "FLZ0, 26 bytes decoded, text"},
        {"FLZ0 with padding after", flz0_literals(text) + std::string(6, '\0'), "FLZ0, 26 bytes decoded, 6 bytes after its stream, text"},
        {"FLZ0 shorter than its header", std::string("FLZ0\0", 5), "FLZ0, 0 bytes decoded"},
        {"FLZ0 with one byte after", flz0_literals(text) + "x", "FLZ0, 26 bytes decoded, 1 byte after its stream, text"},
        {"FLZ0 of an image: the content's type", flz0_literals(png), "FLZ0, 28 bytes decoded, PNG image"},
        {"FLZ0 of nothing", flz0_literals(""), "FLZ0, 0 bytes decoded"},
        {"FLZ0 that does not decode, as -x and varnix find it", flz0_literals(text).substr(0, 14),
         "FLZ0 that does not decode: its stream ends after 5 of 26 bytes"},
        {"raw image", png, "raw, PNG image"},
        {"raw sound, its mark at 8", "RIFF\x10\0\0\0WAVEfmt "s, "raw, WAVE sound"},
        {"raw archive", "PK\x03\x04rest"s, "raw, ZIP archive"},
        {"raw executable", "MZ\x90\0"s, "raw, Windows executable"},
        {"a bundle inside", nested, "raw, bundle"},
        {"a table whose last piece does not end at the end", nested + "x", "raw"},
        {"binary", std::string("\x01\x02\x03", 3), "raw"},
        {"text with a tab and CR LF", "a\tb\r\n", "raw, text"},
        {"text with a DEL", "a\x7f", "raw"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kind_words(piece_kind({reinterpret_cast<const std::uint8_t*>(row.piece.data()), row.piece.size()})), row.words)
            << row.what;
}
