#include "bundle.hpp"

#include <algorithm>

#include "le.hpp"

std::uint32_t table_entry(Table table, std::size_t k)
{
    return get_le32(table.data() + k * kEntrySize);
}

std::vector<Piece> enumerate_pieces(Table table, std::int32_t limit)
{
    std::vector<Piece> pieces;
    for (std::int32_t k = 0; k < limit && k < kMaxPieces; ++k) {
        Piece p{k, table_entry(table, static_cast<std::size_t>(k)), table_entry(table, static_cast<std::size_t>(k) + 1)};
        // An end below its start always ends the list, also where the
        // size, taken modulo 2^32, would come out small (starts within
        // kMaxPieceSize of 2^32): such a pair describes no range of the file.
        if (p.end == 0 || p.size() == 0 || p.end < p.start || p.size() > kMaxPieceSize)
            break;
        pieces.push_back(p);
    }
    return pieces;
}

TableBytes make_table(std::span<const std::uint32_t> entries)
{
    TableBytes table{};
    const std::size_t n = std::min(entries.size(), kTableEntries);
    for (std::size_t k = 0; k < n; ++k)
        put_le32(table.data() + k * kEntrySize, entries[k]);
    return table;
}
