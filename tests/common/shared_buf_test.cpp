#include <gtest/gtest.h>

#include <string>

#include "common/alloc.h"
#include "common/shared_buf.h"

namespace {

// Filled piece by piece through growth, the bytes keep a NUL after them; the
// last of several references frees the block (the leak checker of the
// sanitizer build sees the rest).
TEST(SharedBuf, FilledThroughGrowthThenSharedUntilTheLastReference) {
    shared_buf *b = nullptr;
    ASSERT_TRUE(sbuf_reserve(&b, 4));
    sbuf_append(b, "abc", 3);
    ASSERT_TRUE(sbuf_reserve(&b, 1 << 20));
    sbuf_append(b, "\0de", 3);
    EXPECT_EQ(std::string(sbuf_data(b), sbuf_len(b) + 1), std::string("abc\0de\0", 7));
    EXPECT_EQ(sbuf_cap(b), size_t{1} << 20);
    shared_buf *other = sbuf_ref(b);
    EXPECT_EQ(other, b);
    sbuf_unref(b);
    EXPECT_EQ(sbuf_len(other), 6u);
    sbuf_unref_any(other);
    sbuf_unref(nullptr);
    EXPECT_EQ(sbuf_ref(nullptr), nullptr);
}

// Sizes whose room, with the NUL and the header, would wrap are refused
// before anything is allocated or read.
TEST(SharedBuf, RefusesSizesThatWrap) {
    const size_t most = static_cast<size_t>(-1);
    shared_buf *b = nullptr;
    EXPECT_FALSE(sbuf_reserve(&b, most));
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(sbuf_copy("x", most - 1), nullptr);
    EXPECT_EQ(sbuf_copy("x", most), nullptr);
}

TEST(SharedBuf, ShortMemoryLeavesTheBufferAsItWas) {
    shared_buf *b = sbuf_copy("xy", 2);
    ASSERT_NE(b, nullptr);
    vq_alloc_fail_from(1);
    EXPECT_FALSE(sbuf_reserve(&b, 100));
    EXPECT_EQ(sbuf_copy("z", 1), nullptr);
    vq_alloc_disarm();
    EXPECT_STREQ(sbuf_data(b), "xy");
    EXPECT_EQ(sbuf_cap(b), 3u);
    sbuf_unref(b);
}

}  // namespace
