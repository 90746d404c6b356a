// Every allocation of an exchange, libcurl's own included, made to fail in
// turn: the transport answers either the full response or a failure with
// status 0, never a half-delivered success, and leaks nothing (the sanitizer
// build checks that).
#include <gtest/gtest.h>

#include <string>

#include "alloc_sweep.h"
#include "exchange.h"
#include "wire_server.h"

namespace {

TEST(CurlOutOfMemory, EveryAllocationFailsInTurn) {
    wire_server server([](const wire_request &r, wire_conn &c) {
        c.send(http_response(200, {"ETag: \"v1\"", "X-Echo: " + r.header("X-Ask")}, "#EXTM3U\n"));
    });
    call c;
    c.method = "POST";
    c.url = server.url("/oom?x=1");
    c.headers = {"X-Ask: a", "If-None-Match: \"v0\""};
    c.body = "k=v";
    const outcome clean = perform(c);  // libcurl started outside the sweep
    ASSERT_EQ(clean.result, 0) << clean.err;
    long failures = 0;
    long allocations = alloc_sweep(
        [&](long k) {
            vq_alloc_fail_nth(k);
            return perform(c);
        },
        [&](long, const outcome &out) {
            if (out.result == 0) {
                EXPECT_EQ(out.status, 200);
                EXPECT_EQ(out.headers, clean.headers);
                EXPECT_EQ(out.body, clean.body);
                return;
            }
            ++failures;
            EXPECT_EQ(out.result, -1);
            EXPECT_EQ(out.status, 0);
            EXPECT_TRUE(!out.has_err || !out.err.empty());
            EXPECT_NE(out.err, "receive failed: header line too long");
        },
        [&](const outcome &out) { EXPECT_EQ(out.headers, clean.headers); });
    EXPECT_GT(allocations, 0) << "libcurl's allocations do not go through the seam";
    EXPECT_GT(failures, 0);
}

}  // namespace
