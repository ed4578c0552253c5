// Building a bundle on disk from its piece files.
#pragma once

#include <functional>
#include <string>

#include "bundle.hpp"
#include "failure.hpp"
#include "platform.hpp"

// join_bundle -- build bundle from the piece files 000, 001, ... in dir,
// telling `started` of each piece before it is copied. The old bundle, if
// any, is kept as bundle.BAK; nothing is written before every piece has
// been found fit.
Outcome join_bundle(platform::FileSystem& fs, const std::string& bundle, const std::string& dir,
                    const std::function<Outcome(const Piece&)>& started);
