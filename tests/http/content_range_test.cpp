#include <gtest/gtest.h>

#include <cstdint>

#include "http/content_range.h"

namespace {
struct row {
    const char *text;
    int rc;
    int64_t first, last, total;
};

class ContentRange : public ::testing::TestWithParam<row> {};

TEST_P(ContentRange, Parses) {
    const row &r = GetParam();
    int64_t first = 7, last = 7, total = 7;
    EXPECT_EQ(quorvex_content_range(r.text, &first, &last, &total), r.rc);
    EXPECT_EQ(first, r.first);
    EXPECT_EQ(last, r.last);
    EXPECT_EQ(total, r.total);
}

// On failure the positions stored before the fault stay; the rest are -1.
INSTANTIATE_TEST_SUITE_P(
    Values, ContentRange,
    ::testing::Values(row{"bytes 0-99/200", 0, 0, 99, 200}, row{"bytes */1234", 0, -1, -1, 1234},
                      row{"bytes 0-99/*", 0, 0, 99, -1}, row{"bytes 0-99", 0, 0, 99, -1},
                      row{"bytes", 0, -1, -1, -1}, row{"bytes   7-7/8", 0, 7, 7, 8},
                      row{"bytes 5-*/10", 0, 5, -1, 10}, row{"bytes 5-*", 0, 5, -1, -1},
                      row{"bytes */*", 0, -1, -1, -1}, row{"bytes 0-99/*junk", 0, 0, 99, -1},
                      row{"bytes 0-99/50", 0, 0, 99, 50}, row{"bytes 60-99/50", -1, 60, 99, -1},
                      row{"bytes 5-3/10", -1, 5, 3, -1}, row{"bytes -5-9/10", -1, -1, -1, -1},
                      row{"items 0-1/2", -1, -1, -1, -1}, row{"Bytes 0-1/2", -1, -1, -1, -1},
                      row{"bytes 0-99/200x", -1, 0, 99, -1}, row{"bytes 0-99x/200", -1, 0, -1, -1},
                      row{"bytes 0/200", -1, -1, -1, -1}, row{"bytes x-1/2", -1, -1, -1, -1},
                      row{"bytes 0-/2", -1, 0, -1, -1}, row{"bytes 0-1/", -1, 0, 1, -1},
                      row{"bytes 0-1/-2", -1, 0, 1, -1}, row{"bytes */5x", -1, -1, -1, -1},
                      row{"bytes *x", -1, -1, -1, -1}, row{nullptr, -1, -1, -1, -1}));
}  // namespace
