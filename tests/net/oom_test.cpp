// Every allocation of an exchange, libcurl's own included, made to fail in
// turn: the transport answers either the full response or a failure with
// status 0, never a half-delivered success, and leaks nothing (the sanitizer
// build checks that).
#include <gtest/gtest.h>

#include <string>

#include "common/alloc.h"
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
    ASSERT_EQ(perform(c).result, 0);  // libcurl started outside the sweep

    long before = vq_alloc_count();
    outcome clean = perform(c);
    long needed = vq_alloc_count() - before;
    ASSERT_EQ(clean.result, 0) << clean.err;
    ASSERT_GT(needed, 0) << "libcurl's allocations do not go through the seam";

    int failures = 0;
    for (long k = 1; k <= needed + 5; ++k) {
        vq_alloc_fail_nth(k);
        outcome out = perform(c);
        bool hit = vq_alloc_fault_hit();
        vq_alloc_disarm();
        if (out.result == 0) {
            EXPECT_EQ(out.status, 200) << "k=" << k;
            EXPECT_EQ(out.headers, clean.headers) << "k=" << k;
            EXPECT_EQ(out.body, clean.body) << "k=" << k;
            continue;
        }
        ++failures;
        EXPECT_TRUE(hit) << "k=" << k;
        EXPECT_EQ(out.result, -1) << "k=" << k;
        EXPECT_EQ(out.status, 0) << "k=" << k;
        EXPECT_TRUE(!out.has_err || !out.err.empty()) << "k=" << k;
        EXPECT_NE(out.err, "receive failed: header line too long") << "k=" << k;
    }
    EXPECT_GT(failures, 0);
}

}  // namespace
