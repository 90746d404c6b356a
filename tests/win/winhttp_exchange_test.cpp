// The WinHTTP transport against a server on 127.0.0.1: what reaches the sinks,
// redirects, failures and their texts, stopping sinks, large bodies, timeouts
// and several exchanges at once.
#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "common/alloc.h"
#include "loopback_server.h"
#include "winhttp_call.h"

namespace qvt {
namespace {

std::string ok_with(const std::string &body) {
    return http_response(200, {"Content-Type: text/plain", "X-Trail: a b  ", "X-Empty:", "X-Multi: 1", "X-Multi: 2"},
                         body);
}

TEST(WinHttpExchange, DeliversStatusHeadersAndBodyInOrder) {
    LoopbackServer server([](const HttpRequest &) { return ok_with("hello body"); });
    Exchange x = run({.url = server.url("/list.m3u?x=1&y=2#frag")});
    ASSERT_EQ(x.rc, 0) << x.err;
    EXPECT_EQ(x.status, 200);
    EXPECT_TRUE(x.err.empty());
    ASSERT_FALSE(x.headers.empty());
    EXPECT_EQ(x.headers[0], std::make_pair(std::string(":status"), std::string("200")));
    EXPECT_EQ(x.header("Content-Type"), "text/plain");
    EXPECT_EQ(x.header("X-Trail"), "a b  ");
    EXPECT_EQ(x.count("X-Empty"), 0u);
    EXPECT_EQ(x.count("X-Multi"), 2u);
    EXPECT_EQ(x.count(":status"), 1u);
    EXPECT_EQ(x.body, "hello body");

    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].target, "/list.m3u?x=1&y=2");
    EXPECT_EQ(seen[0].header("User-Agent"), "quorvex-http/1.0");
    EXPECT_EQ(seen[0].header("Host"), "127.0.0.1:" + std::to_string(server.port()));
}

TEST(WinHttpExchange, RequestsTheRootForABareHost) {
    LoopbackServer server([](const HttpRequest &) { return ok_with(""); });
    EXPECT_EQ(run({.url = server.url("")}).status, 200);
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "/");
}

