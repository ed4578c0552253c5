// Converting between UTF-8, the form every name takes inside the tools,
// and UTF-16, the form Windows takes at its system calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// utf8_to_utf16 -- none when the bytes are not well-formed UTF-8 (an
// encoded surrogate, an overlong form, a stray or missing continuation)
std::optional<std::u16string> utf8_to_utf16(std::string_view utf8);

// How utf16_to_utf8 treats a surrogate without its partner.
enum class LoneSurrogates {
    refuse,  // no conversion at all
    encode,  // as the three bytes a code point would take, which no
             // well-formed UTF-8 holds: a name that reaches the system
             // again fails there, cleanly, and never names another file
};

// utf16_to_utf8 -- none when a lone surrogate is refused
std::optional<std::string> utf16_to_utf8(std::u16string_view utf16, LoneSurrogates lone = LoneSurrogates::refuse);

// utf8_to_utf16_shown -- for display only: every byte sequence that is not
// well-formed UTF-8 becomes U+FFFD
std::u16string utf8_to_utf16_shown(std::string_view utf8);
