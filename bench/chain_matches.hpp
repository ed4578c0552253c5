// The hash-chain match finder the compressor used before its binary tree,
// for the benchmarks: the same matches, found another way.
#pragma once

#include <span>

#include "matches.hpp"

// chain_matches -- as find_matches, by hash chains
Matches chain_matches(std::span<const std::uint8_t> data);