TEST(WinHttpExchange, DeliversARedirectWithoutFollowingIt) {
    LoopbackServer server([](const HttpRequest &r) {
        if (r.target == "/moved") return http_response(302, {"Location: /target"}, "gone");
        return ok_with("target");
    });
    Exchange x = run({.url = server.url("/moved")});
    ASSERT_EQ(x.rc, 0) << x.err;
    EXPECT_EQ(x.status, 302);
    EXPECT_EQ(x.header("Location"), "/target");
    EXPECT_EQ(x.body, "gone");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(WinHttpExchange, DeliversAnEmptyAnswerOnceAfterTheBodyLoop) {
    LoopbackServer server([](const HttpRequest &) { return http_response(204, {"X-Id: 7"}, ""); });
    Exchange x = run({.url = server.url("/none")});
    ASSERT_EQ(x.rc, 0) << x.err;
    EXPECT_EQ(x.status, 204);
    EXPECT_EQ(x.count(":status"), 1u);
    EXPECT_EQ(x.header("X-Id"), "7");
    EXPECT_EQ(x.pieces, 0u);
}

TEST(WinHttpExchange, ErrorStatusesAreNotFailures) {
    LoopbackServer server([](const HttpRequest &) { return http_response(404, {}, "no such list"); });
    Exchange x = run({.url = server.url("/missing")});
    EXPECT_EQ(x.rc, 0);
    EXPECT_EQ(x.status, 404);
    EXPECT_EQ(x.body, "no such list");
}

TEST(WinHttpExchange, ASinkThatStopsEndsDeliveryButNotTheRequest) {
    LoopbackServer server([](const HttpRequest &) { return ok_with(std::string(200000, 'x')); });
    Exchange on_status;
    on_status.stop_on_header = 0;
    run({.url = server.url("/a")}, on_status);
    EXPECT_EQ(on_status.rc, 0);
    EXPECT_EQ(on_status.status, 200);
    EXPECT_EQ(on_status.headers.size(), 1u);
    EXPECT_EQ(on_status.pieces, 0u);

    Exchange on_piece;
    on_piece.stop_on_piece = 0;
    run({.url = server.url("/b")}, on_piece);
    EXPECT_EQ(on_piece.rc, 0);
    EXPECT_EQ(on_piece.status, 200);
    EXPECT_EQ(on_piece.pieces, 1u);
    EXPECT_LT(on_piece.body.size(), 200000u);

    Exchange no_sinks = run({.url = server.url("/c"), .sinks = false});
    EXPECT_EQ(no_sinks.rc, 0);
    EXPECT_EQ(no_sinks.status, 200);
}

TEST(WinHttpExchange, PassesAMebibyteOnInPieces) {
    std::string big(1 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + (i * 7) % 26);
    LoopbackServer server([&](const HttpRequest &) { return ok_with(big); });
    Exchange x = run({.url = server.url("/big")});
    ASSERT_EQ(x.rc, 0) << x.err;
    EXPECT_EQ(x.body.size(), big.size());
    EXPECT_TRUE(x.body == big);
    EXPECT_GT(x.pieces, 1u);
}

TEST(WinHttpExchange, RefusedConnectionFailsWithTheCallAndErrorNumber) {
    Exchange x = run({.url = "http://127.0.0.1:" + std::to_string(closed_port()) + "/x", .timeout_ms = 5000});
    EXPECT_EQ(x.rc, -1);
    EXPECT_EQ(x.status, 0);
    EXPECT_EQ(x.err, "WinHttpSendRequest failed: 12029");  // ERROR_WINHTTP_CANNOT_CONNECT
    EXPECT_TRUE(x.headers.empty());
}

TEST(WinHttpExchange, AnHttpsUrlSpeaksTls) {
    // A plain-HTTP server never sees an HTTP request: the client opens with a
    // TLS handshake, which fails.
    LoopbackServer server([](const HttpRequest &) { return ok_with("plain"); });
    std::string url = server.url("/s");
    url.replace(0, 4, "https");
    Exchange x = run({.url = url, .timeout_ms = 1000, .read_timeout_ms = 1000});
    EXPECT_EQ(x.rc, -1);
    EXPECT_EQ(x.status, 0);
    EXPECT_TRUE(x.err.rfind("WinHttpSendRequest failed: ", 0) == 0 ||
                x.err.rfind("WinHttpReceiveResponse failed: ", 0) == 0)
        << x.err;
    EXPECT_TRUE(server.requests().empty());
}

TEST(WinHttpExchange, RefusesBadRecordsAndUrls) {
    const quorvex_http *http = quorvex_http_winhttp();
    int status = -1;
    char *err = nullptr;
    EXPECT_EQ(http->request(http->ctx, nullptr, &status, &err), -1);
    EXPECT_STREQ(err, "bad request");
    EXPECT_EQ(status, 0);
    http->free_buf(http->ctx, err);

    quorvex_http_req small{};
    small.size = 111;
    small.method = "GET";
    small.url = "http://127.0.0.1/";
    EXPECT_EQ(http->request(http->ctx, &small, &status, &err), -1);
    EXPECT_STREQ(err, "bad request");
    http->free_buf(http->ctx, err);

    EXPECT_EQ(run({.method = "GE T", .url = "http://127.0.0.1/"}).err, "bad method");
    Exchange crack = run({.url = "not a url"});
    EXPECT_EQ(crack.rc, -1);
    EXPECT_EQ(crack.err.rfind("WinHttpCrackUrl failed: ", 0), 0u) << crack.err;
}

TEST(WinHttpExchange, ABodyThatStallsTimesOutAfterWhatArrived) {
    // Promises 100 bytes, sends 10, then waits for a next request that never comes.
    LoopbackServer server([](const HttpRequest &) {
        std::string full = http_response(200, {"X-Stall: 1"}, std::string(100, 'b'));
        return full.substr(0, full.size() - 90);
    });
    Exchange x = run({.url = server.url("/slow"), .read_timeout_ms = 700});
    EXPECT_EQ(x.rc, -1);
    EXPECT_EQ(x.status, 0);
    // ERROR_WINHTTP_TIMEOUT; Wine hands on the socket's WSAETIMEDOUT instead.
    const std::string code = under_wine() ? "10060" : "12002";
    EXPECT_TRUE(x.err == "WinHttpQueryDataAvailable failed: " + code || x.err == "WinHttpReadData failed: " + code)
        << x.err;
    EXPECT_EQ(x.header("X-Stall"), "1");
    EXPECT_EQ(x.body, std::string(10, 'b'));
}

TEST(WinHttpExchange, FourThreadsRunAtOnce) {
    std::mutex mu;
    std::condition_variable cv;
    int inside = 0;
    LoopbackServer server([&](const HttpRequest &r) {
        // Nobody is answered before all four requests are in the server.
        std::unique_lock<std::mutex> lock(mu);
        ++inside;
        cv.notify_all();
        cv.wait_for(lock, std::chrono::seconds(20), [&] { return inside >= 4; });
        return ok_with(r.target + std::string(100000, '.'));
    });
    std::vector<Exchange> results(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] { run({.url = server.url("/t" + std::to_string(i))}, results[i]); });
    for (auto &t : threads) t.join();
    EXPECT_EQ(inside, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(results[i].rc, 0) << results[i].err;
        EXPECT_EQ(results[i].status, 200);
        EXPECT_EQ(results[i].body, "/t" + std::to_string(i) + std::string(100000, '.'));
    }
}

