// The rate floor over a made-up clock: fewer than 1,024 bytes in a whole
// receive limit fail the exchange, never earlier, at most a slot later.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "http/rate_floor.h"

namespace {

constexpr uint64_t kLimit = 6400;  // 100 ms slots

struct arrival {
    uint64_t at_ms, total;  // bytes received by then
};

struct floor_case {
    const char *name;
    std::vector<arrival> arrivals;
    uint64_t fails_at;  // 0: never, up to the last arrival
};

// Feeds the arrivals, asking every 10 ms as a transport might; the first time
// the floor says too slow, or 0.
uint64_t first_failure(const std::vector<arrival> &arrivals) {
    quorvex_rate_floor f;
    quorvex_rate_start(&f, kLimit, 1000, 0);
    uint64_t total = 0;
    size_t next = 0;
    for (uint64_t now = 1000; now <= arrivals.back().at_ms; now += 10) {
        while (next < arrivals.size() && arrivals[next].at_ms <= now) total = arrivals[next++].total;
        if (quorvex_rate_too_slow(&f, now, total)) return now;
    }
    return 0;
}

// A byte every 100 ms from the start.
std::vector<arrival> trickle(uint64_t until_ms) {
    std::vector<arrival> a;
    for (uint64_t t = 1000, n = 1; t <= until_ms; t += 100, ++n) a.push_back({t, n});
    return a;
}

TEST(RateFloor, FailsOnceAWholeLimitBringsLessThan1024Bytes) {
    const std::vector<floor_case> cases = {
        {"silence", {{1000, 0}, {20000, 0}}, 1000 + kLimit},
        {"a trickle", trickle(20000), 1000 + kLimit},
        {"1,023 bytes at once", {{1000, 1023}, {20000, 1023}}, 1000 + kLimit},
        {"1,024 bytes then silence", {{1000, 1024}, {20000, 1024}}, 1000 + kLimit + 100},
        {"a kilobyte per limit", {{1000, 1024}, {1000 + kLimit, 2048}, {1000 + 2 * kLimit, 3072}}, 0},
        {"fast, then stalled", {{1000, 1 << 20}, {3000, 2 << 20}, {20000, 2 << 20}}, 3000 + kLimit + 100},
        {"a late burst in time", {{1000, 0}, {1000 + kLimit - 50, 4096}, {1000 + 2 * kLimit, 8192}}, 0},
    };
    for (const auto &c : cases) {
        uint64_t at = first_failure(c.arrivals);
        if (c.fails_at == 0) {
            EXPECT_EQ(at, 0u) << c.name;
        } else {
            EXPECT_GE(at, c.fails_at) << c.name;
            EXPECT_LE(at, c.fails_at + kLimit / quorvex_rate_floor::kSlots) << c.name;
        }
    }
}

TEST(RateFloor, ALongGapForgetsEverySlot) {
    quorvex_rate_floor f;
    quorvex_rate_start(&f, kLimit, 0, 0);
    EXPECT_FALSE(quorvex_rate_too_slow(&f, 50, 5000));
    EXPECT_FALSE(quorvex_rate_too_slow(&f, kLimit, 5000));
    EXPECT_TRUE(quorvex_rate_too_slow(&f, 100 * kLimit, 5000));
    EXPECT_FALSE(quorvex_rate_too_slow(&f, 100 * kLimit + 10, 6024));
}

}  // namespace
