#include "hex.hpp"

#include "numbers.hpp"

namespace {

// nibble -- a lower-case hexadecimal digit's value, or -1: the digits
// are written in lower case, so only lower case reads back
int nibble(char c)
{
    return c >= 'A' && c <= 'F' ? -1 : digit_value(c, 16);
}

}  // namespace

std::string hex_of(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

bool read_hex_exact(std::string_view hex, std::span<std::uint8_t> out)
{
    if (hex.size() != 2 * out.size())
        return false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int hi = nibble(hex[2 * i]), lo = nibble(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return true;
}

bool read_hex(std::string_view hex, std::vector<std::uint8_t>& out)
{
    out.assign(hex.size() / 2, 0);  // an odd count of digits gives another count of bytes
    if (read_hex_exact(hex, out))
        return true;
    out.clear();
    return false;
}
