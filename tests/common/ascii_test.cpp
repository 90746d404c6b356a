// ASCII classes and case folding: only A to Z fold, only ASCII bytes belong
// to a class.
#include <gtest/gtest.h>

#include "common/ascii.h"

namespace {

TEST(AsciiIeq, ComparesWholeNamesIgnoringAsciiCase) {
    struct {
        std::string_view a, b;
        bool want;
    } cases[] = {
        {"HTTP-Referer", "http-referer", true},
        {"http-refere", "http-referer", false},
        {"http-refererX", "http-referer", false},
        {"#extvlcopt", "#EXTVLCOPT", true},
        {"\xC3\x89", "\xC3\xA9", false},  // only A to Z fold
        {"@", "`", false}, {"[", "{", false}, {"-", "\r", false}, {"1", "\x11", false},  // nor other pairs 0x20 apart
        {"Z", "z", true},
        {"", "", true},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(vq_ieq(c.a, c.b), c.want) << c.a;
        EXPECT_EQ(vq_ieq(c.b, c.a), c.want) << c.a;
    }
    EXPECT_TRUE(vq_istarts_with("Content-Length: 3", "content-length"));
    EXPECT_FALSE(vq_istarts_with("Content", "content-length"));
}

// Every byte against the classes' definitions.
TEST(AsciiClasses, HoldForExactlyTheirBytes) {
    const std::string_view space = " \t\n\v\f\r", hex = "0123456789abcdef", upper_hex = "ABCDEF";
    const std::string_view token_marks = "!#$%&'*+-.^_`|~";
    for (int b = 0; b < 256; ++b) {
        char c = static_cast<char>(b);
        bool upper = b >= 'A' && b <= 'Z', lower = b >= 'a' && b <= 'z', digit = b >= '0' && b <= '9';
        EXPECT_EQ(vq_is_space(c), space.find(c) != space.npos) << b;
        EXPECT_EQ(vq_is_digit(c), digit) << b;
        EXPECT_EQ(vq_is_alpha(c), upper || lower) << b;
        EXPECT_EQ(vq_is_alnum(c), upper || lower || digit) << b;
        EXPECT_EQ(vq_lower(c), upper ? static_cast<char>(b + 32) : c) << b;
        EXPECT_EQ(vq_upper(c), lower ? static_cast<char>(b - 32) : c) << b;
        int want = hex.find(c) != hex.npos ? static_cast<int>(hex.find(c))
                   : upper_hex.find(c) != upper_hex.npos ? static_cast<int>(upper_hex.find(c)) + 10
                                                         : -1;
        EXPECT_EQ(vq_hex_digit(c), want) << b;
        EXPECT_EQ(vq_is_token_char(c), upper || lower || digit || token_marks.find(c) != token_marks.npos) << b;
    }
    for (unsigned v = 0; v < 16; ++v) {
        EXPECT_EQ(vq_hex_digit(vq_hex_upper(v)), static_cast<int>(v)) << v;
        EXPECT_FALSE(vq_is_alpha(vq_hex_upper(v)) && !vq_is_upper(vq_hex_upper(v))) << v;
    }
}

}  // namespace
