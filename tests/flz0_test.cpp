#include "flz0.hpp"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flz0_files.hpp"
#include "flz0_reference.hpp"
#include "pack.hpp"
#include "support.hpp"

namespace {

// Builds a stream item by item, setting the flag bits as it goes.
class Stream {
public:
    Stream& literal(std::uint8_t b)
    {
        item(true);
        bytes_.push_back(static_cast<char>(b));
        return *this;
    }
    Stream& literals(const std::string& s)
    {
        for (char c : s)
            literal(static_cast<std::uint8_t>(c));
        return *this;
    }
    Stream& ref(std::size_t pos, unsigned len)
    {
        item(false);
        const Flz0Reference r = flz0_reference(pos, len);
        bytes_.append(r.begin(), r.end());
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

private:
    void item(bool is_literal)
    {
        if (count_ % kItemsPerGroup == 0) {
            flag_at_ = bytes_.size();
            bytes_.push_back(0);
        }
        if (is_literal)
            bytes_[flag_at_] = static_cast<char>(bytes_[flag_at_] | (1 << (count_ % kItemsPerGroup)));
        ++count_;
    }
    std::string bytes_;
    std::size_t flag_at_ = 0;
    std::size_t count_ = 0;
};

struct Result {
    DecodeStatus status;
    std::string data;
};


std::span<const std::uint8_t> as_bytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// decode -- the shipped decoder, checked against the plain reading of the
// format on the same bytes
Result decode(const std::string& stream, std::size_t original)
{
    // Exactly the stream's bytes, so a read past them is out of bounds, and
    // an output that does not start as zeros, so a byte left unwritten shows.
    std::vector<std::uint8_t> in(stream.begin(), stream.end());
    std::vector<std::uint8_t> out(original, 0xA5);
    DecodeStatus s = flz0_decode(in, out).status;

    std::string image = flz0_header(original, 0) + stream;
    auto plain = flz0_reference_decode(as_bytes(image));
    EXPECT_EQ(plain.has_value(), s == DecodeStatus::ok);
    if (plain && s == DecodeStatus::ok) {
        EXPECT_TRUE(*plain == out) << "decoder and plain reading disagree";
    }
    return {s, std::string(out.begin(), out.end())};
}

// original_of -- a file's original size, read here: bytes 4 and 5, low first
std::size_t original_of(const std::string& file)
{
    return static_cast<unsigned char>(file[4]) | static_cast<unsigned char>(file[5]) << 8;
}

Result decode_file(const std::string& file)
{
    return decode(file.substr(8), original_of(file));
}

std::string zeros(std::size_t n)
{
    return std::string(n, '\0');
}

// n literals whose values are their indices, filling the ring from 4078 on.
std::string counting(std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += static_cast<char>(i * 37 + 11);
    return s;
}


std::string text(std::size_t n)
{
    static const char* words[] = {"the ", "ring ", "buffer ", "holds ", "four ", "thousand ", "bytes", ".\n"};
    std::string s;
    std::mt19937 rng(7);
    while (s.size() < n)
        s += words[rng() % 8];
    s.resize(n);
    return s;
}

}  // namespace

TEST(Flz0Header, MagicAndSizesWithShortHeadersReadingAsZero)
{
    EXPECT_TRUE(has_flz0_magic(as_bytes("FLZ0")));
    for (const char* bad : {"", "F", "FLZ", "flz0", "FLZ1", " FLZ0"})
        EXPECT_FALSE(has_flz0_magic(as_bytes(bad))) << bad;

    Flz0Header h = read_flz0_header(as_bytes(std::string("FLZ0\x34\x12\xCD\xAB", 8)));
    EXPECT_EQ(h.original_size, 0x1234);
    EXPECT_EQ(h.compressed_size, 0xABCD);
    h = read_flz0_header(as_bytes("FLZ0"));
    EXPECT_EQ(h.original_size, 0);
    EXPECT_EQ(h.compressed_size, 0);
    h = read_flz0_header(as_bytes("FLZ0\x05"));
    EXPECT_EQ(h.original_size, 5);
    EXPECT_TRUE(flz0_stream(as_bytes("FLZ0\x05")).empty());
}

TEST(Flz0Decode, RingSemantics)
{
    const std::string x = "X";
    const struct {
        const char* what;
        std::string stream;
        std::size_t original;
        std::string expected;
    } cases[] = {
        {"nothing to produce", "", 0, ""},
        {"eight literals", "\xFF" "abcdefgh", 8, "abcdefgh"},
        {"references before any literal read zeros", Stream().ref(0x123, 7).bytes(), 7, zeros(7)},
        {"reference to the write position copies onto itself", Stream().ref(kRingStart, 3).bytes(), 3, zeros(3)},
        {"reference just behind the write position repeats", Stream().literal('X').ref(kRingStart, 3).bytes(), 4,
         "XXXX"},
        {"longest overlapping reference", Stream().literal('A').ref(kRingStart, kMaxMatch).bytes(), 19,
         std::string(19, 'A')},
        {"two-byte period", Stream().literals("ab").ref(kRingStart, 6).bytes(), 8, "abababab"},
        {"reference wraps from 4095 to 0",
         Stream().literals(counting(20)).ref(kRingSize - 1, 3).bytes(), 23, counting(20) + counting(20).substr(17, 3)},
        {"write position wraps after 18 bytes",
         Stream().literals(counting(21)).ref(0, 3).bytes(), 24, counting(21) + counting(21).substr(18, 3)},
        {"reference to the write position after 4096 bytes repeats the byte 4096 back",
         Stream().literals(counting(kRingSize)).ref(kRingStart, 3).bytes(), kRingSize + 3,
         counting(kRingSize) + counting(3)},
        {"reference from never-written ring bytes into its own output",
         Stream().literals("AB").ref(kRingStart - 2, 5).bytes(), 7, std::string("AB\0\0AB\0", 7)},
        {"absolute position 0x134, length 5",
         Stream().literals(counting(340)).ref(0x134, 5).bytes(), 345, counting(340) + counting(340).substr(0x134 + 18, 5)},
    };
    for (const auto& c : cases) {
        Result d = decode(c.stream, c.original);
        EXPECT_EQ(d.status, DecodeStatus::ok) << c.what;
        EXPECT_EQ(d.data, c.expected) << c.what;
    }
    EXPECT_EQ(Stream().ref(0x134, 5).bytes().substr(1), "\x34\x12");
    EXPECT_EQ(flz0_header(5, 3), std::string("FLZ0\x05\0\x03\0", 8));
    EXPECT_EQ(flz0_header(0xFFFF, 0x1234), "FLZ0\xFF\xFF\x34\x12");
    EXPECT_EQ(Stream().ref(kRingStart, 3).bytes(), std::string("\0\xEE\xF0", 3));
}

TEST(Flz0Decode, StopsAtExactlyTheOriginalSize)
{
    // The rest of the group, and the rest of a reference, are never produced
    // and their bytes are not needed.
    EXPECT_EQ(decode("\xFF" "abcdefgh", 5).data, "abcde");
    EXPECT_EQ(decode("\xFF" "abc", 3).status, DecodeStatus::ok);
    EXPECT_EQ(decode(Stream().literal('X').ref(kRingStart, kMaxMatch).bytes(), 4).data, "XXXX");
    EXPECT_EQ(decode(std::string("\0\x10\x0F", 3), 1).data, zeros(1));
}

TEST(Flz0Decode, EveryCutOfAStreamIsReportedAsTruncated)
{
    const std::string file = flz0_encode(text(300) + zeros(40) + random_bytes(50, 1));
    const std::string stream = file.substr(kFlz0HeaderSize);
    const std::size_t original = original_of(file);
    for (std::size_t len = 0; len < stream.size(); ++len)
        EXPECT_EQ(decode(stream.substr(0, len), original).status, DecodeStatus::truncated) << "length " << len;
    EXPECT_EQ(decode(stream, original).status, DecodeStatus::ok);
}

TEST(Flz0Decode, TruncatedInsideAReference)
{
    EXPECT_EQ(decode(std::string("\0\x10", 2), 3).status, DecodeStatus::truncated);
    EXPECT_EQ(decode(std::string("\x01" "a", 2), 2).status, DecodeStatus::truncated);
}

TEST(Flz0Decode, AGroupOneByteShortOfEitherEndStaysInsideBoth)
{
    // Eight references of 18 bytes: the most input (16 bytes) and output
    // (144) a group can use, each one byte short. The spans are parts of
    // larger buffers, so a byte read or written past an end is not out of
    // bounds and shows only in the result: the byte after the stream, read
    // as a reference's second byte, makes the longest reference, which
    // fills the output; the byte after the output is a sentinel.
    Stream group;
    for (std::size_t i = 0; i < kItemsPerGroup; ++i)
        group.ref(0x123, kMaxMatch);  // before any literal: zeros
    const std::string whole = group.bytes();
    const struct {
        const char* what;
        std::string stream;
        std::size_t original;
        DecodeStatus status;
        std::size_t produced;
    } cases[] = {
        {"the stream ends inside the last reference", whole.substr(0, whole.size() - 1), 144, DecodeStatus::truncated,
         126},
        {"the output ends inside the last reference", whole, 143, DecodeStatus::ok, 143},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> in(c.stream.begin(), c.stream.end());
        in.push_back(0xFF);
        std::vector<std::uint8_t> out(c.original + 1, 0xA5);
        const Decoded d = flz0_decode(std::span(in).first(c.stream.size()), std::span(out).first(c.original));
        EXPECT_EQ(d.status, c.status) << c.what;
        EXPECT_EQ(d.produced, c.produced) << c.what;
        EXPECT_EQ(out.back(), 0xA5) << c.what << ": a byte written past the output";
        EXPECT_TRUE(std::all_of(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(c.produced),
                                [](std::uint8_t b) { return b == 0; }))
            << c.what;
    }
}

TEST(Flz0Pack, RoundTripsAndEndsWithAWholeGroupWhereAnyParseDoes)
{
    std::string all_values;
    for (int i = 0; i < 256; ++i)
        all_values += static_cast<char>(i);
    // overrun: what a decoder that runs the last group to its end writes
    // past the original size; only where no parse ends with a whole group
    const struct {
        const char* what;
        std::string data;
        std::size_t overrun;
    } cases[] = {
        {"empty", "", 0},
        {"one byte: seven items missing, read as literals", "x", 7},
        {"text", text(20000), 0},
        {"random", random_bytes(5000, 2), 0},
        {"random, one literal over whole groups", random_bytes(5001, 2), 7},
        {"one byte repeated", std::string(10000, 'q'), 0},
        {"zeros, from the ring's initial bytes", zeros(9000), 0},
        {"every byte value", all_values + all_values, 0},
        {"largest text", text(kMaxOriginalSize), 0},
        {"largest run", std::string(kMaxOriginalSize, '\x1a'), 0},
    };
    for (const auto& c : cases) {
        const std::string file = flz0_encode(c.data);
        EXPECT_EQ(static_cast<unsigned char>(file[6]) | static_cast<unsigned char>(file[7]) << 8, file.size() - 8)
            << c.what;
        Result d = decode_file(file);
        EXPECT_EQ(d.status, DecodeStatus::ok) << c.what;
        EXPECT_TRUE(d.data == c.data) << c.what;
        std::vector<std::uint8_t> to_end = flz0_group_end_decode(as_bytes(file));
        EXPECT_EQ(to_end.size(), c.data.size() + c.overrun) << c.what;
        EXPECT_TRUE(std::string(to_end.begin(), to_end.begin() + c.data.size()) == c.data) << c.what;
    }
}

TEST(Flz0Pack, RefusesWhatNoFileOfTheLargestSizeHolds)
{
    const std::string fits = random_bytes(58000, 3), too_big = random_bytes(58300, 3);
    EXPECT_TRUE(flz0_pack(as_bytes(fits)).has_value());
    EXPECT_LE(flz0_encode(fits).size(), kMaxFlz0FileSize);
    EXPECT_FALSE(flz0_pack(as_bytes(too_big)).has_value());
    EXPECT_FALSE(flz0_pack(as_bytes(zeros(kMaxOriginalSize + 1))).has_value());
    EXPECT_TRUE(flz0_pack(as_bytes(zeros(kMaxOriginalSize))).has_value());
}

TEST(Flz0Decode, LargestStreamsFitTheImage)
{
    // 65,535 literals with their flag bytes: longer than 65,536 bytes.
    const std::string data = random_bytes(kMaxOriginalSize, 4);
    const std::string literals = flz0_literals(data);
    EXPECT_EQ(literals.size(), kFlz0HeaderSize + kMaxOriginalSize + 8192);
    EXPECT_TRUE(decode_file(literals).data == data);

    // 65,534 literals and a reference of which one byte is still due: the
    // largest input any stream can need.
    const std::string longest =
        "FLZ0\xFF\xFF" + std::string(2, '\0') + Stream().literals(data.substr(1)).ref(0, 3).bytes();
    EXPECT_EQ(longest.size(), kMaxImageSize);
    Result d = decode_file(longest);
    EXPECT_EQ(d.status, DecodeStatus::ok);
    EXPECT_TRUE(d.data.substr(0, kMaxOriginalSize - 1) == data.substr(1));
}

TEST(Flz0Pack, RealFilesPackToExactlyTheSizesAndBytesPinnedHere)
{
    // Any loss of optimality shows as a larger size; a change of parse or
    // of the distances chosen as other bytes (FNV-1a, computed here).
    const struct {
        const char* file;
        std::size_t size;
        std::size_t packed;
        std::uint64_t hash;
    } cases[] = {
        {"gpl-2.txt", 18092, 8261, 0xb926a05a5ed9e40full},
        {"pack.cpp.txt", 12010, 4633, 0xdf126cfea9927ed7ull},
        {"varnix.bin", 65535, 29054, 0x87795ac2fe6ac080ull},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> data = read_file(fs::path(TEST_DATA_DIR) / c.file);
        ASSERT_TRUE(data) << c.file;
        ASSERT_EQ(data->size(), c.size) << c.file;
        const std::optional<std::vector<std::uint8_t>> file = flz0_pack(as_bytes(*data));
        ASSERT_TRUE(file) << c.file;
        EXPECT_EQ(file->size(), c.packed) << c.file;
        std::uint64_t hash = 0xcbf29ce484222325ull;
        for (std::uint8_t b : *file)
            hash = (hash ^ b) * 0x100000001b3ull;
        EXPECT_EQ(hash, c.hash) << c.file;
        std::optional<std::vector<std::uint8_t>> back = flz0_reference_decode(*file);
        EXPECT_TRUE(back && std::string(back->begin(), back->end()) == *data) << c.file;
    }
}

TEST(Flz0Decode, OverlappingCopiesOfEveryDistanceAndLengthNearTheEndAndFarFromIt)
{
    // d literals, then one reference d back of each length, then `after`
    // literals: the copy lands at every distance from the end of the output,
    // where a word-wide copy has room and where it has none.
    for (std::size_t d = 1; d <= 20; ++d)
        for (unsigned len = kMinMatch; len <= kMaxMatch; ++len)
            for (std::size_t after : {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{6}, std::size_t{40}}) {
                const std::string lead = counting(d);
                const std::string stream =
                    Stream().literals(lead).ref(ring_position(d, d), len).literals(counting(after)).bytes();
                std::string expected = lead;
                for (unsigned j = 0; j < len; ++j)
                    expected += expected[expected.size() - d];
                expected += counting(after);
                Result r = decode(stream, expected.size());
                EXPECT_EQ(r.status, DecodeStatus::ok) << "d " << d << ", length " << len << ", then " << after;
                EXPECT_EQ(r.data, expected) << "d " << d << ", length " << len << ", then " << after;
            }
}

TEST(Flz0File, DecodesToIsTrueForExactlyTheBytesTheFileHolds)
{
    const std::string text = "said once, said twice, said once, said twice";
    const std::string file = flz0_literals(text);
    const struct {
        const char* what;
        std::string file;
        std::string plain;
        bool same;
    } cases[] = {
        {"the bytes it holds", file, text, true},
        {"one byte fewer", file, text.substr(0, text.size() - 1), false},
        {"one byte more", file, text + "!", false},
        {"one byte other", file, "S" + text.substr(1), false},
        {"not an FLZ0 file", "FLZ1" + file.substr(4), text, false},
        {"its stream cut short", file.substr(0, file.size() - 1), text, false},
        {"bytes past the largest stream are never read", file + std::string(kMaxImageSize, '\xFF'), text, true},
        {"an empty file's", flz0_header(0, 0), "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(flz0_decodes_to(as_bytes(c.file), as_bytes(c.plain)), c.same) << c.what;
}
