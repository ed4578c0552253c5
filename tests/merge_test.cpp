// Two changes of one piece combined where they touch different lines, and
// refused, naming the base range both change, where they overlap.
#include "merge.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace {

Bytes v(const std::string& s)
{
    return {s.begin(), s.end()};
}

// Lines [0, 4) "one\n", [4, 8) "two\n", [8, 14) "three\n", [14, 19) "four\n",
// [19, 24) "five\n".
const std::string kFive = "one\ntwo\nthree\nfour\nfive\n";
const std::string kLetters = "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n";

// lines -- `count` lines of 11 bytes, "line 00000\n" on, line i at 11 * i;
// line `from_upper` and every `step`th after it say "LINE"
std::string lines(int count, int from_upper = -1, int step = 1)
{
    std::string text;
    char line[12];
    for (int i = 0; i < count; ++i) {
        const bool upper = from_upper >= 0 && i >= from_upper && (i - from_upper) % step == 0;
        std::snprintf(line, sizeof line, "%s %05d\n", upper ? "LINE" : "line", i);
        text += line;
    }
    return text;
}

}  // namespace

TEST(Merge, ChangesOfDifferentLinesCombineEitherWayAndOverlapsNameTheirRange)
{
    const struct {
        const char* what;
        std::string base, a, b;
        std::optional<std::string> merged;  // none where they conflict:
        Conflict conflict;
    } rows[] = {
        {"lines apart", kFive, "one\nTWO\nthree\nfour\nfive\n", "one\ntwo\nthree\nfour\nFIVE\n",
         "one\nTWO\nthree\nfour\nFIVE\n", {}},
        {"lines next to each other", kFive, "one\nTWO\nthree\nfour\nfive\n", "one\ntwo\nTHREE\nfour\nfive\n",
         "one\nTWO\nTHREE\nfour\nfive\n", {}},
        {"the same edit, and one more each", kFive, "one\nTWO\nthree\nFOUR\nfive\n", "one\nTWO\nthree\nfour\nFIVE\n",
         "one\nTWO\nthree\nFOUR\nFIVE\n", {}},
        {"the same deletion", kFive, "one\nfour\nfive\n", "one\nfour\nfive\n", "one\nfour\nfive\n", {}},
        {"two lines swapped, one apart edited", kFive, "two\none\nthree\nfour\nfive\n", "one\ntwo\nthree\nfour\nFIVE\n",
         "two\none\nthree\nfour\nFIVE\n", {}},
        {"insertions at two places", kFive, "one\nx\ntwo\nthree\nfour\nfive\n", "one\ntwo\nthree\nfour\ny\nfive\n",
         "one\nx\ntwo\nthree\nfour\ny\nfive\n", {}},
        {"insertions at one place", kFive, "one\ntwo\nx\nthree\nfour\nfive\n", "one\ntwo\ny\nthree\nfour\nfive\n",
         std::nullopt, {8, 8}},
        {"an insertion where an edit starts", kFive, "one\nx\ntwo\nthree\nfour\nfive\n", "one\nTWO\nthree\nfour\nfive\n",
         "one\nx\nTWO\nthree\nfour\nfive\n", {}},
        {"an insertion where an edit ends", kFive, "one\ntwo\nx\nthree\nfour\nfive\n", "one\nTWO\nthree\nfour\nfive\n",
         "one\nTWO\nx\nthree\nfour\nfive\n", {}},
        {"an insertion inside an edit", kFive, "one\ntwo\nx\nthree\nfour\nfive\n", "one\n2 and 3\nfour\nfive\n",
         std::nullopt, {4, 14}},
        {"lines deleted that the other edits", kFive, "one\nfour\nfive\n", "one\ntwo\nTHREE\nfour\nfive\n",
         std::nullopt, {4, 14}},
        {"lines deleted next to one the other edits", kFive, "one\nfour\nfive\n", "one\ntwo\nthree\nFOUR\nfive\n",
         "one\nFOUR\nfive\n", {}},
        {"two overlaps: the first named", kFive, "ONE\ntwo\nthree\nfour\nFIVE\n", "1\ntwo\nthree\nfour\n5\n",
         std::nullopt, {0, 4}},
        {"the last line without a line end", "one\ntwo", "one\ntwo\n", "ONE\ntwo", "ONE\ntwo\n", {}},
        {"a side as the base", kFive, kFive, "one\ntwo\nthree\n", "one\ntwo\nthree\n", {}},
        // Without line ends each side is one hunk, from its first changed
        // byte to its last: edits far apart conflict where one side makes two.
        {"no line ends, one edit each", "abcdefghij", "aBcdefghij", "abcdefghIj", "aBcdefghIj", {}},
        {"no line ends, one side's edits around the other's", "abcdefghij", "aBcdefghIj", "abcdEfghij",
         std::nullopt, {1, 9}},
        {"no line ends, an insertion one byte inside an edit", "abcdefghij", "aBCdefghij", "abXcdefghij",
         std::nullopt, {1, 3}},
        {"the same edits on lines", kLetters, "a\nB\nc\nd\ne\nf\ng\nh\nI\nj\n", "a\nb\nc\nd\nE\nf\ng\nh\ni\nj\n",
         "a\nB\nc\nd\nE\nf\ng\nh\nI\nj\n", {}},
        {"an empty base, one side empty", "", "", "new\n", "new\n", {}},
        {"an empty base, both sides alike", "", "new\n", "new\n", "new\n", {}},
        {"an empty base, both sides different", "", "new\n", "old\n", std::nullopt, {0, 0}},
        // 5,600 lines, 61,600 bytes; lines 1 and 5598 changed.
        {"60 KB, edits near both ends", lines(5600), lines(5600, 1, 5600), lines(5600, 5598, 5600),
         lines(5600, 1, 5597), {}},
        // Every other line from 0 changed takes more edits than a line
        // difference is let take: that side is one hunk, through line 5598's
        // "LINE" (61,578 + 4).
        {"60 KB, one side too changed for lines", lines(5600), lines(5600, 0, 2), lines(5600, 2801, 5600),
         std::nullopt, {0, 61582}},
    };
    for (const auto& row : rows) {
        for (const bool swapped : {false, true}) {
            Bytes out(3, 0xA5);
            Conflict conflict{.start = 7, .end = 7};
            const bool merged = merge3(v(row.base), v(swapped ? row.b : row.a), v(swapped ? row.a : row.b), out, conflict);
            ASSERT_EQ(merged, row.merged.has_value()) << row.what << (swapped ? ", swapped" : "");
            EXPECT_EQ(out, row.merged ? v(*row.merged) : Bytes{}) << row.what << (swapped ? ", swapped" : "");
            if (!merged) {
                EXPECT_EQ(conflict, row.conflict) << row.what << (swapped ? ", swapped" : "");
            }
        }
    }
}
