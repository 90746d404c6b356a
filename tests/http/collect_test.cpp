#include <gtest/gtest.h>

#include <string>

#include "common/alloc.h"
#include "http/collect.h"
#include "http/fake.h"
#include "http/headers.h"
#include "http/transports.h"
#include "stub_transport.h"

namespace {
struct collector {
    quorvex_collect col;
    explicit collector(uint64_t limit = 0) { quorvex_collect_init(&col, limit); }
    ~collector() { quorvex_collect_free(&col); }
    std::string body() const { return std::string(col.body.data ? col.body.data : "", col.body.len); }
};

TEST(Collect, LimitCutsTheBody) {
    struct row {
        uint64_t limit;
        std::vector<size_t> pieces;
        std::vector<int> answers;
        size_t kept;
        int truncated;
    };
    const row rows[] = {{10, {8, 5}, {0, 1}, 10, 1}, {10, {5, 5}, {0, 0}, 10, 0},
                        {10, {5, 5, 0, 1}, {0, 0, 0, 1}, 10, 1}, {10, {12}, {1}, 10, 1},
                        {0, {8, 5, 0}, {0, 0, 0}, 13, 0}};
    for (const row &r : rows) {
        collector c(r.limit);
        std::string all;
        for (size_t i = 0; i < r.pieces.size(); ++i) {
            std::string piece(r.pieces[i], static_cast<char>('a' + i));
            all += piece;
            EXPECT_EQ(quorvex_collect_body(&c.col, piece.data(), piece.size()), r.answers[i]) << i;
        }
        EXPECT_EQ(c.body(), all.substr(0, r.kept));
        EXPECT_EQ(c.col.truncated, r.truncated);
    }
}

TEST(Collect, HeadersBecomePairsAndStatusIsRead) {
    collector c;
    EXPECT_EQ(quorvex_collect_header(&c.col, ":status", "206"), 0);
    EXPECT_EQ(quorvex_collect_header(&c.col, "ETag", "\"x\""), 0);
    EXPECT_EQ(quorvex_collect_header(&c.col, "Empty", nullptr), 0);
    EXPECT_EQ(c.col.status, 206);
    EXPECT_EQ(std::string(c.col.headers.data, c.col.headers.len), std::string("ETag\0\"x\"\0Empty\0\0", 16));
    EXPECT_STREQ(quorvex_hdrs_get(&c.col.headers, "etag"), "\"x\"");
    vq_alloc_fail_nth(1);
    EXPECT_EQ(quorvex_collect_header(&c.col, "Big", std::string(200, 'v').c_str()), 1);
    vq_alloc_disarm();
    EXPECT_EQ(c.col.headers.len, 16u);  // no name left without its value
    EXPECT_EQ(quorvex_hdrs_get(&c.col.headers, "Big"), nullptr);
}

TEST(Collect, FreeKeepsTheCounters) {
    quorvex_collect col;
    quorvex_collect_init(&col, 3);
    quorvex_collect_header(&col, ":status", "200");
    quorvex_collect_body(&col, "abcdef", 6);
    quorvex_collect_free(&col);
    EXPECT_EQ(col.body.data, nullptr);
    EXPECT_EQ(col.headers.len, 0u);
    EXPECT_EQ(col.status, 200);
    EXPECT_EQ(col.limit, 3u);
    EXPECT_EQ(col.truncated, 1);
}

std::string hundred() {
    std::string s;
    for (int i = 0; i < 100; ++i) s += static_cast<char>('0' + i % 64);
    return s;
}

class Range : public ::testing::Test {
protected:
    void SetUp() override { quorvex_fake_reset(); }
    void TearDown() override { quorvex_fake_reset(); }
    int range(const quorvex_http *http, const char *url, int64_t first, int64_t last, collector *c) {
        char *e = nullptr;
        int rc = quorvex_http_range(http, url, first, last, &c->col, &status, &e);
        err = e ? e : "";
        vq_free(e);
        return rc;
    }
    int status = 77;
    std::string err;
};

TEST_F(Range, RefusesBadArguments) {
    stub_transport stub;
    quorvex_http broken = stub.record;
    broken.request = nullptr;
    collector c;
    struct row {
        const quorvex_http *http;
        const char *url;
        int64_t first, last;
        bool col;
    };
    const row rows[] = {{&stub.record, "u", 5, 4, true}, {&stub.record, "u", -1, 4, true},
                        {nullptr, "u", 0, 4, true},      {&stub.record, nullptr, 0, 4, true},
                        {&stub.record, "u", 0, 4, false}, {&broken, "u", 0, 4, true}};
    for (const row &r : rows) {
        char *e = nullptr;
        EXPECT_EQ(quorvex_http_range(r.http, r.url, r.first, r.last, r.col ? &c.col : nullptr, &status, &e), -1);
        EXPECT_STREQ(e, "bad range args");
        vq_free(e);
    }
    EXPECT_EQ(status, 77);
    EXPECT_EQ(stub.calls, 0);
}

TEST_F(Range, FetchesASliceFromTheFake) {
    const std::string body = hundred();
    ASSERT_EQ(quorvex_fake_file("http://f/x", body.data(), body.size(), 1), 0);
    collector c;
    ASSERT_EQ(range(quorvex_http_fake(), "http://f/x", 10, 19, &c), 0);
    EXPECT_EQ(status, 206);
    EXPECT_EQ(c.col.status, 206);
    EXPECT_EQ(c.body(), body.substr(10, 10));
    EXPECT_STREQ(quorvex_hdrs_get(&c.col.headers, "content-range"), "bytes 10-19/100");
    EXPECT_NE(std::string(quorvex_fake_last_request()).find("\"Range: bytes=10-19\""), std::string::npos);
}

TEST_F(Range, WholeEntityAnswerIsCutToTheRange) {
    stub_transport stub;
    stub.body = hundred();
    stub.piece = 7;
    struct row {
        int64_t first;
        size_t from;
    };
    // A body not longer than first stays as received.
    const row rows[] = {{10, 10}, {0, 0}, {99, 99}, {100, 0}, {150, 0}};
    for (const row &r : rows) {
        collector c;
        ASSERT_EQ(range(&stub.record, "http://s/x", r.first, r.first + 9, &c), 0);
        EXPECT_EQ(status, 200);
        EXPECT_EQ(c.body(), stub.body.substr(r.from)) << r.first;
        EXPECT_EQ(c.col.body.data[c.col.body.len], '\0');
        EXPECT_EQ(stub.method, "GET");
        ASSERT_EQ(stub.headers.size(), 1u);
        EXPECT_EQ(stub.headers[0], "Range: bytes=" + std::to_string(r.first) + "-" + std::to_string(r.first + 9));
    }
}

TEST_F(Range, TransportFailuresPassThrough) {
    ASSERT_EQ(quorvex_fake_fail("GET", "http://f/x", "unreachable"), 0);
    collector c;
    EXPECT_EQ(range(quorvex_http_fake(), "http://f/x", 0, 9, &c), -1);
    EXPECT_EQ(err, "unreachable");
    EXPECT_EQ(status, 0);
}
}  // namespace
