// Cutting a bundle on disk into its piece files.
#pragma once

#include <cstdint>
#include <string>

#include "console.hpp"

enum class SplitStatus {
    completed,
    cannot_open,   // the bundle cannot be opened, or its table cannot be read
    read_failed,   // a piece runs past the end of the bundle, or reading it failed
    write_failed,  // the piece directory or a piece file cannot be made, written or named
};

struct SplitResult {
    SplitStatus status;
    Detail detail;
};

// split_bundle -- write each piece the bundle's table describes, up to
// maxfiles of them, to <piece directory>/<nnn>, printing a progress line
// before each. A piece appears whole or not at all, and the bundle itself
// is never written.
SplitResult split_bundle(const std::string& bundle, std::int32_t maxfiles);
