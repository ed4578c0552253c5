// The encoders a stream may come from: each one's streams read back as
// their input, each writes the bytes it is known to write, and a file's
// stream is told to come from the encoder that made it and from no other.
#include "encoders.hpp"

#include <gtest/gtest.h>

#include "flz0.hpp"
#include "flz0_files.hpp"
#include "flz0_reference.hpp"
#include "hex.hpp"
#include "sha256.hpp"
#include "stored.hpp"
#include "support.hpp"

namespace {

std::string data_file(const char* name)
{
    return read_file(fs::path(TEST_DATA_DIR) / name).value_or("");
}

// file_of -- a whole FLZ0 file of `original` bytes: header, stream, then `after`
Bytes file_of(std::size_t original, const Bytes& stream, const std::string& after = "")
{
    const std::string f = flz0_header(original, stream.size()) + std::string(stream.begin(), stream.end()) + after;
    return Bytes(f.begin(), f.end());
}

// read_back -- what a file decodes to: by FLZ0's decoder where the ring
// starts as its zeros, else by the plain one with that ring
std::optional<Bytes> read_back(const Bytes& file, std::uint8_t fill)
{
    if (fill != 0)
        return flz0_reference_decode(file, fill);
    std::optional<Flz0Content> c = flz0_content(file);
    return c ? std::optional<Bytes>(c->decoded) : std::nullopt;
}

// plain_greedy -- a greedy stream the plain way: at each position the
// longest match 1 to 4096 back in the data (none in the ring's zeros),
// the nearest or the farthest of the longest; three bytes or more coded
std::string plain_greedy(const std::string& d, bool nearest)
{
    std::string stream;
    std::size_t flags = 0;
    for (std::size_t i = 0, item = 0; i < d.size(); ++item) {
        if (item % 8 == 0) {
            flags = stream.size();
            stream += '\0';
        }
        const std::size_t reach = std::min<std::size_t>(4096, i);
        std::size_t best = 0, from = 0;
        for (std::size_t k = 0; k < reach; ++k) {
            const std::size_t j = nearest ? i - 1 - k : i - reach + k, pos = (j + 4078) % 4096;
            std::size_t n = 0;
            while (n < 18 && i + n < d.size() && d[j + n] == d[i + n])
                ++n;
            if (n > best)
                best = n, from = pos;
        }
        if (best < 3) {
            stream[flags] = static_cast<char>(stream[flags] | 1 << item % 8);
            stream += d[i++];
        } else {
            stream += {static_cast<char>(from & 0xFF), static_cast<char>((from >> 4 & 0xF0) | (best - 3))};
            i += best;
        }
    }
    return stream;
}

}  // namespace

TEST(Encoders, EveryStreamReadsBackAsItsInput)
{
    const std::pair<const char*, std::string> inputs[] = {
        {"empty", ""},
        {"one byte", "x"},
        {"a run, copied over itself", std::string(300, 'a')},
        {"spaces and zeros, as the rings start", std::string(40, ' ') + std::string(40, '\0') + "  x  "},
        {"text past the ring", text_of(20000)},
        {"the largest text", text_of(kMaxOriginalSize)},
        {"binary, 65,535 bytes", data_file("varnix.bin")},
        {"random", random_bytes(3000, 9)},
    };
    for (const Encoder& e : known_encoders())
        for (const auto& [what, input] : inputs) {
            const std::optional<Bytes> stream = encode_stream(e, bytes_of(input));
            ASSERT_TRUE(stream) << what;
            // The classic's spaces are a ring FLZ0's decoder does not start with.
            const std::uint8_t fill = e.family == EncoderFamily::tree ? static_cast<std::uint8_t>(e.setting) : 0;
            const std::optional<Bytes> back = read_back(file_of(input.size(), *stream), fill);
            EXPECT_TRUE(back && Bytes(input.begin(), input.end()) == *back)
                << what << ", family " << int(e.family) << " setting " << e.setting;
        }
}

TEST(Encoders, EachWritesTheBytesKnownForIt)
{
    const Encoder classic{EncoderFamily::tree, 0x20}, zeros{EncoderFamily::tree, 0x00};
    const Encoder depth1{EncoderFamily::chain, 1}, depth2{EncoderFamily::chain, 2}, deepest{EncoderFamily::chain, 4096};
    const std::string r = random_bytes(4097, 3), equal = "abcXabcYabcZabcXabcY";
    const struct {
        const char* what;
        Encoder e;
        std::string input, stream;  // hex; of a long input, its SHA-256's; of the deepest chain, the plain search's
    } cases[] = {
        // The classic encoder's output, checked against an independent
        // implementation of it.
        {"a reference to the ring's spaces", classic, "hello hello hello world", "df68656c6c6fedfa776f07726c64"},
        {"spaces first", classic, "    abc", "0eedf1616263"},
        {"a run, and a match cut at the end", classic, std::string(25, 'a'), "0161eefff5f3"},
        {"zeros past the input", classic, std::string(4, '\0'), "0100eef0"},
        {"the ring's zeros past the input", classic, "   ", "00edf0"},
        {"equal matches", classic, equal, "af61626358eef059eef05a00eef5"},
        {"matches of every kind", classic, "AAAABBBBAAAACCCCAAAABBBBAAAA", "2541eef042f2f0eef143faf0eef9"},
        {"text", classic, data_file("gpl-2.txt"), "9f14c536489b9e8a47a63ea770a30b692206706d23427f51da13eea652f94efc"},
        {"binary", classic, data_file("varnix.bin"), "49269a9a1009bbdecb1772fc56dca0d36c021f06a55e1619816efa7eb7fffc5b"},
        // Worked out by hand: with a ring of zeros, each string put in
        // before the start equals the last one in all 18 bytes and takes
        // its place, so the match is the last put in, at 4060.
        {"a ring of zeros", zeros, std::string(4, '\0'), "00dcf1"},
        // The nearest "abc" gives 3 bytes, the one before it 8.
        {"the nearest candidate only", depth1, "abcdefghabc1abcdefgh", "ff616263646566676802eef031f6f0f1f2"},
        {"two candidates", depth2, "abcdefghabc1abcdefgh", "ff616263646566676802eef031eef5"},
        {"the nearest of equal matches", depth2, equal.substr(0, 12), "af61626358eef059f2f05a"},
        // Every candidate in reach: the nearest longest match, plainly sought.
        {"a match exactly 4096 back", deepest, r.substr(0, 4096) + r.substr(0, 40), ""},
        {"a match 4097 back", deepest, r + r.substr(0, 40), ""},
        {"text", deepest, text_of(6000), ""},
        {"equal matches", deepest, equal, ""},
    };
    for (const auto& c : cases) {
        const Bytes s = encode_stream(c.e, bytes_of(c.input)).value_or(Bytes{});
        if (c.e == deepest)
            EXPECT_EQ(hex_of(s), hex_of(bytes_of(plain_greedy(c.input, true)))) << c.what;
        else
            EXPECT_EQ(c.input.size() > 100 ? hex_of(sha256(s)) : hex_of(s), c.stream) << c.what;
    }
}

