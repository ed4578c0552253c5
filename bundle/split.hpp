// Cutting a bundle on disk into its piece files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bundle.hpp"
#include "failure.hpp"
#include "platform.hpp"

// split_bundle -- write each piece the bundle's table describes, up to
// maxfiles of them, to <piece directory>/<nnn>, telling `started` of each
// before it is copied (a failure there ends the run). A piece appears
// whole or not at all, and the bundle itself is never written.
Outcome split_bundle(platform::FileSystem& fs, const std::string& bundle, std::int32_t maxfiles,
                     const std::function<Outcome(const Piece&)>& started);
