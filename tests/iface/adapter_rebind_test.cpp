// The one shared adapter record is re-bound to another transport while other
// threads start exchanges through it; each exchange must run whole on one
// transport or the other. Run under ThreadSanitizer by the test script.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "http/fake.h"
#include "http/transports.h"

namespace {

int other_request(void *, const quorvex_http_req *req, int *status, char **err) {
    *status = 0;
    *err = nullptr;
    if (req->on_header) req->on_header(req->user, ":status", "200");
    if (req->on_body) req->on_body(req->user, "other", 5);
    *status = 200;
    return 0;
}

const quorvex_http kOther = {32, 1, nullptr, other_request, nullptr};

TEST(AdapterRebind, ExchangesRunWholeOnOneTransport) {
    quorvex_fake_reset();
    ASSERT_EQ(quorvex_fake_set("GET", "http://h/a", 200, nullptr, "fake", 4), 0);
    const quorvex_io *io = quorvex_io_over_http(quorvex_http_fake(), nullptr);
    std::atomic<bool> done{false};
    std::thread rebinder([&] {
        for (int i = 0; !done.load(); ++i) quorvex_io_over_http(i % 2 ? &kOther : quorvex_http_fake(), nullptr);
    });
    for (int i = 0; i < 2000; ++i) {
        char *body = nullptr, *err = nullptr;
        int status = 0;
        ASSERT_EQ(io->get(io->ctx, "http://h/a", &body, &status, &err), 0);
        std::string got = body;
        io->free_buf(io->ctx, body);
        EXPECT_EQ(status, 200);
        EXPECT_TRUE(got == "fake" || got == "other") << got;
    }
    done = true;
    rebinder.join();
    quorvex_fake_reset();
}

}  // namespace
