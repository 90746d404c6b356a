// The rate floor: over a made-up clock, fewer than 1,024 bytes in a whole
// receive limit fail the exchange, never earlier, at most a slot later; on
// the wire, the platform's network transport ends a trickle within the
// receive limit.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "exchange.h"
#include "http/rate_floor.h"
#include "wire_server.h"
#ifdef _WIN32
#include "winhttp/wine.h"
#endif

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

using clock_type = std::chrono::steady_clock;

struct trickle_case {
    const char *name;
    const char *head;  // sent at once
    size_t bytes, piece;  // then this many bytes in pieces this big, 100 ms apart
    std::string err;   // "" for success; a prefix ending in ": " for WinHTTP's codes
};

// WinHTTP hands on no header before all of them are in: they get the receive
// limit as a whole. Wine's WinHTTP takes that limit per read, as an idle one,
// and lets trickled headers through.
std::string head_too_slow() {
#ifdef _WIN32
    if (under_wine()) {
        std::cout << "[ NOTE     ] the limit on trickled headers needs Windows; Wine lets them through\n";
        return "";
    }
    return "WinHttpReceiveResponse failed: ";
#else
    return "receive failed: transfer too slow";
#endif
}

TEST(NetworkRateFloor, ATrickleEndsWithinTheReceiveLimit) {
    constexpr int limit_ms = 1000;
    std::vector<trickle_case> cases = {
        {"body", "HTTP/1.1 200 OK\r\nContent-Length: 9000\r\n\r\n", 8000, 1, "receive failed: transfer too slow"},
        {"header line", "HTTP/1.1 200 OK\r\nX-Long: ", 30, 1, head_too_slow()},
        {"status line", "HTTP/1.1 200 ", 30, 1, head_too_slow()},
    };
#ifndef _WIN32
    // Bytes of a header line still arriving count, though the line takes
    // longer than the idle limit.
    cases.push_back({"header line above the floor", "HTTP/1.1 200 OK\r\nX-Long: ", 8000, 512, ""});
#endif
    for (const trickle_case &t : cases) {
        wire_server server([&](const wire_request &, wire_conn &c) {
            if (c.send(t.head) && c.trickle(std::string(t.bytes, 'a'), t.piece, 100))
                c.send("\r\nContent-Length: 2\r\n\r\nok");
        });
        call c;
        c.url = server.url("/trickle");
        c.read_timeout_ms = limit_ms;
        auto start = clock_type::now();
        outcome out = perform(c);
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - start).count();
        if (t.err.empty()) {
            EXPECT_EQ(out.err, "") << t.name;
            EXPECT_EQ(out.body, "ok") << t.name;
            continue;
        }
        EXPECT_EQ(out.result, -1) << t.name;
        EXPECT_EQ(out.err.substr(0, t.err.back() == ' ' ? t.err.size() : out.err.size()), t.err) << t.name;
        EXPECT_GE(took, limit_ms - 10) << t.name;
        EXPECT_LT(took, limit_ms + 5000) << t.name;
    }
}

}  // namespace
