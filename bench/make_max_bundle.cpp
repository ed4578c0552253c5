// make_max_bundle -- write the largest bundle: 127 pieces of 1,261,568
// bytes each (about 160 MB), filled with varied bytes; with `padded`,
// every tenth piece (13 of them) is an FLZ0 file of text instead, its
// stream followed by zeros to the same size, as a bundle of fixed slots
// holds them
//
//     make_max_bundle output.BND [padded]
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bundle.hpp"
#include "pack.hpp"

namespace {

constexpr int kFlz0Every = 10;

// text_piece -- an FLZ0 file of some 60,000 bytes of text, then zeros to the largest piece size
std::vector<std::uint8_t> text_piece(int k)
{
    static const char* words[] = {"the", "of", "and", "a", "to", "in", "is", "you", "that", "it", "sword", "castle"};
    std::mt19937 rng(static_cast<unsigned>(k));
    std::string s;
    while (s.size() < 60000) {
        s += words[rng() % std::size(words)];
        s += rng() % 12 == 0 ? ".\n" : " ";
    }
    std::vector<std::uint8_t> piece = *flz0_pack(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    piece.resize(kMaxPieceSize, 0);
    return piece;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "padded") != 0)) {
        std::fprintf(stderr, "usage: make_max_bundle output.BND [padded]\n");
        return 1;
    }
    const bool padded = argc == 3;
    std::vector<std::uint32_t> offsets;
    for (std::size_t k = 0; k < kTableEntries; ++k)
        offsets.push_back(static_cast<std::uint32_t>(kTableSize + k * kMaxPieceSize));
    const TableBytes table = make_table(offsets);
    std::vector<std::uint8_t> piece(kMaxPieceSize);
    std::uint32_t x = 12345;
    std::FILE* f = std::fopen(argv[1], "wb");
    bool ok = f && std::fwrite(table.data(), 1, table.size(), f) == table.size();
    for (std::int32_t k = 0; ok && k < kMaxPieces; ++k) {
        for (std::uint8_t& b : piece)
            b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
        const std::vector<std::uint8_t> bytes = padded && k % kFlz0Every == 0 ? text_piece(k) : piece;
        ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    ok = f && std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "make_max_bundle: cannot write %s\n", argv[1]);
    return ok ? 0 : 1;
}
