// Building a bundle on disk from its piece files.
#pragma once

#include <string>

#include "console.hpp"

enum class JoinStatus {
    completed,
    cannot_open,    // the piece directory cannot be read, holds no piece, or the bundle is no regular file
    bad_piece,      // a piece the bundle cannot hold, or one beyond a gap
    read_failed,    // a piece could not be read whole
    write_failed,   // the new bundle cannot be written or synced
    rename_failed,  // the new bundle cannot take the name, or BUNDLE.BAK is taken
};

struct JoinResult {
    JoinStatus status;
    Detail detail;
};

// join_bundle -- build bundle from the piece files 000, 001, ... in the
// directory bndsplit writes for it, printing a progress line before each
// piece. The old bundle, if any, is kept as bundle.BAK; nothing is written
// before every piece has been found fit.
JoinResult join_bundle(const std::string& bundle);
