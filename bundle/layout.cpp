#include "layout.hpp"

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
LayoutLost why_not_kept(const std::vector<Piece>& listed, std::size_t count, std::uint64_t size, bool more)
{
    if (listed.empty() || (listed.size() != count && !(more && count > listed.size())))
        return LayoutLost::other_count;
    if (listed.front().start < kTableSize)
        return LayoutLost::in_the_table;
    if (listed.back().end > size)
        return LayoutLost::past_the_end;
    return LayoutLost::none;
}

// put_entries -- the pieces' offsets into the table: each one's start,
// then the last one's end
void put_entries(Layout& layout)
{
    std::vector<std::uint32_t> offsets;
    for (const Piece& p : layout.pieces)
        offsets.push_back(p.start);
    offsets.push_back(layout.pieces.back().end);
    set_entries(layout.table, 0, offsets);
}

}  // namespace

Layout plan_layout(std::span<const std::uint32_t> sizes, const OldBundle* old, bool more)
{
    Layout layout;
    if (old) {
        const std::vector<Piece> listed = enumerate_pieces(old->table, kMaxPieces);
        layout.old_count = listed.size();
        layout.lost = why_not_kept(listed, sizes.size(), old->size, more);
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
            if (n < static_cast<std::size_t>(kMaxPieces)) {
                const std::vector<Piece> back = enumerate_pieces(layout.table, kMaxPieces);
                if (back.size() > n)
                    set_entries(layout.table, n + 1, std::array<std::uint32_t, 1>{0});
            }
            return layout;
        }
    }
    layout.pieces = *end_to_end(sizes, kTableSize);  // 127 pieces of the largest size end far below 4 GiB
    layout.table = TableBytes{};
    put_entries(layout);
    return layout;
}
