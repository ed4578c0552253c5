#include "count.hpp"

#include <optional>

#include "numbers.hpp"

namespace {

constexpr std::string_view kHexLiteral = "0x";

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// read_number -- white space, an optional sign, for base 16 an optional
// "0x"/"0X", then digits; none when no digit follows. Accumulates modulo
// 2^32 with no overflow check, as a 32-bit scanf conversion does.
std::optional<std::uint32_t> read_number(std::string_view s, unsigned base)
{
    std::size_t i = 0;
    while (i < s.size() && is_space(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (base == 16 && i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X'))
        i += 2;
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (; i < s.size() && digit_value(s[i], base) >= 0; ++i, ++digits)
        value = value * base + static_cast<std::uint32_t>(digit_value(s[i], base));
    if (digits == 0)
        return std::nullopt;
    return negative ? 0u - value : value;
}

}  // namespace

std::int32_t parse_count(std::string_view text)
{
    std::optional<std::uint32_t> v;
    if (text.starts_with(kHexLiteral))
        v = read_number(text.substr(kHexLiteral.size()), 16);
    if (!v)
        v = read_number(text, 10);
    return static_cast<std::int32_t>(v.value_or(0));
}
