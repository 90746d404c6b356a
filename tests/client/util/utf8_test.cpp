// The one UTF-8 sequence check of the source client.
#include <gtest/gtest.h>

#include "source_client/util/utf8.h"

namespace {

using vqc::utf8_seq;

TEST(Utf8Seq, AcceptsExactlyTheWellFormedSequences) {
    struct Case { const char *bytes; size_t left; int len; };
    const Case cases[] = {
        {"A", 1, 1}, {"\x00", 1, 1}, {"\xc2\x80", 2, 2}, {"\xc1\xbf", 2, 0}, {"\xe0\xa0\x80", 3, 3},
        {"\xe0\x9f\x80", 3, 0}, {"\xed\x9f\xbf", 3, 3}, {"\xed\xa0\x80", 3, 0}, {"\xf0\x90\x80\x80", 4, 4},
        {"\xf0\x8f\x80\x80", 4, 0}, {"\xf4\x8f\xbf\xbf", 4, 4}, {"\xf4\x90\x80\x80", 4, 0}, {"\xf5\x80\x80\x80", 4, 0},
        {"\xe2\x88\x95", 2, 0}, {"\x80", 1, 0}, {"A", 0, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(utf8_seq(reinterpret_cast<const unsigned char *>(c.bytes), c.left), c.len);
    }
}

}  // namespace
