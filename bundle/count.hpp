// bndsplit's piece limit, as its command line gives it.
#pragma once

#include <cstdint>
#include <string_view>

// parse_count -- read the optional piece limit: "0x" followed by a
// hexadecimal number, else a decimal number, else 0; wraps modulo 2^32
std::int32_t parse_count(std::string_view text);
