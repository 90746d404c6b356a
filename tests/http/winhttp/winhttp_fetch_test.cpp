// The playlist fetch over WinHTTP, behind a host's transport that quotes
// every URL it fails on: no credential or query value of the caller's URL or
// of a redirect target reaches the message, however long.
#include <gtest/gtest.h>

#include <string>

#include "common/shared_buf.h"
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
        {"a redirect target only", server.url("/hop"), server.url("/hop"), 1},
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

}  // namespace
