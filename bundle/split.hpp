// Cutting a bundle on disk into its piece files, or only looking at it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bundle.hpp"
#include "failure.hpp"
#include "flz0.hpp"
#include "platform.hpp"

// What a split, or a look, found in a bundle: the pieces its table lists
// (at most the limit) and why the list ended, and the bundle's size.
struct BundleSeen {
    PieceList list;
    std::uint64_t size = 0;
};

struct SplitOptions {
    std::string dir;                          // where the pieces go
    std::int32_t maxfiles = kDefaultMaxFiles;
    bool decode = false;                      // an FLZ0 piece is written decoded, beside NNN.BAK
    bool force = false;                       // over pieces the user changed, or another bundle's
};

// What a split tells as it goes. A failure one gives ends the run.
struct SplitEvents {
    std::function<Outcome(const Piece&)> started;          // before each piece is copied
    std::function<Outcome(const Flz0Header&)> decoding;    // with decode: an FLZ0 piece, once its header is read
    std::function<void(const Failure&)> not_decoded;       // with decode: an FLZ0 piece written as it stands
    std::function<Outcome(const std::string&)> removing;   // before a file of an earlier run is removed
};

// look_at_bundle -- read the bundle's table as a split does; nothing is
// written or made
Outcome look_at_bundle(platform::FileSystem& fs, const std::string& bundle, std::int32_t maxfiles, BundleSeen& seen);

// describe_pieces -- what each listed piece is, in words (see piece_kind);
// "" for one that runs past the bundle's end
Outcome describe_pieces(platform::FileSystem& fs, const std::string& bundle, const BundleSeen& seen,
                        std::vector<std::string>& kinds);

// split_bundle -- write each piece the bundle's table describes, up to
// maxfiles of them, to dir/<nnn>. A piece appears whole or not at all, and
// the bundle itself is never written. With decode, a piece that is an FLZ0
// file is written decoded, its own bytes beside it as <nnn>.BAK, as varnix
// would leave it; a piece written as it stands loses an <nnn>.BAK beside
// it. Once a split that the limit did not cut short is complete, pieces of
// an earlier run numbered beyond the last (<nnn> and <nnn>.BAK, regular
// files only) are removed; nothing else in dir is touched.
Outcome split_bundle(platform::FileSystem& fs, const std::string& bundle, const SplitOptions& options,
                     const SplitEvents& events, BundleSeen& seen);
