// Building a bundle on disk from its piece files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bundle.hpp"
#include "failure.hpp"
#include "layout.hpp"
#include "platform.hpp"

struct JoinOptions {
    std::string dir;     // where the pieces are
    bool as_is = false;  // every piece stored as it stands, none compressed again
    bool dir_given = false;  // the directory was named, not found by the bundle's name
    std::uint32_t align = 0;  // the grid later pieces keep (1: none); 0: the one the record's pieces are on
    bool dry_run = false;     // everything found and told, nothing written
    // Where set, the bundle a rebuild from the record makes is written into
    // this output and left uncommitted, for another tool to read: the
    // bundle named is then only where pieces not in the directory come
    // from, and the record is left as it is.
    class Output* into = nullptr;
};

// What a rebuild from the split record makes of each piece.
enum class PieceChange { unchanged, changed, added, from_source };
enum class PieceStore { original, compressed, as_it_stands };
struct PieceFate {
    PieceChange change = PieceChange::unchanged;
    PieceStore store = PieceStore::original;
    std::int64_t moves = 0;  // how far its change of size moves the pieces after it, in bytes
};

// What a join did with the old bundle.
struct JoinSeen {
    bool replaced = false;  // there was an old bundle
    Layout layout;          // the new bundle's layout, and whether the old one's was kept
    std::vector<PieceFate> fates;  // each piece's, known before the first is written; none without a record
};

// join_bundle -- build bundle from the piece files 000, 001, ... in the
// options' directory, telling `started` of each piece's place before it is
// copied. A piece NNN that is not an FLZ0 file beside an NNN.BAK that is
// one is stored compressed: as NNN.BAK's bytes where they decode to
// exactly NNN, else compressed as flz0pack would. Over an old bundle its
// layout is kept where it can be (see layout.hpp), and the old bundle is
// kept as bundle.BAK; nothing is written before every piece has been found
// fit. A dry run tells of every piece and writes nothing.
Outcome join_bundle(platform::FileSystem& fs, const std::string& bundle, const JoinOptions& options,
                    const std::function<Outcome(const Piece&)>& started, JoinSeen& seen);

// tell_pieces -- `started` told of each piece of a layout, as a dry run does
Outcome tell_pieces(const Layout& layout, const std::function<Outcome(const Piece&)>& started);