TEST(Encoders, AFileIsToldToComeFromTheEncoderThatMadeIt)
{
    const auto known = known_encoders();
    const std::string inputs[] = {text_of(30000), data_file("varnix.bin").substr(0, 20000), "to be or not to be"};
    for (const std::string& input : inputs)
        for (std::size_t k = 0; k < known.size(); ++k) {
            SCOPED_TRACE(testing::Message() << input.size() << " bytes, encoder " << k);
            const Bytes stream = encode_stream(known[k], bytes_of(input)).value_or(Bytes{});
            const Bytes file = file_of(input.size(), stream, std::string("\0\xFF\xFF", 3));
            const std::optional<Identified> id = identify_encoder(file, bytes_of(input));
            ASSERT_TRUE(id);
            EXPECT_EQ(id->stream_size, stream.size());
            const std::size_t found = static_cast<std::size_t>(std::find(known.begin(), known.end(), id->encoder) - known.begin());
            EXPECT_LE(found, k);
            if (found != k) {  // an earlier one that writes the same bytes
                EXPECT_EQ(encode_stream(id->encoder, bytes_of(input)), stream);
            }
        }
    // Where several write the same stream, the one a patch records.
    const struct {
        std::string input;
        Encoder made, named;
    } same[] = {
        {"abcdefgh", {EncoderFamily::chain, 4096}, {EncoderFamily::pack, 0}},
        {text_of(30000), {EncoderFamily::tree, 0x20}, {EncoderFamily::tree, 0x00}},
        {text_of(30000), {EncoderFamily::chain, 4096}, {EncoderFamily::chain, 128}},
    };
    for (const auto& c : same) {
        const Bytes file = file_of(c.input.size(), encode_stream(c.made, bytes_of(c.input)).value_or(Bytes{}));
        const std::optional<Identified> id = identify_encoder(file, bytes_of(c.input));
        EXPECT_TRUE(id && id->encoder == c.named) << c.input.size() << " bytes";
    }
}

TEST(Encoders, AStreamNoKnownEncoderWritesComesFromNone)
{
    const std::string text = text_of(3000), farthest = plain_greedy(text, false), literals = flz0_literals(text);
    const Bytes made = encode_stream({EncoderFamily::chain, 8}, bytes_of(text)).value_or(Bytes{});
    auto changed = [&](std::size_t at) {
        Bytes s = made;
        s[at] ^= 1;
        return file_of(text.size(), s);
    };
    const struct {
        const char* what;
        Bytes file;
        std::size_t cut = 0;  // bytes of the file left off the end (the memory after holds them still)
    } cases[] = {
        {"the farthest of the longest matches", file_of(text.size(), Bytes(farthest.begin(), farthest.end()))},
        {"literals only", Bytes(literals.begin(), literals.end())},
        {"a stream's first byte changed", changed(0)},
        {"a stream's last byte changed", changed(made.size() - 1)},
        {"a file that ends a byte before its stream does", file_of(text.size(), made), 1},
        {"less than a header", Bytes{'F', 'L', 'Z'}},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(identify_encoder(std::span(c.file).first(c.file.size() - c.cut), bytes_of(text))) << c.what;
}

TEST(Encoders, NoStreamComesOfAnEncoderNotKnownOrOfTooLongAContent)
{
    const Encoder unknown[] = {{EncoderFamily::pack, 1}, {EncoderFamily::tree, 0x10}, {EncoderFamily::chain, 3},
                               {EncoderFamily::chain, 0}, {static_cast<EncoderFamily>(3), 0}};
    for (const Encoder& e : unknown)
        EXPECT_FALSE(encode_stream(e, bytes_of("abcabc"))) << int(e.family) << " " << e.setting;
    const std::string too_long(kMaxOriginalSize + 1, 'a');
    EXPECT_FALSE(encode_stream({EncoderFamily::chain, 1}, bytes_of(too_long)));
    EXPECT_FALSE(identify_encoder(file_of(0, {}), bytes_of(too_long)));
}
