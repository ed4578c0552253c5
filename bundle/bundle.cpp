#include "bundle.hpp"

#include <algorithm>
#include <optional>

#include "le.hpp"

std::uint32_t table_entry(Table table, std::size_t k)
{
    return get_le32(table.data() + k * kEntrySize);
}

namespace {

// failing_rule -- which rule a pair breaks, if any, in the order they are
// tested. An end below its start always ends the list, also where the
// size, taken modulo 2^32, would come out small (starts within
// kMaxPieceSize of 2^32): such a pair describes no range of the file.
std::optional<ListEnd> failing_rule(const Piece& p)
{
    if (p.end == 0)
        return ListEnd::end_zero;
    if (p.size() == 0)
        return ListEnd::size_zero;
    if (p.end < p.start)
        return ListEnd::end_below_start;
    if (p.size() > kMaxPieceSize)
        return ListEnd::too_large;
    return std::nullopt;
}

}  // namespace

PieceList list_pieces(Table table, std::int32_t limit)
{
    PieceList list;
    list.limit = limit;
    for (std::int32_t k = 0;; ++k) {
        // A full table ends at its capacity, whatever the limit.
        if (k >= kMaxPieces) {
            list.end = ListEnd::capacity;
            break;
        }
        const auto at = static_cast<std::size_t>(k);
        Piece p{k, table_entry(table, at), table_entry(table, at + 1)};
        const std::optional<ListEnd> rule = failing_rule(p);
        if (k >= limit) {
            list.end = ListEnd::limit;
            list.more = !rule;
            break;
        }
        if (rule) {
            list.end = *rule;
            list.entry = at + 1;
            list.start = p.start;
            list.stop = p.end;
            break;
        }
        list.pieces.push_back(p);
    }
    return list;
}

std::vector<Piece> enumerate_pieces(Table table, std::int32_t limit)
{
    return list_pieces(table, limit).pieces;
}

Uncovered uncovered(std::span<const Piece> pieces, std::uint64_t size)
{
    // The covered ranges, clipped to the file, in order of their starts.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> covered = {{0, std::min<std::uint64_t>(kTableSize, size)}};
    std::uint64_t last_end = kTableSize;
    for (const Piece& p : pieces) {
        covered.emplace_back(std::min<std::uint64_t>(p.start, size), std::min<std::uint64_t>(p.end, size));
        last_end = std::max<std::uint64_t>(last_end, p.end);
    }
    std::sort(covered.begin(), covered.end());
    Uncovered u;
    u.after = last_end;
    u.first = size;
    std::uint64_t reached = 0;
    for (const auto& [start, end] : covered) {
        if (start > reached) {
            u.count += start - reached;
            u.first = std::min(u.first, reached);
        }
        reached = std::max(reached, end);
    }
    if (size > reached) {
        u.count += size - reached;
        u.first = std::min(u.first, reached);
    }
    u.all_after = u.first >= last_end;
    return u;
}

void set_entries(TableBytes& table, std::size_t first, std::span<const std::uint32_t> entries)
{
    for (std::size_t k = first; k < kTableEntries && k - first < entries.size(); ++k)
        put_le32(table.data() + k * kEntrySize, entries[k - first]);
}

TableBytes make_table(std::span<const std::uint32_t> entries)
{
    TableBytes table{};
    set_entries(table, 0, entries);
    return table;
}
