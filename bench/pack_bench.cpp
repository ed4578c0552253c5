// pack_bench -- input bytes per second of the FLZ0 compressor, and its
// sizes against a greedy encoder
//
//     pack_bench [benchmark flags] [file ...]
//
// Built in: 64 KiB of text-like data, and 64 KiB of one repeated byte. Each
// file named on the command line (its first 65,535 bytes) is measured too,
// and its packed and greedy sizes are printed first.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "flz0.hpp"
#include "greedy.hpp"
#include "pack.hpp"
#include "text_like.hpp"

namespace {

std::span<const std::uint8_t> bytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void pack(benchmark::State& state, const std::string& data)
{
    for (auto _ : state) {
        std::optional<std::vector<std::uint8_t>> file = flz0_pack(bytes(data));
        if (!file)
            state.SkipWithError("too large for an FLZ0 file");
        benchmark::DoNotOptimize(file);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void print_sizes(const char* name, const std::string& data)
{
    std::optional<std::vector<std::uint8_t>> file = flz0_pack(bytes(data));
    std::size_t greedy = greedy_encode(bytes(data)).size();
    if (!file) {
        std::printf("%s: %zu bytes, too large for an FLZ0 file (greedy: %zu)\n", name, data.size(), greedy);
        return;
    }
    std::printf("%s: %zu bytes -> %zu packed, %zu greedy (greedy %+.2f %%)\n", name, data.size(), file->size(), greedy,
                100.0 * (static_cast<double>(greedy) - static_cast<double>(file->size())) /
                    static_cast<double>(file->size()));
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    static const std::string text = text_like(), run(kMaxOriginalSize, 'a');
    print_sizes("text-like", text);
    benchmark::RegisterBenchmark("pack/text", pack, text);
    benchmark::RegisterBenchmark("pack/one-byte-run", pack, run);
    static std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(argc));
    for (int i = 1; i < argc; ++i) {
        std::ifstream f(argv[i], std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        files.back().resize(std::min(files.back().size(), kMaxOriginalSize));
        print_sizes(argv[i], files.back());
        benchmark::RegisterBenchmark(("pack/" + std::string(argv[i])).c_str(), pack, files.back());
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
