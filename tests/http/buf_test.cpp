#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/alloc.h"
#include "http/buf.h"

namespace {
struct buf_guard {
    quorvex_buf b{};
    ~buf_guard() { quorvex_buf_free(&b); }
};

TEST(Buf, AppendingNothingAllocatesAnEmptyText) {
    buf_guard g;
    ASSERT_EQ(quorvex_buf_add(&g.b, nullptr, 0), 0);
    ASSERT_NE(g.b.data, nullptr);
    EXPECT_EQ(g.b.cap, 64u);
    EXPECT_EQ(g.b.len, 0u);
    EXPECT_STREQ(g.b.data, "");
    ASSERT_EQ(quorvex_buf_adds(&g.b, ""), 0);
    EXPECT_EQ(g.b.cap, 64u);
}

TEST(Buf, GrowsByDoublingFrom64) {
    struct step {
        size_t add;
        size_t cap;
    };
    const step steps[] = {{63, 64}, {1, 128}, {64, 256}, {200, 512}, {1000, 2048}};
    buf_guard g;
    std::string want;
    for (const step &s : steps) {
        std::string piece(s.add, static_cast<char>('a' + want.size() % 26));
        ASSERT_EQ(quorvex_buf_add(&g.b, piece.data(), piece.size()), 0);
        want += piece;
        EXPECT_EQ(g.b.cap, s.cap) << "after " << want.size() << " bytes";
        EXPECT_EQ(std::string(g.b.data, g.b.len), want);
        EXPECT_EQ(g.b.data[g.b.len], '\0');
    }
}

TEST(Buf, FirstAppendOf64BytesMakesRoomFor128) {
    buf_guard g;
    ASSERT_EQ(quorvex_buf_add(&g.b, std::string(64, 'x').data(), 64), 0);
    EXPECT_EQ(g.b.cap, 128u);
}

TEST(Buf, AddcKeepsNulBytesAndTerminates) {
    buf_guard g;
    ASSERT_EQ(quorvex_buf_addc(&g.b, 'a'), 0);
    ASSERT_EQ(quorvex_buf_addc(&g.b, '\0'), 0);
    ASSERT_EQ(quorvex_buf_adds(&g.b, "bc"), 0);
    EXPECT_EQ(std::string(g.b.data, g.b.len), std::string("a\0bc", 4));
    EXPECT_EQ(g.b.data[4], '\0');
}

TEST(Buf, RefusedAppendsLeaveTheBufferAsItWas) {
    buf_guard g;
    ASSERT_EQ(quorvex_buf_adds(&g.b, "keep"), 0);
    const char *data = g.b.data;
    EXPECT_EQ(quorvex_buf_add(&g.b, "x", SIZE_MAX), -1);       // size overflow
    EXPECT_EQ(quorvex_buf_add(&g.b, "x", SIZE_MAX / 2), -1);   // doubling reaches the sign bit
    EXPECT_EQ(quorvex_buf_add(&g.b, nullptr, 3), -1);
    EXPECT_EQ(quorvex_buf_adds(&g.b, nullptr), -1);
    vq_alloc_fail_nth(1);
    EXPECT_EQ(quorvex_buf_add(&g.b, std::string(100, 'y').data(), 100), -1);
    vq_alloc_disarm();
    EXPECT_EQ(g.b.data, data);
    EXPECT_EQ(g.b.len, 4u);
    EXPECT_EQ(g.b.cap, 64u);
    EXPECT_STREQ(g.b.data, "keep");
}

TEST(Buf, FreeZeroesTheRecord) {
    quorvex_buf b{};
    ASSERT_EQ(quorvex_buf_adds(&b, "abc"), 0);
    quorvex_buf_free(&b);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.len, 0u);
    EXPECT_EQ(b.cap, 0u);
    quorvex_buf_free(&b);  // a second release is harmless
}

TEST(Strings, CopiesAndTheirFailures) {
    EXPECT_EQ(quorvex_strdup(nullptr), nullptr);
    char *s = quorvex_strdup("text");
    EXPECT_STREQ(s, "text");
    vq_free(s);
    char *n = quorvex_strndup("a\0b!", 3);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(std::string(n, 4), std::string("a\0b\0", 4));
    vq_free(n);
    vq_alloc_fail_nth(1);
    EXPECT_EQ(quorvex_strdup("text"), nullptr);
    vq_alloc_fail_nth(1);
    EXPECT_EQ(quorvex_strndup("text", 2), nullptr);
    vq_alloc_disarm();
}
}  // namespace
