// The playlist cache through the real fetch and the fake transport: hits,
// revalidation, refresh failures, eviction, clearing, the statistics document
// and the oracle dump.
#include <gtest/gtest.h>

#include <string>

#include "common/alloc.h"
#include "http/http.h"
#include "model_support.h"
#include "source_client/api/cache_exports.h"
#include "source_client/api/io_select.h"
#include "source_client/cache/cache.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/util/message.h"
#include "text_check.h"

using namespace std::string_literals;
using namespace vqc;

namespace {

const std::string kTwo = "#EXTM3U\n#EXTINF:-1,A\nhttp://a/1\n#EXTINF:-1 group-title=\"G\",B\nhttp://a/2\n";
const std::string kThree = kTwo + "#EXTINF:-1,C\nhttp://a/3\n";

class Cache : public ::testing::Test {
protected:
    void SetUp() override {
        vqiptv_cache_clear();
        vqiptv_curl_reset();
        quorvex_fake_reset();
        vqiptv_cache_set_max_age(21600);
    }
    void TearDown() override { SetUp(); }

    static void serve(const std::string &url, int status, const std::string &body, const char *headers = nullptr) {
        ASSERT_EQ(quorvex_fake_set("GET", url.c_str(), status, headers, body.data(), body.size()), 0);
    }

    // ensure as an operation runs it: under g_lock, through the fake's record.
    int get(const std::string &url, int refresh = 0, const quorvex_io *io = vqiptv_io_fake()) {
        char msg[kMsgSize] = "";
        vqp::Guard hold(g_lock);
        int rc = ensure(io, url.c_str(), refresh, &got, msg);
        this->msg = msg;
        channels = got ? got->channel_count : -1;
        return rc;
    }

    static cache_stats counters() {
        cache_stats cs{};
        vqiptv_cache_stats_get(&cs);
        return cs;
    }

