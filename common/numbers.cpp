#include "numbers.hpp"

int digit_value(char c, unsigned base)
{
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v >= 0 && static_cast<unsigned>(v) < base ? v : -1;
}

std::optional<std::uint64_t> parse_number(std::string_view text, unsigned base)
{
    if (text.empty())
        return std::nullopt;
    std::uint64_t n = 0;
    for (char c : text) {
        const int d = digit_value(c, base);
        if (d < 0 || n > (UINT64_MAX - static_cast<unsigned>(d)) / base)
            return std::nullopt;
        n = n * base + static_cast<unsigned>(d);
    }
    return n;
}
