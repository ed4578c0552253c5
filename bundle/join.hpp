// Building a bundle from its piece files: from the split record where the
// directory holds one (rebuild.hpp), else from the pieces alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "failure.hpp"
#include "layout.hpp"
#include "plan.hpp"
#include "platform.hpp"
#include "record.hpp"

struct JoinRequest {
    std::string bundle{};
    std::string dir{};          // where the pieces are
    bool dir_given = false;   // the directory was named, not found by the bundle's name
    bool as_is = false;       // every piece stored as it stands, none compressed again
    std::uint32_t align = 0;  // the grid later pieces keep (1: none); 0: the one the record's pieces are on
    // Only the bundle a rebuild from the record would build, planned and
    // never written (for bnddiff -d): the bundle named is then only where
    // pieces not in the directory come from, and the record is left as it is.
    bool only_planned = false;
};

// What a rebuild from the split record makes of each piece.
enum class PieceChange { unchanged, changed, added, from_source };
enum class PieceStore { original, compressed, as_it_stands };
struct PieceFate {
    PieceChange change = PieceChange::unchanged;
    PieceStore store = PieceStore::original;
    std::int64_t moves = 0;   // how far its change of size moves the pieces after it, in bytes
    std::string source{};     // from_source: the file it was taken from
    SourceIs is = SourceIs::unknown;  // from_source: what that file is
};

// A join, planned.
struct JoinPlan {
    Plan plan;
    int bundle = -1;                 // the new bundle's output
    bool replaced = false;           // there was an old bundle
    Layout layout;                   // the new bundle's layout, and whether the old one's was kept
    std::vector<PieceFate> fates;    // each piece's; none without a record
};

// plan_join -- the plan that builds the bundle from the piece files 000,
// 001, ... in the request's directory (Tell::joining before each piece).
// Where the directory holds a split record it is a rebuild (see
// rebuild.hpp). Else: a piece NNN beside an NNN.BAK that is an FLZ0 file
// is stored as stored_beside says (unless as_is); over an old bundle its
// layout is kept where it can be (see layout.hpp), and the old bundle is
// kept as bundle.BAK. Every piece is found fit before the plan is made.
Outcome plan_join(platform::FileSystem& fs, const JoinRequest& request, JoinPlan& join);
