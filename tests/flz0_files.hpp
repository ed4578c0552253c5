// FLZ0 files for tests: as the compressor writes them, or as the longest
// stream data can have, all literals.
#pragma once

#include <cstddef>
#include <string>

// flz0_header -- the 8-byte header: "FLZ0", then the original and the
// stream size, 16 bits each, least significant byte first
std::string flz0_header(std::size_t original, std::size_t stream);

// flz0_encode -- the FLZ0 file flz0pack writes for data, which fits one
std::string flz0_encode(const std::string& data);

// flz0_literals -- a whole FLZ0 file holding data as literals only
std::string flz0_literals(const std::string& data);
