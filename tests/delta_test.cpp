// The delta: any target made from any source and back, small where the
// two share most of their bytes, and a delta that does not read right
// refused with what is wrong, never read or written out of bounds.
#include "delta.hpp"

#include <string>

#include <gtest/gtest.h>

#include "support.hpp"

namespace {

std::vector<std::uint8_t> v(const std::string& s)
{
    return {s.begin(), s.end()};
}

}  // namespace

TEST(Delta, AnyTargetFromAnySourceAndSmallWhereTheyShareMost)
{
    const std::string text = text_of(100000);
    const std::string noise = random_bytes(70000, 3);
    const struct {
        const char* what;
        std::string source, target;
        std::size_t at_most;  // bytes of delta
    } rows[] = {
        {"both empty", "", "", 1},
        {"from nothing", "", "new", 6},
        {"to nothing", text, "", 1},
        {"the same", text, text, 12},
        {"a line inserted in the middle", text, text.substr(0, 50000) + "An inserted line.\n" + text.substr(50000), 50},
        {"a part removed", text, text.substr(0, 30000) + text.substr(31000), 30},
        {"grown at the end", noise, noise + "more", 20},
        {"parts swapped", noise, noise.substr(35000) + noise.substr(0, 35000), 20},
        {"nothing shared", noise, random_bytes(5000, 4), 5010},
        {"shorter than a copy", "abc", "abcd", 10},
        {"a run from a shorter one: each copy as long as the source", std::string(100, 'a'), std::string(5000, 'a'), 201},
    };
    for (const auto& row : rows) {
        const std::vector<std::uint8_t> delta = make_delta(v(row.source), v(row.target));
        std::vector<std::uint8_t> out(3, 0xA5);
        EXPECT_EQ(apply_delta(v(row.source), delta, row.target.size(), out), DeltaStatus::ok) << row.what;
        EXPECT_EQ(out, v(row.target)) << row.what;
        EXPECT_LE(delta.size(), row.at_most) << row.what;
    }
}

TEST(Delta, WhatDoesNotReadRightIsRefusedAndGivesNothing)
{
    const std::vector<std::uint8_t> source = v("0123456789");
    const struct {
        const char* what;
        std::vector<std::uint8_t> delta;
        std::size_t limit;
        DeltaStatus status;
    } rows[] = {
        {"empty", {}, 100, DeltaStatus::truncated},
        {"a size cut short", {0x80}, 100, DeltaStatus::truncated},
        {"a size over the limit", {11}, 10, DeltaStatus::too_large},
        {"a number of eleven bytes", {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x80, 0x01}, 100, DeltaStatus::too_large},
        {"a number past 64 bits", {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x02}, 100, DeltaStatus::too_large},
        {"no ops", {4}, 100, DeltaStatus::truncated},
        {"a copy of the whole source", {10, 0, 0, 10}, 100, DeltaStatus::ok},
        {"a copy one past the source", {11, 0, 0, 11}, 100, DeltaStatus::past_the_source},
        {"a copy from before the start", {1, 0, 1, 1}, 100, DeltaStatus::past_the_source},
        {"a copy moved past the end", {1, 0, 22, 1}, 100, DeltaStatus::past_the_source},
        {"a copy of the largest length", {1, 0, 0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01}, 100, DeltaStatus::past_the_source},
        {"a copy of nothing", {1, 0, 0, 0}, 100, DeltaStatus::malformed},
        {"a copy past the target", {2, 0, 0, 3}, 100, DeltaStatus::malformed},
        {"bytes cut short", {3, 1, 3, 'a'}, 100, DeltaStatus::truncated},
        {"bytes past the target", {1, 1, 2, 'a', 'b'}, 100, DeltaStatus::malformed},
        {"an op that is none", {1, 2, 1}, 100, DeltaStatus::malformed},
        {"bytes after the last op", {1, 1, 1, 'a', 0}, 100, DeltaStatus::malformed},
        {"a copy then one that follows on", {4, 0, 4, 2, 0, 0, 2}, 100, DeltaStatus::ok},
    };
    for (const auto& row : rows) {
        std::vector<std::uint8_t> out(5, 0xA5);
        EXPECT_EQ(apply_delta(source, row.delta, row.limit, out), row.status) << row.what;
        if (row.status != DeltaStatus::ok) {
            EXPECT_TRUE(out.empty()) << row.what;
        }
    }
    std::vector<std::uint8_t> out;
    ASSERT_EQ(apply_delta(source, std::vector<std::uint8_t>{4, 0, 4, 2, 0, 0, 2}, 100, out), DeltaStatus::ok);
    EXPECT_EQ(out, v("2345"));
}

TEST(Delta, NumbersAreSevenBitsAByteLowFirstAndReadBack)
{
    // Each number where another byte starts, and the largest; the bytes
    // worked out by hand.
    const struct {
        std::uint64_t n;
        std::vector<std::uint8_t> bytes;
    } rows[] = {
        {127, {0x7f}},
        {128, {0x80, 0x01}},
        {16383, {0xff, 0x7f}},
        {16384, {0x80, 0x80, 0x01}},
        {std::uint64_t{1} << 63, {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}},
        {UINT64_MAX, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01}},
    };
    for (const auto& row : rows) {
        std::vector<std::uint8_t> out;
        put_number(out, row.n);
        EXPECT_EQ(out, row.bytes) << row.n;
        // A byte after the number, which its last byte ends it before.
        std::vector<std::uint8_t> in = row.bytes;
        in.push_back(0x7f);
        std::size_t at = 0;
        std::uint64_t n = 0xA5;
        DeltaStatus why = DeltaStatus::ok;
        EXPECT_TRUE(read_number(in, at, n, why)) << row.n;
        EXPECT_EQ(n, row.n);
        EXPECT_EQ(at, row.bytes.size()) << row.n;
    }
}
