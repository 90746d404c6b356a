// Fails each allocation in turn and checks that every path ends in a clean
// error or a consistent, whole answer (the sanitizer build proves no leak).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "common/alloc.h"
#include "http/http.h"
#include "recorder.h"

namespace {
const char *kUrl = "http://fake.test/oom";
const std::string kHeaders = "Content-Type: text/plain\nETag: \"v\"\n";
const std::string kBody(300, 'b');

// Runs step with the k-th allocation failing, for k = 1, 2, ... until a run
// sees no fault; answers how many runs hit one. `before` runs unarmed ahead of
// each step.
int each_failure(const std::function<void(long)> &step, const std::function<void()> &before = [] {}) {
    long k = 1;
    for (;; ++k) {
        before();
        vq_alloc_fail_nth(k);
        step(k);
        bool hit = vq_alloc_fault_hit();
        vq_alloc_disarm();
        if (!hit) break;
    }
    return static_cast<int>(k - 1);
}

class Oom : public ::testing::Test {
protected:
    void SetUp() override { quorvex_fake_reset(); }
    void TearDown() override {
        vq_alloc_disarm();
        quorvex_fake_reset();
    }
};

TEST_F(Oom, AdapterGetOverTheFake) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, kHeaders.c_str(), kBody.data(), kBody.size()), 0);
    const quorvex_io *io = quorvex_io_over_http(quorvex_http_fake(), nullptr);
    int failures = each_failure([&](long k) {
        char *body = nullptr, *err = nullptr;
        int status = 0;
        int rc = io->get(io->ctx, kUrl, &body, &status, &err);
        if (rc == 0) {
            ASSERT_NE(body, nullptr) << k;
            EXPECT_EQ(status, 200) << k;
            // the fake answers without a body when it cannot copy one
            EXPECT_TRUE(std::string(body) == kBody || !*body) << k;
        } else {
            EXPECT_EQ(body, nullptr) << k;
            EXPECT_STREQ(err, "oom") << k;
        }
        io->free_buf(io->ctx, body);
        io->free_buf(io->ctx, err);
    });
    EXPECT_GT(failures, 3);
}

// A request under memory shortage: the status always, the headers whole or not
// at all, the body whole or not at all, and no body without the headers.
void check_answer(int want_status) {
    int failures = each_failure([&](long k) {
        recorder rec;
        int status = 0;
        quorvex_http_req req = make_req("GET", kUrl, &rec);
        ASSERT_EQ(fake_run(req, &status), 0) << k;
        EXPECT_EQ(status, want_status) << k;
        ASSERT_FALSE(rec.headers.empty()) << k;
        EXPECT_EQ(rec.headers[0].first, ":status");
        bool headers = rec.headers.size() > 1;
        EXPECT_TRUE(headers || rec.pieces.empty()) << k;
        EXPECT_TRUE(rec.body().empty() || rec.body() == kBody) << k;
        EXPECT_TRUE(vq_alloc_fault_hit() || (headers && rec.body() == kBody)) << k;
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

TEST_F(Oom, DescriptionIsWhateverWasBuilt) {
    std::string url = "http://fake.test/" + std::string(500, 'u');
    quorvex_http_req req = make_req("GET", url.c_str(), nullptr);
    int status = 0;
    fake_run(req, &status);
    const std::string full = quorvex_fake_last_request();
    each_failure([&](long k) {
        fake_run(req, &status);
        const char *desc = quorvex_fake_last_request();
        EXPECT_TRUE(!desc || full.compare(0, std::strlen(desc), desc) == 0) << k;
    });
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
    int failures = each_failure([&](long k) {
        int rc = script();
        vq_alloc_disarm();
        recorder rec;
        int status = 0;
        quorvex_http_req req = make_req("GET", kUrl, &rec);
        std::string err;
        int answered = fake_run(req, &status, &err);
        if (rc == 0 && fail_text) {
            EXPECT_EQ(answered, -1) << k;
            EXPECT_EQ(err, fail_text) << k;
            return;
        }
        bool whole = rec.body() == kBody;
        bool empty = rec.body().empty();
        EXPECT_TRUE(rc == 0 ? whole || (body_may_drop && empty) : empty) << k;
    }, fill_table);
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
