// SHA-256 against the published test vectors, fed whole and in pieces of
// every size, and the processor's instructions against plain code.
#include "hex.hpp"
#include "sha256.hpp"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sha256_blocks.hpp"

namespace {

std::span<const std::uint8_t> bytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The vectors of FIPS 180-4's examples and the NIST test set.
const struct {
    std::string message;
    const char* digest;
} kVectors[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

}  // namespace

TEST(Sha256, PublishedVectorsWholeAndInPiecesOfEverySize)
{
    for (const auto& v : kVectors) {
        EXPECT_EQ(hex_of(sha256(bytes(v.message))), v.digest) << v.message.size() << " bytes";
        if (v.message.size() > 1000)
            continue;
        for (std::size_t piece = 1; piece <= 130; ++piece) {
            Sha256 h;
            for (std::size_t at = 0; at < v.message.size(); at += piece)
                h.update(bytes(v.message.substr(at, piece)));
            EXPECT_EQ(hex_of(h.finish()), v.digest) << "pieces of " << piece;
        }
    }
}

TEST(Sha256, HashedBehindInPiecesAsInOne)
{
    // Fed in pieces that stay as they are until the next feed, as a copy
    // feeds its two buffers in turn.
    const std::string& m = kVectors[4].message;
    Sha256 hash;
    {
        HashBehind behind(hash);
        for (std::size_t at = 0; at < m.size(); at += 70001)
            behind.feed(bytes(m).subspan(at, std::min<std::size_t>(70001, m.size() - at)));
    }  // its end waits for the last
    EXPECT_EQ(hex_of(hash.finish()), kVectors[4].digest);
}

TEST(Sha256, EveryLengthAroundTheBlockAndItsPaddingAgreesWithThePlainCode)
{
    // Where the length's eight bytes still fit the last block and where
    // they need one more; the processor's instructions, where it has them,
    // against the plain compression function on the same blocks.
    std::mt19937 rng(7);
    std::string data(300, '\0');
    for (char& c : data)
        c = static_cast<char>(rng());
    for (std::size_t n = 0; n <= data.size(); ++n) {
        std::uint32_t a[8] = {1, 2, 3, 4, 5, 6, 7, 8}, b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        sha256_blocks(a, bytes(data).data(), n / 64);
        sha256_blocks_plain(b, bytes(data).data(), n / 64);
        EXPECT_TRUE(std::equal(a, a + 8, b)) << n;
    }
    EXPECT_EQ(hex_of(sha256(bytes(std::string(55, 'a')))), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(hex_of(sha256(bytes(std::string(56, 'a')))), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(hex_of(sha256(bytes(std::string(64, 'a')))), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(Sha256, HexReadsBackAndRefusesWhatIsNotADigest)
{
    Digest d{};
    ASSERT_TRUE(read_hex_exact(kVectors[1].digest, d));
    EXPECT_EQ(hex_of(d), kVectors[1].digest);
    for (const char* bad : {"", "ba78", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD",
                            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ag"})
        EXPECT_FALSE(read_hex_exact(bad, d)) << bad;
}

TEST(Sha256, DigestsTakenBehindEachGoWhereTheyWereAskedFor)
{
    // More parts at once than the second thread holds, each large enough
    // to be handed to it: every digest lands in its own place, whichever
    // thread took it.
    std::vector<std::string> parts;
    for (int k = 0; k < 3 * static_cast<int>(Behind::kDepth); ++k)
        parts.push_back(std::string(200000 + static_cast<std::size_t>(k), static_cast<char>('a' + k)));
    std::vector<Digest> taken(parts.size());
    {
        DigestBehind behind;
        for (std::size_t k = 0; k < parts.size(); ++k)
            behind.take(bytes(parts[k]), &taken[k]);
        behind.wait();
    }
    for (std::size_t k = 0; k < parts.size(); ++k)
        EXPECT_EQ(taken[k], sha256(bytes(parts[k]))) << "part " << k;
}
