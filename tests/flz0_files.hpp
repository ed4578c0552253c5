// FLZ0 files for tests: as the compressor writes them, or as the longest
// stream data can have, all literals.
#pragma once

#include <string>

// flz0_encode -- the FLZ0 file flz0pack writes for data, which fits one
std::string flz0_encode(const std::string& data);

// flz0_literals -- a whole FLZ0 file holding data as literals only
std::string flz0_literals(const std::string& data);
