// The conversion back end's table of single bytes, which the code-page guess
// scores with: the same on both platforms, a byte a code page lacks as 0.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "playlist_parser/charset.h"

TEST(ParserCharset, HighCharsAreTheCodePagesCharacters) {
    const std::tuple<const char *, unsigned char, uint32_t> cases[] = {  // page, byte, code point
        {"CP1251", 0xC0, 0x410}, {"CP1251", 0x98, 0},     {"CP1252", 0x80, 0x20AC}, {"CP1252", 0x81, 0},
        {"CP1253", 0xD2, 0},     {"CP1253", 0xDC, 0x3AC}, {"CP1254", 0xFD, 0x131},  {"CP1255", 0xE0, 0x5D0},
        {"CP1256", 0x81, 0x67E}, {"KOI8-R", 0xC1, 0x430},
        {"GBK", 0xB0, 0},  // a lead byte alone is no character
        {"UTF-16LE", 0x80, 0},
    };
    uint32_t chars[128];
    for (const auto &[page, byte, code_point] : cases) {
        ASSERT_TRUE(vqplp_charset_high_chars(page, chars)) << page;
        EXPECT_EQ(chars[byte - 0x80], code_point) << page << " " << +byte;
    }
    EXPECT_FALSE(vqplp_charset_high_chars("NO-SUCH-CHARSET-42", chars));
    EXPECT_FALSE(vqplp_charset_high_chars(nullptr, chars));
}
