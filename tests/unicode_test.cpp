// The conversions between UTF-8, in which names travel inside the tools,
// and UTF-16, which Windows takes at its calls.
#include "unicode.hpp"

#include <gtest/gtest.h>

TEST(Unicode, WellFormedTextConvertsBothWaysAndBack)
{
    const struct {
        const char* what;
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"ASCII", "DATA.BND", u"DATA.BND"},
        {"empty", "", u""},
        {"accented Latin", "caf\xC3\xA9", u"caf\u00E9"},
        {"Japanese, second byte 0x5C in Shift-JIS", "\xE8\xA1\xA8.BND", u"\u8868.BND"},
        {"beyond the BMP, as a surrogate pair", "\xF0\x9F\x8E\xAE", {0xD83C, 0xDFAE}},
        {"the last code point", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        {"a backslash stays a backslash", "a\\b", u"a\\b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16) << c.what;
        EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8) << c.what;
        EXPECT_EQ(utf8_to_utf16_shown(c.utf8), c.utf16) << c.what;
    }
}

TEST(Unicode, MalformedUtf8IsRefusedAndShownAsReplacementCharacters)
{
    const struct {
        const char* what;
        std::string bytes;
        std::u16string shown;
    } cases[] = {
        {"a stray continuation byte", "a\x80" "b", u"a\uFFFDb"},
        {"a lead byte cut short", "a\xE8\xA1", u"a\uFFFD\uFFFD"},
        {"an overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"an encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"beyond the last code point", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"a byte no UTF-8 has", "\xFF", u"\uFFFD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8_to_utf16(c.bytes), std::nullopt) << c.what;
        EXPECT_EQ(utf8_to_utf16_shown(c.bytes), c.shown) << c.what;
    }
}

TEST(Unicode, ALoneSurrogateIsRefusedOrKeptInAFormNoCallTakes)
{
    const std::u16string names[] = {
        {u'a', 0xD800, u'b'},  // a high surrogate with no low one after it
        {0xDC00, u'a'},        // a low surrogate with no high one before it
        {u'a', 0xDBFF},        // a high surrogate at the end
    };
    for (const std::u16string& name : names) {
        EXPECT_EQ(utf16_to_utf8(name), std::nullopt);
        std::optional<std::string> kept = utf16_to_utf8(name, LoneSurrogates::encode);
        ASSERT_TRUE(kept);
        // The name never becomes another well-formed name on its way back.
        EXPECT_EQ(utf8_to_utf16(*kept), std::nullopt);
        EXPECT_NE(utf8_to_utf16_shown(*kept).find(u'\uFFFD'), std::u16string::npos);
    }
    EXPECT_EQ(utf16_to_utf8(std::u16string{u'a', 0xD800, u'b'}, LoneSurrogates::encode), "a\xED\xA0\x80" "b");
}
