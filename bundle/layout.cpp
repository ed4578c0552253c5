#include "layout.hpp"

#include <algorithm>
#include <array>

namespace {

// end_to_end -- the pieces one after the other from `start`; none when the
// last would end past what a 32-bit offset holds
std::optional<std::vector<Piece>> end_to_end(std::span<const std::uint32_t> sizes, std::uint64_t start)
{
    std::vector<Piece> pieces;
    std::uint64_t offset = start;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        const std::uint64_t end = offset + sizes[k];
        if (end > UINT32_MAX)
            return std::nullopt;
        pieces.push_back({static_cast<int>(k), static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(end)});
        offset = end;
    }
    return pieces;
}

// why_not_kept -- what keeps the old layout from being kept, if anything
LayoutLost why_not_kept(const std::vector<Piece>& listed, std::size_t count, std::uint64_t size, bool any_count)
{
    if (listed.empty() || (listed.size() != count && !any_count))
        return LayoutLost::other_count;
    if (listed.front().start < kTableSize)
        return LayoutLost::in_the_table;
    if (listed.back().end > size)
        return LayoutLost::past_the_end;
    return LayoutLost::none;
}

// put_entries -- the pieces' offsets into the table: each one's start,
// then the last one's end; then a 0 for the end of each piece the old
// table listed beyond them
void put_entries(Layout& layout)
{
    std::vector<std::uint32_t> offsets;
    for (const Piece& p : layout.pieces)
        offsets.push_back(p.start);
    offsets.push_back(layout.pieces.back().end);
    offsets.resize(std::max(offsets.size(), layout.old_count + 1), 0);
    set_entries(layout.table, 0, offsets);
}

// same_sizes -- whether the listed pieces have exactly these sizes
bool same_sizes(const std::vector<Piece>& listed, std::span<const std::uint32_t> sizes)
{
    return listed.size() == sizes.size() &&
           std::equal(listed.begin(), listed.end(), sizes.begin(), [](const Piece& p, std::uint32_t s) { return p.size() == s; });
}

}  // namespace

std::size_t Layout::table_bytes() const
{
    return static_cast<std::size_t>(std::min<std::uint64_t>(kTableSize, pieces.front().start));
}

Layout plan_layout(std::span<const std::uint32_t> sizes, const OldBundle* old, LayoutPolicy policy)
{
    Layout layout;
    if (old) {
        const std::vector<Piece> listed = enumerate_pieces(old->table, kMaxPieces);
        layout.old_count = listed.size();
        if (policy.same_sizes_same_table && same_sizes(listed, sizes) && listed.back().end <= old->size) {
            // Every offset as it was: the table as it was, also where piece 0 starts inside it.
            layout.table = old->table;
            layout.pieces = listed;
            layout.head_start = layout.table_bytes();
            layout.head_end = listed.front().start;
            layout.tail_start = listed.back().end;
            layout.tail_end = old->size;
            return layout;
        }
        layout.lost = why_not_kept(listed, sizes.size(), old->size, policy.any_count);
        std::optional<std::vector<Piece>> pieces;
        if (layout.lost == LayoutLost::none && !(pieces = end_to_end(sizes, listed.front().start)))
            layout.lost = LayoutLost::too_far;
        if (layout.lost == LayoutLost::none) {
            layout.pieces = std::move(*pieces);
            layout.table = old->table;
            put_entries(layout);
            layout.head_end = listed.front().start;
            layout.tail_start = listed.back().end;
            layout.tail_end = old->size;
            // The entries after the last one used stay as they were, unless
            // the one after it would now make a pair that lists one more
            // piece: then it is 0, which ends any list.
            const std::size_t n = sizes.size();
            if (n < static_cast<std::size_t>(kMaxPieces) && enumerate_pieces(layout.table, kMaxPieces).size() > n)
                set_entries(layout.table, n + 1, std::array<std::uint32_t, 1>{0});
            return layout;
        }
    }
    // Afresh, into a table of zeros: only old_count and lost are set so far.
    layout.pieces = *end_to_end(sizes, kTableSize);  // 127 pieces of the largest size end far below 4 GiB
    put_entries(layout);
    return layout;
}
