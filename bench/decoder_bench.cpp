// decoder_bench -- output bytes per second of the FLZ0 decoder
//
//     decoder_bench [benchmark flags] [file.flz0 ...]
//
// Built-in corpora, made with the test encoder: text-like, incompressible
// (all literals), long overlapping runs of mixed periods, and runs of one
// period each (distance 1, 2, 3 and 7); each FLZ0 file named on the
// command line is measured as well.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "flz0.hpp"
#include "flz0_files.hpp"
#include "text_like.hpp"

namespace {

std::string incompressible()
{
    std::mt19937 rng(2);
    std::string s(kMaxOriginalSize, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return flz0_literals(s);
}

// run_of -- 65,535 bytes that repeat d bytes: long references of distance d
std::string run_of(std::size_t d)
{
    std::string unit;
    for (std::size_t k = 0; k < d; ++k)
        unit += static_cast<char>('a' + k * 5);
    std::string s;
    while (s.size() < kMaxOriginalSize)
        s += unit;
    s.resize(kMaxOriginalSize);
    return s;
}

std::string runs()
{
    std::mt19937 rng(3);
    std::string s;
    while (s.size() < kMaxOriginalSize) {
        std::string unit(1 + rng() % 4, static_cast<char>('a' + rng() % 26));
        for (std::size_t n = 20 + rng() % 200; n > 0; --n)
            s += unit;
    }
    s.resize(kMaxOriginalSize);
    return s;
}

void decode(benchmark::State& state, const std::string& file)
{
    auto image = std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    std::vector<std::uint8_t> out(read_flz0_header(image).original_size);
    for (auto _ : state) {
        if (flz0_decode(flz0_stream(image), out).status != DecodeStatus::ok)
            state.SkipWithError("stream is truncated");
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    static const std::string text = flz0_encode(text_like()), literal = incompressible(), run = flz0_encode(runs());
    benchmark::RegisterBenchmark("decode/text", decode, text);
    benchmark::RegisterBenchmark("decode/incompressible", decode, literal);
    benchmark::RegisterBenchmark("decode/runs", decode, run);
    static const std::size_t kPeriods[] = {1, 2, 3, 7};
    static std::vector<std::string> periods;
    periods.reserve(std::size(kPeriods));
    for (std::size_t d : kPeriods) {
        periods.push_back(flz0_encode(run_of(d)));
        benchmark::RegisterBenchmark(("decode/run-distance-" + std::to_string(d)).c_str(), decode, periods.back());
    }
    static std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(argc));
    for (int i = 1; i < argc; ++i) {
        std::ifstream f(argv[i], std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        benchmark::RegisterBenchmark(("decode/" + std::string(argv[i])).c_str(), decode, files.back());
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
