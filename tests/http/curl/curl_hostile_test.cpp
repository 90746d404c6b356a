// The playlist fetch through the real libcurl transport against a server that
// misbehaves on purpose: trickles, stalls, endless bodies behind any status,
// redirect loops that carry them, the 64 MiB boundary, oversized header
// lines. Each behaviour must end in bounded time with an honest message that
// holds no secret of any URL asked for, and the answers that claim a bound on
// memory are measured through the allocation seam (libcurl's blocks included).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "common/alloc.h"
#include "http/transports.h"
#include "long_secrets.h"
#include "platform/platform.h"
#include "quorvex_iptv.h"
#include "quoting_transport.h"
#include "source_client/fetch/fetch.h"
#include "source_client/ops/results.h"
#include "source_client/util/message.h"
#include "wire_server.h"

using namespace vqc;

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int kReceiveMs = 2000;
constexpr long kEndSlackMs = 5000;
constexpr int kStallMs = 30000;  // longer than any limit: only the client ends it
constexpr long long kMiB = 1 << 20;
constexpr size_t kLimit = 64 << 20;
constexpr size_t kFloodCap = size_t{256} << 20;  // an "endless" body's actual end

// A host may give its transport a receive limit far below the default 60 s;
// the rate floor then speaks after that long, which keeps the suite quick.
const quoting_transport kHasty(quorvex_http_curl(), kReceiveMs);

long elapsed_ms(clock_type::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - since).count());
}

std::string replaced(std::string text, const std::string &mark, const std::string &with) {
    for (size_t at = text.find(mark); at != text.npos; at = text.find(mark, at + with.size()))
        text.replace(at, mark.size(), with);
    return text;
}

std::string head(int status, const std::vector<std::string> &lines) {
    return http_response(status, lines, {}, false);
}

using serve_fn = std::function<void(const wire_request &, wire_conn &)>;

serve_fn endless_after(std::string before, std::string piece) {
    return [=](const wire_request &, wire_conn &c) {
        if (c.send(before)) c.flood(piece, kFloodCap);
    };
}

serve_fn endless(int status, std::vector<std::string> lines = {}, std::string piece = std::string(65536, 'e')) {
    return endless_after(head(status, lines), std::move(piece));
}

serve_fn sized(size_t len, bool announced) {
    std::vector<std::string> lines;
    if (announced) lines.push_back("Content-Length: " + std::to_string(len));
    return [=](const wire_request &, wire_conn &c) {
        if (c.send(head(200, lines))) c.flood("#EXTM3U\n" + std::string(65528, 'b'), len);
        c.close();
    };
}

serve_fn trickled(std::string before, std::string bytes) {
    return [=](const wire_request &, wire_conn &c) {
        if (c.send(before)) c.trickle(bytes, 1, 100);
    };
}

serve_fn stalled(std::string before) {
    return [=](const wire_request &, wire_conn &c) {
        if (c.send(before)) c.stall(kStallMs);
    };
}

// Secrets that only a redirect target carries, then a stall there.
void secret_hop(const wire_request &r, wire_conn &c) {
    if (r.target != "/hop") return c.stall(kStallMs);
    std::string to = "http://u:" + kHopPassword + "@" + r.header("Host") + "/next?sig=" + kHopSig;
    c.send(head(302, {"Location: " + to, "Content-Length: 0"}));
}

struct behaviour {
    const char *name;
    serve_fn serve;
    std::string path;  // the caller's URL: its userinfo, this path and the secret query
    int rc;
    std::string msg;        // {url}: the caller's URL as shown, {next}: secret_hop's target
    long long max_peak;     // bytes of the seam's high-water mark
    size_t requests = 1;
    std::string userinfo = {};
    bool secret_query = true;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const behaviour &b, std::ostream *os) { *os << b.name; }

const std::string kTooSlow = "network: receive failed: transfer too slow fetching {url} ({url})";
const std::string kTimedOut = "network: receive failed: Timeout was reached (28) fetching {url} ({url})";
const std::string kTooLarge = "body exceeds 64 MiB from {url}";

