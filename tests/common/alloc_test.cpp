#include <gtest/gtest.h>

#include "common/alloc.h"
#include "platform/platform.h"

namespace {

TEST(AllocSeam, FailsExactlyTheArmedCall) {
    vq_alloc_fail_nth(2);
    void *a = vq_malloc(8);
    void *b = vq_malloc(8);
    void *c = vq_malloc(8);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(b, nullptr);
    EXPECT_NE(c, nullptr);
    EXPECT_TRUE(vq_alloc_fault_hit());
    vq_free(a);
    vq_free(c);
    vq_alloc_disarm();
}

TEST(AllocSeam, StickyFailureCoversEveryEntryPoint) {
    vq_alloc_fail_from(1);
    EXPECT_EQ(vq_malloc(1), nullptr);
    EXPECT_EQ(vq_calloc(2, 2), nullptr);
    EXPECT_EQ(vq_strdup("x"), nullptr);
    void *p = nullptr;
    EXPECT_EQ(vq_realloc(p, 4), nullptr);
    vq_alloc_disarm();
    void *after = vq_malloc(1);
    EXPECT_NE(after, nullptr);
    vq_free(after);
}

TEST(AllocSeam, CopiesKeepEmbeddedBytes) {
    char *d = vq_strndup("a\0b", 3);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d[1], '\0');
    EXPECT_EQ(d[2], 'b');
    EXPECT_EQ(d[3], '\0');
    vq_free(d);
    EXPECT_EQ(vq_strdup(nullptr), nullptr);
}

// The counts follow a block through growth, shrinking and release, keep the
// high-water mark, and stand still while tracking is off.
TEST(AllocSeam, ByteCountsFollowLiveBlocksAndTheirPeak) {
    vq_mem_track(true);
    void *p = vq_malloc(1000);
    ASSERT_NE(p, nullptr);
    EXPECT_GE(vq_mem_live(), 1000);
    p = vq_realloc(p, 1 << 20);
    ASSERT_NE(p, nullptr);
    long long grown = vq_mem_live();
    EXPECT_GE(grown, 1 << 20);
    p = vq_realloc(p, 10);
    EXPECT_LT(vq_mem_live(), grown);
    EXPECT_EQ(vq_mem_peak(), grown);
    void *q = vq_calloc(3, 100);
    vq_free(p);
    vq_free(q);
    EXPECT_EQ(vq_mem_live(), 0);
    vq_mem_peak_reset();
    EXPECT_EQ(vq_mem_peak(), 0);
    vq_mem_track(false);
    vq_free(vq_malloc(4096));
    EXPECT_EQ(vq_mem_peak(), 0);
}

TEST(Platform, ClockIsMonotonicAndRandomFills) {
    uint64_t a = vqp::now_ms();
    vqp::sleep_ms(40);  // Windows' tick clock advances in steps of about 16 ms
    EXPECT_GE(vqp::now_ms(), a + 4);
    unsigned char buf[32] = {};
    ASSERT_EQ(vqp::secure_random(buf, sizeof buf), 0);
    int nonzero = 0;
    for (unsigned char c : buf) nonzero += c != 0;
    EXPECT_GT(nonzero, 0);
}

}  // namespace
