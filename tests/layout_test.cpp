// Where a rebuilt bundle's pieces go, over each kind of old bundle.
#include "layout.hpp"

#include "bundle_reference.hpp"

#include <gtest/gtest.h>

namespace {

TableBytes table_with(std::initializer_list<std::uint32_t> entries)
{
    return make_table(std::vector<std::uint32_t>(entries));
}

std::vector<std::uint32_t> entries_of(const TableBytes& t, std::size_t n)
{
    std::vector<std::uint32_t> e;
    for (std::size_t k = 0; k < n; ++k)
        e.push_back(entry_at(std::string_view(reinterpret_cast<const char*>(t.data()), t.size()), k));
    return e;
}

}  // namespace

TEST(PlanLayout, KeepsWhatItCanOfTheOldBundleAndListsExactlyTheNewPieces)
{
    const struct {
        const char* what;
        bool old;
        TableBytes table;
        std::uint64_t size;
        std::vector<std::uint32_t> sizes;
        LayoutLost lost;
        std::vector<std::uint32_t> entries;  // the new table's first entries
        std::uint64_t head_end, tail_start, tail_end;
    } cases[] = {
        {"no old bundle: end to end after the table", false, {}, 0, {10, 20}, LayoutLost::none, {512, 522, 542, 0}, 512, 0, 0},
        {"the same layout", true, table_with({512, 522, 542}), 542, {10, 20}, LayoutLost::none, {512, 522, 542, 0}, 512, 542, 542},
        {"a piece grew: the offsets after it move", true, table_with({512, 522, 542}), 542, {15, 20}, LayoutLost::none,
         {512, 527, 547, 0}, 512, 542, 542},
        {"bytes before piece 0 and after the last stay", true, table_with({600, 610, 630}), 700, {12, 20},
         LayoutLost::none, {600, 612, 632, 0}, 600, 630, 700},
        {"entries after the last one used stay", true, table_with({512, 522, 0, 0xDEADBEEF, 7}), 522, {30},
         LayoutLost::none, {512, 542, 0, 0xDEADBEEF, 7}, 512, 522, 522},
        {"an entry after the last that would list one more piece becomes 0", true, table_with({512, 522, 520}), 522,
         {5}, LayoutLost::none, {512, 517, 0}, 512, 522, 522},
        {"another count of pieces", true, table_with({512, 522, 542}), 542, {10}, LayoutLost::other_count,
         {512, 522, 0}, 512, 0, 0},
        {"piece 0 inside the table", true, table_with({100, 522, 542}), 542, {10, 20}, LayoutLost::in_the_table,
         {512, 522, 542, 0}, 512, 0, 0},
        {"piece 0 inside the table, every size the same: without a record of the table's bytes, afresh", true,
         table_with({400, 410, 430}), 430, {10, 20}, LayoutLost::in_the_table, {512, 522, 542, 0}, 512, 0, 0},
        {"the last piece past the end of the file", true, table_with({512, 522, 542}), 530, {10, 20},
         LayoutLost::past_the_end, {512, 522, 542, 0}, 512, 0, 0},
        {"pieces that would end past 4 GiB", true, table_with({0xFFFFFF00u, 0xFFFFFF10u}), 0x100000000ull, {0x200},
         LayoutLost::too_far, {512, 1024, 0}, 512, 0, 0},
    };
    for (const auto& c : cases) {
        const OldBundle old{c.table, c.size};
        const Layout l = plan_layout(c.sizes, c.old ? &old : nullptr, LayoutPolicy{});
        EXPECT_EQ(l.lost, c.lost) << c.what;
        EXPECT_EQ(entries_of(l.table, c.entries.size()), c.entries) << c.what;
        EXPECT_EQ(l.head_end, c.head_end) << c.what;
        EXPECT_EQ(l.tail_start, c.tail_start) << c.what;
        EXPECT_EQ(l.tail_end, c.tail_end) << c.what;
        ASSERT_EQ(l.pieces.size(), c.sizes.size()) << c.what;
        for (std::size_t k = 0; k < c.sizes.size(); ++k) {
            EXPECT_EQ(l.pieces[k].start, c.entries[k]) << c.what;
            EXPECT_EQ(l.pieces[k].size(), c.sizes[k]) << c.what;
        }
    }
}