std::vector<behaviour> behaviours() {
    const std::string ok_head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    return {
        {"trickled_body", trickled(ok_head, std::string(100000, 'x')), "/trickle", -4, kTooSlow, kMiB},
        {"trickled_header_line", trickled("HTTP/1.1 200 OK\r\n", "X-Slow: " + std::string(620, 's') + "\r\n\r\n"),
         "/slow-header", -4, kTooSlow, kMiB},
        {"stall_before_answering", stalled(""), "/silent", -4, kTimedOut, kMiB},
        {"stall_inside_the_body", stalled(ok_head + std::string(4096, 'x')), "/stall", -4, kTimedOut, kMiB},
        {"endless_200_unannounced", endless(200), "/endless", -5, kTooLarge, 65 * kMiB},
        {"endless_200_chunked", endless(200, {"Transfer-Encoding: chunked"}, "10000\r\n" + std::string(65536, 'c') + "\r\n"),
         "/chunked", -5, kTooLarge, 65 * kMiB},
        {"endless_401", endless(401), "/e401", -1, "HTTP 401 from {url}", kMiB},
        {"endless_403", endless(403), "/e403", -1, "HTTP 403 from {url}", kMiB},
        {"endless_404", endless(404), "/e404", -2, "HTTP 404 from {url}", kMiB},
        {"endless_429", endless(429), "/e429", -3, "HTTP 429 from {url}", kMiB},
        {"endless_500", endless(500), "/e500", -4, "HTTP 500 from {url}", kMiB},
        {"endless_503", endless(503, {"Content-Length: 9999999999"}), "/e503", -4, "HTTP 503 from {url}", kMiB},
        {"redirect_loop_with_endless_bodies", endless(302, {"Location: /loop"}), "/loop", -5, "too many redirects from {url}",
         kMiB, 9},
        {"exactly_64MiB_announced", sized(kLimit, true), "/64", 0, "", 65 * kMiB},
        {"exactly_64MiB_unannounced", sized(kLimit, false), "/64u", 0, "", 65 * kMiB},
        {"64MiB_plus_one_announced", sized(kLimit + 1, true), "/65", -5, kTooLarge, kMiB},
        {"64MiB_plus_one_unannounced", sized(kLimit + 1, false), "/65u", -5, kTooLarge, 65 * kMiB},
        {"oversized_header_line", endless_after("HTTP/1.1 200 OK\r\nX-Big: ", std::string(65536, 'h')), "/big-header",
         -4, "network: receive failed: header line too long fetching {url} ({url})", kMiB},
        // libcurl caps the headers as a whole too (300 KB), and names that
        // as a receive failure.
        {"header_flood", endless_after("HTTP/1.1 200 OK\r\n", "X-Flood: 0123456789abcdef\r\n"), "/header-flood", -4,
         "network: receive failed: Failure when receiving data from the peer (56) fetching {url} ({url})", 2 * kMiB},
        {"long_credentials", stalled(""), "/private", -4, kTimedOut, kMiB, 1, "user:" + kPassword + "@"},
        // The failure is told of the request that failed, the redirect target.
        {"secrets_only_in_a_redirect_target", secret_hop, "/hop", -4,
         "network: receive failed: Timeout was reached (28) fetching {next} ({next})", kMiB, 2, "", false},
    };
}

class Hostile : public ::testing::TestWithParam<behaviour> {
protected:
    static void SetUpTestSuite() {
        if (!quorvex_http_curl()) return;
        wire_server warm([](const wire_request &) { return http_response(200, {}, "#EXTM3U\n"); });
        run(warm.url("/warm"));  // libcurl started outside the measurements
    }

    struct fetched {
        int rc;
        size_t len;
        std::string msg;
        long long peak;
    };

    static fetched run(const std::string &url) {
        fetch_result got{};
        fetched f{0, 0, "", 0};
        char msg[kMsgSize] = "";
        vq_mem_track(true);
        {
            vqp::Guard g(g_lock);
            f.rc = fetch(quorvex_io_over_http(kHasty.http(), nullptr), url.c_str(), &got, msg);
        }
        f.len = got.body ? sbuf_len(got.body) : 0;
        sbuf_unref(got.body);
        f.peak = vq_mem_peak();
        vq_mem_track(false);
        f.msg = msg;
        return f;
    }
};

