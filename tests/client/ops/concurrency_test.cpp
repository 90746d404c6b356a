// Eight host threads at once for a few seconds: listings, stream resolution,
// validation, statistics, cache clearing and changes of the I/O selection.
// Run under ThreadSanitizer (ctest label "concurrency").
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/alloc.h"
#include "host.h"
#include "quorvex_iptv.h"
#include "thread_outcomes.h"

namespace {

using clock_type = std::chrono::steady_clock;
using Concurrency = HostTest;

constexpr auto kRunTime = std::chrono::milliseconds(2500);
constexpr const char *kNewsOne = "{\"id\":\"aaff56b77de9edd9\"}";

struct tally {
    std::atomic<int> calls{0};
    std::atomic<int> failures{0};
    void check(bool ok) {
        ++calls;
        if (!ok) ++failures;
    }
};

bool starts(const char *text, const char *prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

// One host thread: each round runs its step once.
using step = std::function<void(char *out, int32_t n, int round)>;

std::vector<step> steps(script_server &server, tally &t) {
    auto list = [&t](char *out, int32_t n, int round) {
        const char *path = round % 2 ? "/News" : "/";
        t.check(vqiptv_list("{}", path, out, n) == 0 && starts(out, "[{\"id\":\""));
    };
    auto stream = [&t](char *out, int32_t n, int) {
        t.check(vqiptv_stream_url("{}", kNewsOne, out, n) == 0 && starts(out, "{\"url\":\"http://s.example/news1"));
    };
    auto validate = [&t](char *out, int32_t n, int) {
        t.check(vqiptv_validate("{\"ID\":\"x\"}", out, n) == 0 && starts(out, "{\"ID\":\"x\",\"RuntimeType\""));
    };
    // The statistics text is shared; only this thread reads it.
    auto stats = [&t](char *, int32_t, int) { t.check(starts(vqiptv_stats_json(), "{\"cache\":{\"hits\":")); };
    auto clear = [&t](char *, int32_t, int round) {
        vqiptv_cache_clear();
        t.check(vqiptv_cache_set_max_age(round % 3 ? 21600 : 0) == 0);
    };
    auto select = [&t, &server](char *, int32_t, int round) {
        t.check((round % 2 ? vqiptv_use_fake() : vqiptv_set_io(server.io())) == 0);
    };
    auto download = [&t](char *out, int32_t n, int) { t.check(vqiptv_download("a", "b", out, n) == -6); };
    return {list, list, stream, validate, stats, clear, select, download};
}

TEST_F(Concurrency, EightHostThreadsMixEveryOperation) {
    vqiptv_fake_reset();
    ASSERT_EQ(vqiptv_fake_set(kDefaultUrl, 200, read_data("grouped.m3u").c_str()), 0);
    server.on(kDefaultUrl, ok_body(read_data("grouped.m3u"), {{"ETag", "\"same\""}}));
    tally t;
    const auto until = clock_type::now() + kRunTime;
    std::vector<std::thread> threads;
    for (const step &s : steps(server, t)) {
        threads.emplace_back([s, until] {
            std::vector<char> out(1 << 16);
            for (int round = 0; clock_type::now() < until; ++round) s(out.data(), static_cast<int32_t>(out.size()), round);
        });
    }
    for (auto &th : threads) th.join();
    RecordProperty("calls", t.calls.load());
    EXPECT_GT(t.calls.load(), 800);
    EXPECT_EQ(t.failures.load(), 0);
    vqiptv_set_io(server.io());
    EXPECT_EQ(host_list("{}", "/root").rc, 0);
    vqiptv_fake_reset();
}

// Threads created and ended in a loop, each with its own listing (a missing
// group among them), each reading its own -9 document, message and statistics;
// the texts of the threads that ended are gone with them.
TEST_F(Concurrency, EveryThreadReadsItsOwnOutcome) {
    const qvt::outcome_exports x{vqiptv_list, vqiptv_result_json, vqiptv_last_error, vqiptv_stats_json};
    std::vector<qvt::own_outcome> want;
    for (const char *path : {"/", "/News", "/A/B", "/root", "/Missing", "/", "/News", "/Missing"})
        want.push_back(qvt::listed_alone(x, "{}", path));
    EXPECT_EQ(want[0].rc, -9);
    EXPECT_EQ(want[4].rc, -2);
    vq_mem_track(true);
    EXPECT_EQ(qvt::thread_outcomes(x, "{}", want, 12, 25), "");
    EXPECT_EQ(vq_mem_live(), 0);
    vq_mem_track(false);
}

}  // namespace
