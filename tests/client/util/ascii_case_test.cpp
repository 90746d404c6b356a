// Names compared without regard to ASCII letter case.
#include <gtest/gtest.h>

#include "source_client/util/ascii_case.h"

namespace {

using vqc::ieq_n;

TEST(IeqN, ComparesWholeNamesIgnoringAsciiCase) {
    struct {
        const char *bytes;
        size_t n;
        const char *name;
        int want;
    } cases[] = {
        {"HTTP-Referer", 12, "http-referer", 1},
        {"http-referer", 11, "http-referer", 0},
        {"http-refererX", 13, "http-referer", 0},
        {"#extvlcopt:x", 10, "#EXTVLCOPT", 1},
        {"\xC3\x89", 2, "\xC3\xA9", 0},  // only A to Z fold
        {"@", 1, "`", 0}, {"[", 1, "{", 0}, {"-", 1, "\r", 0}, {"1", 1, "\x11", 0},  // nor other pairs 0x20 apart
        {"Z", 1, "z", 1},
        {"", 0, "", 1},
    };
    for (const auto &c : cases) EXPECT_EQ(ieq_n(c.bytes, c.n, c.name), c.want) << c.bytes;
}

}  // namespace
