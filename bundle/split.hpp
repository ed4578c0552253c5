// Cutting a bundle on disk into its piece files, or only looking at it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bundle.hpp"
#include "failure.hpp"
#include "platform.hpp"

// What a split, or a look, found in a bundle: the pieces its table lists
// (at most the limit) and why the list ended, and the bundle's size.
struct BundleSeen {
    PieceList list;
    std::uint64_t size = 0;
};

// look_at_bundle -- read the bundle's table as a split does; nothing is
// written or made
Outcome look_at_bundle(platform::FileSystem& fs, const std::string& bundle, std::int32_t maxfiles, BundleSeen& seen);

// split_bundle -- write each piece the bundle's table describes, up to
// maxfiles of them, to dir/<nnn>, telling `started` of each before it is
// copied (a failure there ends the run). A piece appears whole or not at
// all, and the bundle itself is never written.
Outcome split_bundle(platform::FileSystem& fs, const std::string& bundle, const std::string& dir,
                     std::int32_t maxfiles, const std::function<Outcome(const Piece&)>& started, BundleSeen& seen);