TEST_P(Hostile, EndsBoundedWithAnHonestMessage) {
    if (!quorvex_http_curl()) GTEST_SKIP() << "no libcurl transport in this build";
    const behaviour &b = GetParam();
    wire_server server(b.serve);
    std::string query = b.secret_query ? "?token=" + kToken + "&jwt=" + kJwt : "";
    std::string url = replaced(server.url(b.path + query), "http://", "http://" + b.userinfo);
    std::string shown = server.url(b.path) + (b.secret_query ? "?<redacted>" : "");
    auto start = clock_type::now();
    fetched f = run(url);
    long took = elapsed_ms(start);
    EXPECT_EQ(f.rc, b.rc);
    EXPECT_EQ(f.msg, replaced(replaced(b.msg, "{url}", shown), "{next}", server.url("/next") + "?<redacted>"));
    if (f.rc == 0) {
        EXPECT_EQ(f.len, kLimit);
    }
    EXPECT_FALSE(holds_a_secret(f.msg));
    EXPECT_EQ(server.requests().size(), b.requests);
    EXPECT_LT(took, kReceiveMs + kEndSlackMs);
    EXPECT_LE(f.peak, b.max_peak);
    std::printf("[ MEASURE  ] %s: rc %d in %ld ms, peak %.2f MiB, \"%.80s\"\n", b.name, f.rc, took,
                static_cast<double>(f.peak) / kMiB, f.msg.c_str());
}

// A fetch behind a trickling server holds the library's lock, so the other
// exports wait for it, but only until the rate floor ends it, never for the
// trickle's length (hours at this pace).
TEST(HostileThreads, OtherExportsWaitNoLongerThanTheRateFloor) {
    if (!quorvex_http_curl()) GTEST_SKIP() << "no libcurl transport in this build";
    constexpr int kFetchers = 2;
    constexpr long kBoundMs = kFetchers * (kReceiveMs + kEndSlackMs);
    wire_server server(trickled("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", std::string(100000, 'x')));
    ASSERT_EQ(vqiptv_set_io(quorvex_io_over_http(kHasty.http(), nullptr)), 0);
    const std::string settings = "{\"URL\":\"" + server.url("/slow?token=" + kToken) + "\"}";
    std::atomic<int> done{0};
    std::vector<int> rcs(kFetchers, 0);
    std::vector<std::string> messages(kFetchers);
    std::vector<std::thread> fetchers;
    auto start = clock_type::now();
    for (int i = 0; i < kFetchers; ++i)
        fetchers.emplace_back([&, i] {
            std::vector<char> out(65536);
            rcs[i] = vqiptv_list(settings.c_str(), "/", out.data(), static_cast<int32_t>(out.size()));
            messages[i] = vqiptv_last_error();  // each fetcher's own message
            ++done;
        });
    long longest = 0;
    for (int polls = 0; done < kFetchers && polls < 2000; ++polls) {
        auto asked = clock_type::now();
        EXPECT_NE(vqiptv_stats_json(), nullptr);
        longest = std::max(longest, elapsed_ms(asked));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::thread &t : fetchers) t.join();
    long took = elapsed_ms(start);
    for (int rc : rcs) EXPECT_EQ(rc, QVX_E_NETWORK);
    for (const std::string &last : messages) {
        EXPECT_NE(last.find("transfer too slow"), last.npos) << last;
        EXPECT_FALSE(holds_a_secret(last));
    }
    EXPECT_LT(longest, kBoundMs);
    EXPECT_LT(took, kBoundMs);
    std::printf("[ MEASURE  ] %d fetches behind a trickle: %ld ms in all, vqiptv_stats_json waited up to %ld ms\n",
                kFetchers, took, longest);
    vqiptv_use_curl();
}

INSTANTIATE_TEST_SUITE_P(Server, Hostile, ::testing::ValuesIn(behaviours()),
                         [](const ::testing::TestParamInfo<behaviour> &info) { return info.param.name; });

}  // namespace
