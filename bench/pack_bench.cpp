// pack_bench -- input bytes per second of the FLZ0 compressor and of its
// match finder against the hash chains it used before, and its sizes
// against a greedy encoder
//
//     pack_bench [benchmark flags] [file ...]
//
// Built in: 64 KiB each of text-like data, of one repeated byte and of
// random bytes. Each file named on the command line (its first 65,535
// bytes) is measured too, and its packed and greedy sizes are printed
// first. For each input, matches/now (chains that give way to the tree
// where they grow long, as flz0pack runs), matches/tree (the tree alone)
// and matches/chains (the old hash chains alone) find the same matches.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <iterator>
#include <string>
#include <vector>

#include "flz0.hpp"
#include "chain_matches.hpp"
#include "greedy.hpp"
#include "matches.hpp"
#include "pack.hpp"
#include "text_like.hpp"

namespace {

// random_text -- n bytes from a seeded generator: nothing to find
std::string random_text(std::size_t n)
{
    std::mt19937 rng(9);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

std::span<const std::uint8_t> bytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void pack(benchmark::State& state, const std::string& data)
{
    // Data that no FLZ0 file holds (random bytes) takes the whole search and
    // parse before it is refused: that is what is measured for it.
    bool refused = false;
    for (auto _ : state) {
        std::optional<std::vector<std::uint8_t>> file = flz0_pack(bytes(data));
        refused = !file;
        benchmark::DoNotOptimize(file);
    }
    state.counters["refused"] = refused;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

template <Matches (*Find)(std::span<const std::uint8_t>)>
void find(benchmark::State& state, const std::string& data)
{
    for (auto _ : state) {
        Matches m = Find(bytes(data));
        benchmark::DoNotOptimize(m.length.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

Matches automatic(std::span<const std::uint8_t> data)
{
    return find_matches(data);
}

Matches tree_alone(std::span<const std::uint8_t> data)
{
    return find_matches(data, Finder::tree);
}

// measure -- the finder as flz0pack runs it, the tree alone, the old
// chains, then the whole compressor, on one input
void measure(const std::string& name, const std::string& data)
{
    benchmark::RegisterBenchmark(("matches/now/" + name).c_str(), find<automatic>, data);
    benchmark::RegisterBenchmark(("matches/tree/" + name).c_str(), find<tree_alone>, data);
    benchmark::RegisterBenchmark(("matches/chains/" + name).c_str(), find<chain_matches>, data);
    benchmark::RegisterBenchmark(("pack/" + name).c_str(), pack, data);
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
    static const std::string text = text_like(), run(kMaxOriginalSize, 'a'), noise = random_text(kMaxOriginalSize);
    print_sizes("text-like", text);
    measure("text", text);
    measure("one-byte-run", run);
    measure("random", noise);
    static std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(argc));
    for (int i = 1; i < argc; ++i) {
        std::ifstream f(argv[i], std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        files.back().resize(std::min(files.back().size(), kMaxOriginalSize));
        print_sizes(argv[i], files.back());
        measure(argv[i], files.back());
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
