// Every input kept in the fuzz corpus, run through its target's check
// without the fuzzer, so that each build repeats what fuzzing found.
#include <fstream>
#include <iterator>
#include <vector>

#include "checks.hpp"
#include "support.hpp"

namespace {

void replay(const std::string& target, std::string (*check)(Bytes))
{
    std::size_t inputs = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(fs::path(FUZZ_CORPUS_DIR) / target)) {
        std::ifstream f(e.path(), std::ios::binary);
        std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        EXPECT_EQ(check(data), "") << e.path();
        ++inputs;
    }
    EXPECT_GT(inputs, 0u) << target;
}

}  // namespace

TEST(FuzzCorpus, Flz0Decode) { replay("flz0_decode", check_flz0_decode); }
TEST(FuzzCorpus, RoundTrip) { replay("round_trip", check_round_trip); }
TEST(FuzzCorpus, BundleTable) { replay("bundle_table", check_bundle_table); }
TEST(FuzzCorpus, ParseCount) { replay("parse_count", check_parse_count); }
