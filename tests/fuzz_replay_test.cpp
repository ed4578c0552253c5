// Every input kept in the fuzz corpus, run through its target's check
// without the fuzzer, so that each build repeats what fuzzing found.
#include <algorithm>
#include <memory>

#include "checks.hpp"
#include "support.hpp"

namespace {

void replay(const std::string& target, std::string (*check)(FuzzData))
{
    std::size_t inputs = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(fs::path(FUZZ_CORPUS_DIR) / target)) {
        // In a buffer of exactly the input's size, as the fuzzer hands it
        // over: spare capacity after it would hide a read one byte too far
        // from the sanitizers.
        const std::string bytes = read_file(e.path()).value_or("");
        auto data = std::make_unique<std::uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), data.get());
        EXPECT_EQ(check(FuzzData(data.get(), bytes.size())), "") << e.path();
        ++inputs;
    }
    EXPECT_GT(inputs, 0u) << target;
}

}  // namespace

TEST(FuzzCorpus, Flz0Decode) { replay("flz0_decode", check_flz0_decode); }
TEST(FuzzCorpus, RoundTrip) { replay("round_trip", check_round_trip); }
TEST(FuzzCorpus, BundleTable) { replay("bundle_table", check_bundle_table); }
TEST(FuzzCorpus, ParseCount) { replay("parse_count", check_parse_count); }
TEST(FuzzCorpus, JoinLayout) { replay("join_layout", check_join_layout); }
TEST(FuzzCorpus, SplitJoin) { replay("split_join", check_split_join); }
TEST(FuzzCorpus, Delta) { replay("delta", check_delta); }
TEST(FuzzCorpus, Patch) { replay("patch", check_patch); }
TEST(FuzzCorpus, Merge) { replay("merge", check_merge); }
