// Cutting a bundle into its piece files, or only looking at it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bundle.hpp"
#include "failure.hpp"
#include "piece_kind.hpp"
#include "plan.hpp"
#include "platform.hpp"

struct SplitRequest {
    std::string bundle{};
    std::string dir{};                           // where the pieces go
    std::int32_t maxfiles = kDefaultMaxFiles;
    bool decode = false;                       // an FLZ0 piece is written decoded, beside NNN.BAK
    bool force = false;                        // over pieces the user changed, or another bundle's
};

// What a split, or a look, found in a bundle: the pieces its table lists
// (at most the limit) and why the list ended, and the bundle's size.
struct BundleSeen {
    PieceList list;
    std::uint64_t size = 0;
};

// A split, planned.
struct SplitPlan {
    Plan plan;
    BundleSeen seen;
};

// A look at a bundle (bndsplit -l): what a split would find, and what
// each listed piece is; none for one that runs past the bundle's end.
struct BundleLook {
    BundleSeen seen;
    std::vector<std::optional<PieceKind>> kinds;
};

// look_at_bundle -- read the bundle's table as a split does, and each
// piece it lists; nothing is written or made
Outcome look_at_bundle(platform::FileSystem& fs, const std::string& bundle, std::int32_t maxfiles, BundleLook& look);

// plan_split -- the plan that writes each piece the bundle's table
// describes, up to maxfiles of them, to dir/NNN, each whole or not at all
// (Tell::cutting before each), and the split record beside them. Every
// piece must lie within the bundle, else nothing is written. With decode,
// a piece that is an FLZ0 file is written decoded, its own bytes beside
// it as NNN.BAK, as varnix would leave it (Tell::sizes after its line; one
// that does not decode is written as it stands, Tell::failed saying why);
// a piece written as it stands loses an NNN.BAK beside it. A piece file
// that already holds what the split writes is left as it is. Once a split
// that the limit did not cut short is complete, pieces of an earlier run
// numbered beyond the last (NNN and NNN.BAK, regular files only) are
// removed (Tell::removing); nothing else in dir is touched. Unless forced,
// a directory that holds another bundle's pieces is refused
// (other_pieces), and one whose pieces the user changed since they were
// cut and that the split would replace or remove (edited). The bundle is
// never written.
Outcome plan_split(platform::FileSystem& fs, const SplitRequest& request, SplitPlan& split);
