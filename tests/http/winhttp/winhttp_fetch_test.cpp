// The playlist fetch over WinHTTP: behind a host's transport that quotes
// every URL it fails on, no credential or query value of the caller's URL or
// of a redirect target reaches the message, however long; on its own, gzip
// bodies are inflated (where WinHTTP does not decode, as under Wine, by the
// fetch itself), the URL's credentials answer a 401 at their origin only, and
// a trickle ends at the fetch's deadline.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/shared_buf.h"
#include "gzip_text.h"
#include "http/transports.h"
#include "long_secrets.h"
#include "quoting_transport.h"
#include "source_client/fetch/fetch.h"
#include "source_client/ops/results.h"
#include "source_client/util/message.h"
#include "wire_server.h"

using namespace vqc;

namespace {

struct chain_case {
    const char *name;
    std::string url, shown;
    size_t requests;
};

TEST(WinHttpFetch, NoSecretOfAnyUrlOfTheChainInTheMessage) {
    const std::string refused = "127.0.0.1:" + std::to_string(closed_loopback_port());
    wire_server server([&](const wire_request &) {
        return http_response(302, {"Location: http://u:" + kHopPassword + "@" + refused + "/next?sig=" + kHopSig});
    });
    const chain_case cases[] = {
        {"the caller's URL", "http://user:" + kPassword + "@" + refused + "/p.m3u?token=" + kToken + "&jwt=" + kJwt,
         "http://" + refused + "/p.m3u?<redacted>", 0},
        // The message is about the request that failed: the redirect target.
        {"a redirect target only", server.url("/hop"), "http://" + refused + "/next?<redacted>", 1},
    };
    const quoting_transport host(quorvex_http_winhttp(), 0);
    for (const chain_case &c : cases) {
        fetch_result got{};
        char msg[kMsgSize] = "";
        int rc;
        {
            vqp::Guard g(g_lock);
            rc = fetch(quorvex_io_over_http(host.http(), nullptr), c.url.c_str(), &got, msg);
        }
        EXPECT_EQ(rc, -4) << c.name;
        // ERROR_WINHTTP_CANNOT_CONNECT
        EXPECT_EQ(std::string(msg), "network: WinHttpSendRequest failed: 12029 fetching " + c.shown + " (" + c.shown + ")")
            << c.name;
        EXPECT_FALSE(holds_a_secret(msg)) << c.name;
        EXPECT_EQ(server.requests().size(), c.requests) << c.name;
        sbuf_unref(got.body);
    }
}

struct direct_case {
    const char *name;
    std::string url;
    int rc;
    std::string out;  // the body, or the message
    uint32_t deadline_ms = 0;
};

TEST(WinHttpFetch, GzipCredentialsAndTheDeadline) {
    const std::string text = "#EXTM3U\n#EXTINF:-1,A\nhttp://a/\n", gz = gzip_text(text);
    int port = 0;
    wire_server server([&](const wire_request &r, wire_conn &c) {
        bool allowed = r.header("Authorization") == "Basic Ym9iOnM6Y3JldA==";  // bob, s:cret
        if (r.target == "/list.m3u.gz") c.send(http_response(200, {}, gz));
        if (r.target == "/encoded.m3u") c.send(http_response(200, {"Content-Encoding: gzip"}, gz));
        if (r.target == "/private.m3u")
            c.send(allowed ? http_response(200, {}, text) : http_response(401, {"WWW-Authenticate: Basic realm=\"x\""}));
        if (r.target == "/away")
            c.send(http_response(302, {"Location: http://localhost:" + std::to_string(port) + "/private.m3u"}));
        if (r.target != "/slow.m3u") return;
        if (c.send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n#EXTM3U\n")) c.trickle(std::string(100000, '#'), 64, 500);
    });
    port = server.port();
    std::string with_user = server.url("/private.m3u").insert(7, "bob:s%3Acret@");
    std::string away = server.url("/away").insert(7, "bob:s%3Acret@");
    const std::vector<direct_case> cases = {
        {"a .m3u.gz file", server.url("/list.m3u.gz"), 0, text},
        {"Content-Encoding: gzip", server.url("/encoded.m3u"), 0, text},
        {"credentials of the URL", with_user, 0, text},
        {"no credentials", server.url("/private.m3u"), -1, "HTTP 401 from " + server.url("/private.m3u")},
        {"credentials not sent elsewhere", away, -1,
         "HTTP 401 from http://localhost:" + std::to_string(port) + "/private.m3u"},
        {"a trickle", server.url("/slow.m3u"), -4, "the fetch of " + server.url("/slow.m3u") + " took longer than 2 s",
         2000},
    };
    for (const direct_case &c : cases) {
        fetch_result got{};
        char msg[kMsgSize] = "";
        fetch_deadline_for_tests(c.deadline_ms);
        int rc;
        {
            vqp::Guard g(g_lock);
            rc = fetch(quorvex_io_over_http(quorvex_http_winhttp(), nullptr), c.url.c_str(), &got, msg);
        }
        fetch_deadline_for_tests(0);
        EXPECT_EQ(rc, c.rc) << c.name << ": " << msg;
        EXPECT_EQ(rc ? std::string(msg) : std::string(sbuf_data(got.body), sbuf_len(got.body)), c.out) << c.name;
        sbuf_unref(got.body);
    }
    for (const wire_request &r : server.requests()) {
        if (r.header("Host").rfind("localhost", 0) == 0) {
            EXPECT_FALSE(r.has("Authorization"));
        }
    }
}

}  // namespace
