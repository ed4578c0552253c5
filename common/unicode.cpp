#include "unicode.hpp"

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool is_surrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

// next_code_point -- the code point that starts at s[i], and its length;
// none for a sequence that is not well-formed
std::optional<char32_t> next_code_point(std::string_view s, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t n;
    char32_t c;
    char32_t least;
    if ((lead & 0xE0) == 0xC0) {
        n = 2, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        n = 3, c = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        n = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + n > s.size())
        return std::nullopt;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return std::nullopt;
        c = c << 6 | (byte(i + k) & 0x3F);
    }
    if (c < least || c > kMaxCodePoint || is_surrogate(c))
        return std::nullopt;
    i += n;
    return c;
}

void append_utf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::optional<std::u16string> utf8_to_utf16(std::string_view utf8)
{
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        std::optional<char32_t> c = next_code_point(utf8, i);
        if (!c)
            return std::nullopt;
        append_utf16(out, *c);
    }
    return out;
}

std::u16string utf8_to_utf16_shown(std::string_view utf8)
{
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        std::optional<char32_t> c = next_code_point(utf8, i);
        if (!c)
            ++i;  // one byte at a time, so that what follows is read again
        append_utf16(out, c.value_or(kReplacement));
    }
    return out;
}

std::optional<std::string> utf16_to_utf8(std::u16string_view utf16, LoneSurrogates lone)
{
    std::string out;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (is_surrogate(c) && lone == LoneSurrogates::refuse) {
            return std::nullopt;
        }
        append_utf8(out, c);
    }
    return out;
}
