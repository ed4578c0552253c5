// Where the pieces of a rebuilt bundle go: the one layout rule for a join
// and a patch alike.
//
// A new bundle is laid out as bndsplit reads it: the table, then the
// pieces end to end. Where it replaces an old bundle whose pieces lie
// after its table and within the file, the old layout is kept: piece 0
// starts where it started, the bytes between the table and it stay, the
// bytes after the last piece stay after the new last piece, and so do the
// table's entries after the last one used. A piece that grew or shrank
// moves only the offsets after it. Pieces in a table are end to end by
// the format itself: piece k ends where piece k + 1 starts, so there are
// no bytes between them to keep. What differs is only what a join or a
// patch does where the number of pieces changed (see LayoutPolicy).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bundle.hpp"

// The old bundle, as a rebuild finds it.
struct OldBundle {
    TableBytes table;
    std::uint64_t size;  // of the whole file
};

// What a layout keeps where the number of pieces changed.
struct LayoutPolicy {
    // Another number of pieces keeps the old layout: pieces added follow
    // the old last one, and the entries of pieces removed become 0 (a
    // patch, a rebuild from the record). Else the layout starts afresh (a
    // join without a record, which cannot tell what was removed).
    bool any_count = false;
    // Where every piece keeps its size, every offset and the table stay as
    // they were, also where piece 0 starts inside the table (a rebuild
    // from the record, which knows the table's bytes).
    bool same_sizes_same_table = false;
};

// Why an old bundle's layout cannot be kept.
enum class LayoutLost {
    none,          // it is kept, or there was none
    other_count,   // its table lists another number of pieces
    in_the_table,  // its piece 0 starts inside the table
    past_the_end,  // its last piece ends past the end of the file
    too_far,       // the pieces would end past the 32-bit offsets a table holds
};

// The new bundle: its table, each piece's place, and the old bundle's
// bytes it keeps ([head_start, head_end) and [tail_start, tail_end), empty
// when none).
struct Layout {
    TableBytes table{};
    std::vector<Piece> pieces;
    std::uint64_t head_start = kTableSize;  // old bytes kept between the table and piece 0
    std::uint64_t head_end = kTableSize;
    std::uint64_t tail_start = 0;  // old bytes kept after the last piece
    std::uint64_t tail_end = 0;
    LayoutLost lost = LayoutLost::none;
    std::size_t old_count = 0;  // the pieces the old table lists

    // table_bytes -- how much of the table comes before piece 0: all of it,
    // or the bytes before a piece 0 that starts inside it
    std::size_t table_bytes() const;
};

// plan_layout -- the layout of a bundle of pieces of these sizes (1 to
// 127 of them, each 1 to kMaxPieceSize bytes), over the old bundle if
// there is one, by the policy; its table, read back, lists exactly these
// pieces.
Layout plan_layout(std::span<const std::uint32_t> sizes, const OldBundle* old, LayoutPolicy policy);
