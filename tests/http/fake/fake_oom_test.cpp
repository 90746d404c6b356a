// Fails each allocation in turn and checks that every path ends in a clean
// error or a consistent, whole answer (the sanitizer build proves no leak).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "alloc_sweep.h"
#include "exchange.h"
#include "http/fake.h"
#include "http/transports.h"

namespace {
const char *kUrl = "http://fake.test/oom";
const std::string kHeaders = "Content-Type: text/plain\nETag: \"v\"\n";
const std::string kBody(300, 'b');

class Oom : public ::testing::Test {
protected:
    void SetUp() override { quorvex_fake_reset(); }
    void TearDown() override {
        vq_alloc_disarm();
        quorvex_fake_reset();
    }
};

struct got {
    int rc, status;
    bool body_null;
    std::string body, err;
};

TEST_F(Oom, AdapterGetOverTheFake) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, kHeaders.c_str(), kBody.data(), kBody.size()), 0);
    const quorvex_io *io = quorvex_io_over_http(quorvex_http_fake(), nullptr);
    long failures = alloc_sweep(
        [&](long k) {
            char *body = nullptr, *err = nullptr;
            got g{};
            vq_alloc_fail_nth(k);
            g.rc = io->get(io->ctx, kUrl, &body, &g.status, &err);
            g.body_null = body == nullptr;
            g.body = body ? body : "";
            g.err = err ? err : "";
            io->free_buf(io->ctx, body);
            io->free_buf(io->ctx, err);
            return g;
        },
        [](long, const got &g) {
            if (g.rc == 0) {
                ASSERT_FALSE(g.body_null);
                EXPECT_EQ(g.status, 200);
                // the fake answers without a body when it cannot copy one
                EXPECT_TRUE(g.body == kBody || g.body.empty());
            } else {
                EXPECT_TRUE(g.body_null);
                EXPECT_EQ(g.err, "oom");
            }
        },
        [](const got &g) { EXPECT_EQ(g.body, kBody); });
    EXPECT_GT(failures, 3);
}

outcome fake_get() { return perform({.url = kUrl}, quorvex_http_fake()); }

// A request under memory shortage: the status always, the headers whole or not
// at all, the body whole or not at all, and no body without the headers.
void check_answer(int want_status) {
    long failures = alloc_sweep(
        [](long k) {
            vq_alloc_fail_nth(k);
            return fake_get();
        },
        [&](long, const outcome &o) {
            ASSERT_EQ(o.result, 0);
            EXPECT_EQ(o.status, want_status);
            ASSERT_FALSE(o.headers.empty());
            EXPECT_EQ(o.headers[0].first, ":status");
            bool headers = o.headers.size() > 1;
            EXPECT_TRUE(headers || o.pieces.empty());
            EXPECT_TRUE(o.body.empty() || o.body == kBody);
        },
        [](const outcome &o) {
            EXPECT_GT(o.headers.size(), 1u);
            EXPECT_EQ(o.body, kBody);
        });
    EXPECT_GE(failures, 2);
}

TEST_F(Oom, FakeAnswers) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 203, kHeaders.c_str(), kBody.data(), kBody.size()), 0);
    check_answer(203);
    ASSERT_EQ(quorvex_fake_drip(kUrl, 200, kBody.data(), kBody.size(), 0), 0);
    check_answer(200);
    ASSERT_EQ(quorvex_fake_file(kUrl, kBody.data(), kBody.size(), 1), 0);
    check_answer(200);
}

// A description that cannot be built whole is whatever was built: none, or
// its first bytes.
TEST_F(Oom, DescriptionIsWhateverWasBuilt) {
    const call c{.url = "http://fake.test/" + std::string(500, 'u'), .sinks = false};
    perform(c, quorvex_http_fake());
    const std::string full = quorvex_fake_last_request();
    int partial = 0;
    alloc_sweep(
        [&](long k) {
            vq_alloc_fail_nth(k);
            perform(c, quorvex_http_fake());
            const char *desc = quorvex_fake_last_request();
            return std::string(desc ? desc : "");
        },
        [&](long, const std::string &desc) {
            EXPECT_EQ(full.compare(0, desc.size(), desc), 0) << desc;
            partial += !desc.empty() && desc.size() < full.size();
        },
        [&](const std::string &desc) { EXPECT_EQ(desc, full); });
    EXPECT_GT(partial, 0) << "no shortage left a part of the description";
}

// Sixteen routes, so that the next one makes the table grow.
void fill_table() {
    quorvex_fake_reset();
    for (int i = 0; i < 16; ++i) {
        std::string url = "http://fake.test/fill" + std::to_string(i);
        ASSERT_EQ(quorvex_fake_set("GET", url.c_str(), 200, nullptr, nullptr, 0), 0);
    }
}

// Scripting under memory shortage: a failure leaves no body to serve; a
// success answers whole (or, for a canned or drip route whose body copy
// failed, without the body).
// A scripted failure answers -1 with its text once scripting succeeded.
void check_script(const std::function<int()> &script, bool body_may_drop, const char *fail_text = nullptr) {
    auto judge = [&](const std::pair<int, outcome> &r) {
        const auto &[rc, o] = r;
        if (rc == 0 && fail_text) {
            EXPECT_EQ(o.result, -1);
            EXPECT_EQ(o.err, fail_text);
            return;
        }
        EXPECT_TRUE(rc == 0 ? o.body == kBody || (body_may_drop && o.body.empty()) : o.body.empty());
    };
    long failures = alloc_sweep(
        [&](long k) {
            fill_table();
            vq_alloc_fail_nth(k);
            int rc = script();
            vq_alloc_disarm();
            return std::make_pair(rc, fake_get());
        },
        [&](long, const std::pair<int, outcome> &r) { judge(r); },
        [&](const std::pair<int, outcome> &r) {
            EXPECT_EQ(r.first, 0);
            judge(r);
        });
    EXPECT_GE(failures, 4);
}

TEST_F(Oom, Scripting) {
    check_script([] { return quorvex_fake_set("GET", kUrl, 200, kHeaders.c_str(), kBody.data(), kBody.size()); },
                 true);
    check_script([] { return quorvex_fake_drip(kUrl, 200, kBody.data(), kBody.size(), 0); }, true);
    check_script([] { return quorvex_fake_file(kUrl, kBody.data(), kBody.size(), 0); }, false);
    check_script([] { return quorvex_fake_fail("GET", kUrl, "down"); }, false, "down");
}
}  // namespace
