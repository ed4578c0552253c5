// A greedy FLZ0 encoder: at each position the longest match, else a
// literal. The baseline the compressor's sizes are measured against.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// greedy_encode -- a whole FLZ0 file (header and stream) holding data, at
// most 65,535 bytes
std::vector<std::uint8_t> greedy_encode(std::span<const std::uint8_t> data);
