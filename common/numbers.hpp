// Numbers read from text: the one reader of digits every tool and file
// format uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// digit_value -- the value of a digit in base 10 or 16 (a to f in either
// case), or -1 where the character is no digit of that base
int digit_value(char c, unsigned base);

// parse_number -- text that is digits of the base and nothing else, as a
// number; none where it is empty, holds anything else, or is more than 64
// bits can hold
std::optional<std::uint64_t> parse_number(std::string_view text, unsigned base = 10);
