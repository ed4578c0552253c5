// make_sample -- write a small bundle to take apart in the demo
//
//     make_sample output.BND
//
// The pieces are made here, so the demo needs no data from elsewhere. The
// first two are FLZ0 files, as in real bundles; the third is stored plain.
// A note sits between the table and the first piece, and a few bytes after
// the last: bytes no piece holds, which a rebuild keeps where they are.
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bundle.hpp"
#include "pack.hpp"

namespace {

constexpr char kBetween[] = "-- bytes between the table and the first piece --";
constexpr char kAfter[] = "-- and after the last --";

// packed -- text as the tools' own compressor stores it
std::string packed(const std::string& text)
{
    const std::optional<std::vector<std::uint8_t>> file =
        flz0_pack(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    return std::string(file->begin(), file->end());
}

std::vector<std::string> sample_pieces()
{
    std::string table_of_squares;
    for (int i = 1; i <= 40; ++i)
        table_of_squares += std::to_string(i) + " squared is " + std::to_string(i * i) + "\n";
    std::string gradient;
    for (int i = 0; i < 4096; ++i)
        gradient += static_cast<char>(i * 7 & 0xFF);
    std::string greeting;
    for (int i = 0; i < 3; ++i)
        greeting += "Hello from the first piece, which was compressed.\n";
    return {packed(greeting), packed(table_of_squares), gradient};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample output.BND\n");
        return 1;
    }
    const std::string between = kBetween;
    std::vector<std::string> pieces = sample_pieces();
    std::vector<std::uint32_t> offsets = {static_cast<std::uint32_t>(kTableSize + between.size())};
    for (const std::string& p : pieces)
        offsets.push_back(offsets.back() + static_cast<std::uint32_t>(p.size()));
    const TableBytes table = make_table(offsets);
    std::string bundle(table.begin(), table.end());
    bundle += between;
    for (const std::string& p : pieces)
        bundle += p;
    bundle += kAfter;

    std::FILE* f = std::fopen(argv[1], "wb");
    bool ok = f && std::fwrite(bundle.data(), 1, bundle.size(), f) == bundle.size();
    ok = f && std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "make_sample: cannot write %s\n", argv[1]);
    return ok ? 0 : 1;
}