    playlist *got = nullptr;
    int channels = -1;
    std::string msg;
};

TEST_F(Cache, SecondUseWithinTheMaximumAgeIsAHit) {
    serve("http://h/a", 200, kTwo);
    ASSERT_EQ(get("http://h/a"), 0) << msg;
    playlist *first = got;
    uint64_t first_use = got->used;
    ASSERT_EQ(get("http://h/a"), 0) << msg;
    EXPECT_EQ(got, first);
    EXPECT_EQ(channels, 2);
    EXPECT_GT(got->used, first_use);
    cache_stats cs = counters();
    EXPECT_EQ(cs.misses, 1u);
    EXPECT_EQ(cs.parses, 1u);
    EXPECT_EQ(cs.hits, 1u);
    EXPECT_EQ(cs.entries, 1u);
    EXPECT_EQ(vqiptv_fake_total_calls(), 1);
}

TEST_F(Cache, UnchangedBodiesAreRevalidatedNotParsed) {
    serve("http://h/a", 200, kTwo);
    ASSERT_EQ(get("http://h/a"), 0);
    playlist *first = got;
    ASSERT_EQ(get("http://h/a", 1), 0) << "a forced refresh";
    EXPECT_EQ(got, first);
    vqiptv_cache_set_max_age(0);
    ASSERT_EQ(get("http://h/a"), 0) << "maximum age 0";
    EXPECT_EQ(got, first);
    cache_stats cs = counters();
    EXPECT_EQ(cs.revalidated, 2u);
    EXPECT_EQ(cs.parses, 1u);
    EXPECT_EQ(cs.hits, 0u);
    EXPECT_EQ(vqiptv_fake_total_calls(), 3);
}

TEST_F(Cache, ANotModifiedAnswerIsServedFromTheValidatorStore) {
    serve("http://h/a", 200, kTwo, "ETag: \"v1\"\n");
    ASSERT_EQ(get("http://h/a"), 0);
    serve("http://h/a", 304, "");
    ASSERT_EQ(get("http://h/a", 1), 0) << msg;
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(counters().revalidated, 1u);
    transport_stats ts{};
    vqiptv_curl_stats(&ts);
    EXPECT_EQ(ts.not_modified, 1u);
    EXPECT_EQ(ts.validators_stored, 1u);
}

// A 200 that repeats the cached bytes leaves one copy of them: the validator
// store takes the cache's buffer, so the 304 after it needs no comparison.
TEST_F(Cache, AnUnchangedBodyIsKeptOnceForTheNotModifiedAnswers) {
    std::string body = kTwo;
    while (body.size() < (size_t{1} << 20)) body += "# the same bytes on every answer\n";
    serve("http://h/a", 200, body, "ETag: \"v1\"\n");
    ASSERT_EQ(get("http://h/a"), 0) << msg;
    const auto live_after = [&](int answer) {
        if (answer == 304) serve("http://h/a", 304, "");  // the route's copy of the body goes uncounted
        vq_mem_track(true);
        EXPECT_EQ(get("http://h/a", 1), 0) << msg;
        long long live = vq_mem_live();
        vq_mem_track(false);
        return live;
    };
    EXPECT_LT(live_after(200), static_cast<long long>(body.size() / 2)) << "a second copy of the body";
    EXPECT_LT(live_after(304), static_cast<long long>(body.size() / 2));
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(counters().parses, 1u);
    EXPECT_EQ(counters().revalidated, 2u);
    transport_stats ts{};
    vqiptv_curl_stats(&ts);
    EXPECT_EQ(ts.not_modified, 1u);
}

TEST_F(Cache, AChangedBodyReplacesThePlaylist) {
    serve("http://h/a", 200, kTwo);
    ASSERT_EQ(get("http://h/a"), 0);
    serve("http://h/a", 200, kThree);
    ASSERT_EQ(get("http://h/a", 1), 0);
    EXPECT_EQ(channels, 3);
    EXPECT_EQ(counters().parses, 2u);
    EXPECT_EQ(counters().entries, 1u);
}

TEST_F(Cache, AFailedRefreshDropsTheCachedCopy) {
    serve("http://h/a", 200, kTwo);
    serve("http://h/b", 200, kTwo);
    ASSERT_EQ(get("http://h/a"), 0);
    ASSERT_EQ(get("http://h/b"), 0);
    serve("http://h/a", 404, "gone");
    EXPECT_EQ(get("http://h/a", 1), -2);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(msg, "HTTP 404 from http://h/a");
    serve("http://h/b", 200, "not a playlist");
    EXPECT_EQ(get("http://h/b", 1), -5);
    EXPECT_EQ(msg, "not an M3U playlist: unknown playlist format");
    EXPECT_EQ(counters().entries, 0u);
    serve("http://h/a", 200, kTwo);
    ASSERT_EQ(get("http://h/a"), 0);
    EXPECT_EQ(counters().misses, 3u);
}

TEST_F(Cache, AMissThatFailsCachesNothing) {
    serve("http://h/a", 200, "#EXTM3U\n#EXT-X-ENDLIST\n");
    EXPECT_EQ(get("http://h/a"), -5);
    EXPECT_EQ(msg, "not an M3U playlist: HLS manifest detected; not parsed as playlist items");
    EXPECT_EQ(get("http://h/unscripted"), -2);
    EXPECT_EQ(counters().entries, 0u);
    EXPECT_EQ(counters().misses, 2u);
}

TEST_F(Cache, TheFifthUrlEvictsTheLeastRecentlyUsed) {
    for (char c : "12345"s) serve("http://h/"s + c, 200, kTwo);
    for (char c : "1234"s) ASSERT_EQ(get("http://h/"s + c), 0);
    ASSERT_EQ(get("http://h/1"), 0);  // 2 is now the oldest
    ASSERT_EQ(get("http://h/5"), 0);
    cache_stats cs = counters();
    EXPECT_EQ(cs.evictions, 1u);
    EXPECT_EQ(cs.entries, 4u);
    ASSERT_EQ(get("http://h/1"), 0);
    EXPECT_EQ(counters().hits, 2u);
    ASSERT_EQ(get("http://h/2"), 0);
    EXPECT_EQ(counters().misses, 6u);
}

TEST_F(Cache, AHostRecordNeverReleasesTheBody) {
    static int released = 0;
    quorvex_io host = *vqiptv_io_fake();
    host.free_buf = [](void *, void *) { released++; };
    serve("http://h/a", 200, utf16(kTwo));
    vqiptv_cache_set_max_age(0);
    ASSERT_EQ(get("http://h/a", 0, &host), 0) << msg;
    EXPECT_EQ(channels, 2) << "every byte, NULs included, reached the parser";
    ASSERT_EQ(get("http://h/a", 0, &host), 0) << "unchanged";
    serve("http://h/a", 200, kThree);
    ASSERT_EQ(get("http://h/a", 0, &host), 0) << "changed";
    EXPECT_EQ(channels, 3);
    EXPECT_EQ(released, 0);
}

std::string stats_doc(const char *cache, const char *http, int calls) {
    return "{\"cache\":{"s + cache + "},\"http\":{" + http + "},\"fake\":{\"calls\":" + std::to_string(calls) + "}}";
}

TEST_F(Cache, StatisticsDocument) {
    EXPECT_EQ(vqiptv_stats_json(),
              stats_doc("\"hits\":0,\"misses\":0,\"revalidated\":0,\"parses\":0,\"evictions\":0,\"errors\":0,"
                        "\"entries\":0,\"vlcopt_mismatch\":0,\"max_age_s\":21600",
                        "\"requests\":0,\"not_modified\":0,\"validators_stored\":0,\"transport_errors\":0", 0));
    serve("http://h/a", 200, kTwo, "ETag: \"v1\"\n");
    ASSERT_EQ(get("http://h/a"), 0);
    ASSERT_EQ(get("http://h/a"), 0);
    ASSERT_EQ(quorvex_fake_fail("GET", "http://h/down", nullptr), 0);
    EXPECT_EQ(get("http://h/down"), -4);
    char out[256];
    EXPECT_EQ(vqiptv_download("a", "b", out, sizeof out), -6);
    EXPECT_EQ(vqiptv_cache_set_max_age(-1), -8);
    EXPECT_EQ(vqiptv_cache_set_max_age(90), 0);
    const char *http = "\"requests\":2,\"not_modified\":0,\"validators_stored\":1,\"transport_errors\":1";
    EXPECT_EQ(vqiptv_stats_json(),
              stats_doc("\"hits\":1,\"misses\":2,\"revalidated\":0,\"parses\":1,\"evictions\":0,\"errors\":1,"
                        "\"entries\":1,\"vlcopt_mismatch\":0,\"max_age_s\":90",
                        http, 2));
    vqiptv_cache_clear();
    EXPECT_EQ(vqiptv_stats_json(),
              stats_doc("\"hits\":0,\"misses\":0,\"revalidated\":0,\"parses\":0,\"evictions\":0,\"errors\":0,"
                        "\"entries\":0,\"vlcopt_mismatch\":0,\"max_age_s\":90",
                        http, 2));
}

struct dump_result {
    int status = 99;
    std::string text;
    bool null = true;
};

dump_result dump(const char *text) {
    dump_result d;
    char *out = vqiptv_oracle_dump(text, &d.status);
    d.null = out == nullptr;
    if (out) d.text = out;
    vq_free(out);
    return d;
}

TEST_F(Cache, OracleDumpListsEveryChannel) {
    dump_result two = dump((kTwo + "#EXTINF:-1,A again\nhttp://a/1\n").c_str());
    EXPECT_EQ(two.status, 0);
    EXPECT_EQ(two.text, "A\thttp://a/1\nB\thttp://a/2\nA again\thttp://a/1\n");
    dump_result none = dump("#EXTM3U\n");
    EXPECT_EQ(none.status, 0);
    EXPECT_FALSE(none.null);
    EXPECT_EQ(none.text, "");
    dump_result refused = dump("http://a/1\n");
    EXPECT_EQ(refused.status, -5);
    EXPECT_TRUE(refused.null);
    EXPECT_STREQ(vqiptv_last_error(), "not an M3U playlist (detected streaming-list)");
    EXPECT_EQ(counters().parses + counters().entries, 0u) << "the dump never touches the cache";
}

TEST_F(Cache, OracleDumpReportsEveryShortageOfMemory) {
    std::string text = "#EXTM3U\n";
    for (int i = 0; i < 40; i++) text += "#EXTINF:-1,Channel " + std::to_string(i) + "\nhttp://a/" + std::string(40, 'x') + "\n";
    dump_result whole = dump(text.c_str());
    ASSERT_EQ(whole.status, 0);
    auto attempt = [&](long k) {
        vq_alloc_fail_nth(k);
        return dump(text.c_str());
    };
    alloc_sweep(attempt, [&](long, const dump_result &d) {
        if (d.status == 0) {
            EXPECT_EQ(d.text, whole.text);
        } else {
            EXPECT_EQ(d.status, -5);
            EXPECT_TRUE(d.null);
        }
    });
}

}  // namespace
