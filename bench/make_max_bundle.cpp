// make_max_bundle -- write the largest bundle: 127 pieces of 1,261,568
// bytes each (about 160 MB), filled with varied bytes
//
//     make_max_bundle output.BND
#include <cstdio>
#include <string>
#include <vector>

#include "bundle.hpp"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_max_bundle output.BND\n");
        return 1;
    }
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
        ok = std::fwrite(piece.data(), 1, piece.size(), f) == piece.size();
    }
    ok = f && std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "make_max_bundle: cannot write %s\n", argv[1]);
    return ok ? 0 : 1;
}
