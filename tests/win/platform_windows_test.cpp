// The Windows platform shims: a monotonic clock, sleeping, the secure random
// source, and the library's lock type.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

TEST(PlatformWindows, ClockIsMonotonicAndSleepWaits) {
    uint64_t a = vqp::now_ms();
    vqp::sleep_ms(30);
    uint64_t b = vqp::now_ms();
    EXPECT_GE(b, a + 15);  // the tick has a coarse grain
    EXPECT_LT(b, a + 5000);
}

TEST(PlatformWindows, SecureRandomFillsEveryByteOfAnyLength) {
    for (size_t n : {0u, 1u, 3u, 4u, 7u, 64u, 1001u}) {
        std::vector<unsigned char> a(n + 8, 0xAB), b(n + 8, 0xAB);
        ASSERT_EQ(vqp::secure_random(a.data(), n), 0);
        ASSERT_EQ(vqp::secure_random(b.data(), n), 0);
        for (size_t i = n; i < n + 8; ++i) {
            EXPECT_EQ(a[i], 0xAB) << "wrote past " << n;
        }
        if (n >= 8) {
            EXPECT_NE(std::memcmp(a.data(), b.data(), n), 0) << n;
        }
    }
}

TEST(PlatformWindows, LockSerialisesThreads) {
    static vqp::Lock lock;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                vqp::Guard g(lock);
                ++counter;
            }
        });
    for (auto &t : threads) t.join();
    EXPECT_EQ(counter, 80000);
}

}  // namespace
