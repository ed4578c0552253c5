// Little-endian readers and writers for header fields. Values are taken
// apart and assembled byte by byte, so the result does not depend on the
// host's byte order.
#pragma once

#include <cstdint>

// get_le16 -- unsigned 16-bit value stored least significant byte first
constexpr std::uint16_t get_le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// get_le32 -- unsigned 32-bit value stored least significant byte first
constexpr std::uint32_t get_le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// put_le16 -- store the low 16 bits of v least significant byte first
constexpr void put_le16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// put_le32 -- store v least significant byte first
constexpr void put_le32(std::uint8_t* p, std::uint32_t v)
{
    put_le16(p, v);
    put_le16(p + 2, v >> 16);
}
