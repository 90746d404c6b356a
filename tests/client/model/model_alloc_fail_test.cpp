// Every allocation fails in turn during a conversion, a cold listing, a
// validation and a stream resolution: the answer is a success or -5 "out of
// memory", the cache stays usable and nothing leaks (the sanitizer build
// checks the last part).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "model_support.h"  // before RapidJSON: it sets the allocation seam
#include "api_support.h"
#include "playlist_parser/vqplp.h"
#include "source_client/api/cache_exports.h"
#include "source_client/cache/cache.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/util/message.h"
#include "text_check.h"

using namespace vqc;

using namespace std::string_literals;

namespace {

const char *const kUrl = "http://oom.test/list.m3u";

std::string grouped_playlist() {
    std::string s = "#EXTM3U\n";
    for (int i = 0; i < 40; i++) {
        std::string n = std::to_string(i);
        s += "#EXTINF:-1 tvg-id=\"id" + n + "\" tvg-logo=\"http://l/" + n + ".png\" group-title=\"G" +
             std::to_string(i % 37) + "\",Name " + n + "\n";
        if (i % 3 == 0) s += "#EXTVLCOPT:http-user-agent=Agent/" + n + "\n#EXTVLCOPT:http-referrer=http://r/\n";
        s += "http://a/" + std::to_string(i % 38) + "\n";
    }
    return s + "#EXTINF:-1,No group\nhttp://a/x\nrelative.ts\n";
}

bool out_of_memory(const std::string &message) {
    return message == "out of memory" || message == "out of memory while parsing";
}

std::string describe(const playlist *p) {
    return channel_groups(p) + " / " + listing(p) + " / " + std::to_string(p->skipped) + "," +
           std::to_string(p->duplicates);
}

TEST(ModelAllocFail, ParseBody) {
    const std::string inputs[] = {
        grouped_playlist(),
        "#EXTM3U\n#EXTINF:-1,A\nhttp://a/1\n#EXTINF:-1,B\nhttp://a/1\n#EXTINF:-1,C\nhttp://a/2\n",
        utf16("#EXTM3U\n#EXTINF:-1 group-title=\"X\",A\nhttp://a/1\n"),
        "http://a/1\n",
    };
    for (const auto &text : inputs) {
        converted whole;
        convert_bytes(text, &whole);
        std::string want = whole.p ? describe(whole.p) : whole.err;
        auto attempt = [&](long k) {
            auto m = std::make_unique<converted>();
            convert_bytes(text, m.get(), kMsgSize, k);
            return m;
        };
        alloc_sweep(attempt, [&](long, const std::unique_ptr<converted> &m) {
            if (m->p) {
                EXPECT_EQ(describe(m->p), want);
            } else {
                EXPECT_TRUE(m->err == want || out_of_memory(m->err)) << m->err;
            }
            EXPECT_EQ(vqplp_item_count(), 0);
        });
    }
}

// A host's transport that serves one playlist without allocating anything, so
// that every injected fault lands inside the library (the fake transport would
// answer an empty body when its own copy fails).
struct static_server {
    static std::string body;
    static int request(void *, const quorvex_http_req *req, int *status, char **err) {
        *status = 200;
        *err = nullptr;
        if (req->on_header && (req->on_header(req->user, ":status", "200") || req->on_header(req->user, "ETag", "\"e1\"")))
            return 0;
        for (size_t at = 0; req->on_body && at < body.size(); at += 1000)
            if (req->on_body(req->user, body.data() + at, std::min<size_t>(1000, body.size() - at))) break;
        return 0;
    }
    static int get(void *, const char *, char **, int *, char **) { return -1; }
    static constexpr quorvex_http http{32, 1, nullptr, request, nullptr};
    static constexpr quorvex_http_ctx ctx{QVX_HTTP_CTX_MAGIC, 24, &http, nullptr};
    static quorvex_io io() { return quorvex_io{const_cast<quorvex_http_ctx *>(&ctx), get, nullptr, nullptr}; }
};
std::string static_server::body;

class ModelAllocFailOps : public ::testing::Test {
protected:
    void SetUp() override {
        static_server::body = grouped_playlist();
        quorvex_io io = static_server::io();
        vqiptv_set_io(&io);
        settings = settings_for(kUrl);
        cold();
    }
    void TearDown() override {
        cold();
        vqiptv_set_io(nullptr);
    }
    static void cold() {
        vqiptv_cache_clear();
        vqiptv_curl_reset();
    }

    // Runs op with the k-th allocation failing, for k = 1, 2, ... until no
    // fault fires; every outcome must be the reference or "out of memory", and
    // the next undisturbed run must give the reference again.
    template <class Op>
    void every_fault(Op op) {
        cold();
        answer want = op();
        ASSERT_EQ(want.status, 0) << want.error;
        auto attempt = [&](long k) {
            cold();
            vq_alloc_fail_nth(k);
            return op();
        };
        long allocations = alloc_sweep(attempt, [&](long, answer &a) {
            if (a.status == 0) {
                EXPECT_EQ(a.json, want.json);
            } else {
                EXPECT_EQ(a.status, QVX_E_CONTENT) << a.error;
                EXPECT_TRUE(out_of_memory(a.error)) << a.error;
            }
            cache_stats cs{};
            vqiptv_cache_stats_get(&cs);
            EXPECT_LE(cs.entries, 1u);
            EXPECT_EQ(op().json, want.json) << "after the fault";
        }, [&](const answer &a) { EXPECT_EQ(a.json, want.json); });
        EXPECT_GE(allocations, 10);
        RecordProperty("allocations", static_cast<int>(allocations - 1));
    }

    std::string settings;
};

TEST_F(ModelAllocFailOps, ColdListing) {
    every_fault([&] { return list_folder(settings, "/"); });
    every_fault([&] { return list_folder(settings, "/G1"); });
}

TEST_F(ModelAllocFailOps, Validation) {
    std::string with_id = "{\"URL\":\""s + kUrl + "\",\"ID\":\"fixed\",\"Name\":\"x\"}";
    every_fault([&] { return validate(with_id); });
}

TEST_F(ModelAllocFailOps, StreamResolution) {
    answer group = list_folder(settings, "/G0");
    ASSERT_EQ(group.status, 0) << group.error;
    std::string entry = to_json(group.doc()[0]);
    answer stream = resolve(settings, entry);
    ASSERT_EQ(stream.status, 0);
    ASSERT_TRUE(stream.doc()["headers"].HasMember("User-Agent")) << stream.json;
    every_fault([&] { return resolve(settings, entry); });
}

}  // namespace
