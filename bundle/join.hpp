// Building a bundle on disk from its piece files.
#pragma once

#include <functional>
#include <string>

#include "bundle.hpp"
#include "failure.hpp"
#include "layout.hpp"
#include "platform.hpp"

struct JoinOptions {
    std::string dir;     // where the pieces are
    bool as_is = false;  // every piece stored as it stands, none compressed again
    bool dir_given = false;  // the directory was named, not found by the bundle's name
    std::uint32_t align = 0;  // the grid later pieces keep (1: none); 0: the one the record's pieces are on
};

// What a join did with the old bundle.
struct JoinSeen {
    bool replaced = false;  // there was an old bundle
    Layout layout;          // the new bundle's layout, and whether the old one's was kept
};

// join_bundle -- build bundle from the piece files 000, 001, ... in the
// options' directory, telling `started` of each piece's place before it is
// copied. A piece NNN that is not an FLZ0 file beside an NNN.BAK that is
// one is stored compressed: as NNN.BAK's bytes where they decode to
// exactly NNN, else compressed as flz0pack would. Over an old bundle its
// layout is kept where it can be (see layout.hpp), and the old bundle is
// kept as bundle.BAK; nothing is written before every piece has been found fit.
Outcome join_bundle(platform::FileSystem& fs, const std::string& bundle, const JoinOptions& options,
                    const std::function<Outcome(const Piece&)>& started, JoinSeen& seen);