TEST(WinHttpExchange, AsksForCompressionAndDecodesGzipOnlyWhenFlagged) {
    // "hello hello hello", gzip-compressed.
    const std::string gz("\x1F\x8B\x08\x00\x00\x00\x00\x00\x02\xFF\xCB\x48\xCD\xC9\xC9\x57\xC8\x40\x90\x00"
                         "\x80\x88\xF9\xE5\x11\x00\x00\x00",
                         31);
    LoopbackServer server([&](const HttpRequest &r) {
        if (r.header("Accept-Encoding").find("gzip") == std::string::npos) return ok_with("plain");
        return http_response(200, {"Content-Encoding: gzip"}, gz);
    });
    Exchange packed = run({.url = server.url("/z"), .flags = QVX_HTTP_FLAG_COMPRESSION});
    ASSERT_EQ(packed.rc, 0) << packed.err;
    // Wine's WinHTTP refuses the decompression option (12009); the request
    // then goes out without asking for compression, as the option's result
    // is not a reason to fail.
    EXPECT_EQ(packed.body, under_wine() ? "plain" : "hello hello hello");
    Exchange plain = run({.url = server.url("/p")});
    EXPECT_EQ(plain.body, "plain");
}

TEST(WinHttpExchange, ShortMemoryAtAnyAllocationEndsCleanly) {
    LoopbackServer server([](const HttpRequest &) { return ok_with("body"); });
    const std::string url = server.url("/m");
    bool finished = false;
    for (long k = 1; k <= 200 && !finished; ++k) {
        Call c{.url = url};
        c.lines = {"X-A: b"};
        vq_alloc_fail_nth(k);
        Exchange x = run(c);
        bool hit = vq_alloc_fault_hit();
        vq_alloc_disarm();
        SCOPED_TRACE(k);
        if (!hit) {
            finished = true;
            EXPECT_EQ(x.rc, 0);
            EXPECT_EQ(x.body, "body");
        } else if (x.rc != 0) {
            EXPECT_EQ(x.status, 0);
            EXPECT_TRUE(x.err.empty() || x.err == "oom" || x.err == "utf-8 url" || x.err == "utf-8 headers" ||
                        x.err == "bad method")
                << x.err;
        }
    }
    EXPECT_TRUE(finished);
}

TEST(WinHttpFactories, CurlIsAbsentSoTheDefaultIsWinHttp) {
    EXPECT_EQ(quorvex_http_curl(), nullptr);
    const quorvex_http *http = quorvex_http_winhttp();
    ASSERT_NE(http, nullptr);
    EXPECT_EQ(http->size, 32u);
    EXPECT_EQ(http->version, 1u);
    EXPECT_EQ(http->ctx, nullptr);
    EXPECT_NE(http->free_buf, nullptr);
    EXPECT_EQ(quorvex_http_of(quorvex_io_over_http(http, nullptr)), http);
}

}  // namespace
}  // namespace qvt
