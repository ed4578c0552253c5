// The SHA-256 compression function over whole 64-byte blocks: the
// processor's SHA instructions where it has them (x86 SHA extensions,
// chosen when the program starts), else plain C++.
#pragma once

#include <cstddef>
#include <cstdint>

// sha256_blocks -- fold `blocks` 64-byte blocks at data into the state
void sha256_blocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

// sha256_blocks_plain -- the same in plain C++, whatever the processor
void sha256_blocks_plain(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

// sha256_has_instructions -- whether sha256_blocks uses the processor's own
bool sha256_has_instructions();
