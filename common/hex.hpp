// Bytes as hexadecimal text and back: two lower-case digits a byte, the
// one form the split record and the messages give bytes and hashes in.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// hex_of -- the bytes as hexadecimal digits, two a byte, lower case
std::string hex_of(std::span<const std::uint8_t> bytes);

// read_hex -- lower-case hexadecimal digits (an even number of them)
// read back into out; false, and out empty, where they are not
bool read_hex(std::string_view hex, std::vector<std::uint8_t>& out);

// read_hex_exact -- the same into a span of exactly the bytes the digits
// give; false where they give another number of bytes
bool read_hex_exact(std::string_view hex, std::span<std::uint8_t> out);
