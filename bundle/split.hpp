// Cutting a bundle on disk into its piece files.
#pragma once

#include <cstdint>
#include <string>

enum class SplitStatus {
    completed,
    cannot_open,   // the bundle cannot be opened, or its table cannot be read
    read_failed,   // a piece runs past the end of the bundle, or reading it failed
    write_failed,  // the piece directory or a piece file cannot be made, written or closed
};

// split_bundle -- write each piece the bundle's table describes, up to
// maxfiles of them, to <piece directory>/<nnn>, printing a progress line
// before each. A piece that cannot be copied whole is not left behind.
SplitStatus split_bundle(const std::string& bundle, std::int32_t maxfiles);
