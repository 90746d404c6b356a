#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/alloc.h"
#include "exchange.h"
#include "http/fake.h"
#include "http/transports.h"

namespace {
const char *kUrl = "http://fake.test/a";

class Fake : public ::testing::Test {
protected:
    void SetUp() override { quorvex_fake_reset(); }
    void TearDown() override { quorvex_fake_reset(); }
};

outcome fake(const char *method, const std::string &url, std::vector<header_line> lines = {}) {
    return perform({.method = method, .url = url, .headers = std::move(lines)}, quorvex_http_fake());
}

outcome fake(const call &c) { return perform(c, quorvex_http_fake()); }

std::string hundred() {
    std::string s;
    for (int i = 0; i < 100; ++i) s += static_cast<char>(i);
    return s;
}

TEST_F(Fake, RecordIsTheFakeTransport) {
    const quorvex_http *h = quorvex_http_fake();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->size, 32u);
    EXPECT_EQ(h->version, 1u);
    EXPECT_EQ(h->ctx, nullptr);
    EXPECT_NE(h->request, nullptr);
    EXPECT_NE(h->free_buf, nullptr);
}

TEST_F(Fake, UnscriptedUrlAnswers404WithTheStatusAlone) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, nullptr, "x", 1), 0);
    outcome o = fake("GET", "http://fake.test/other");
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.status, 404);
    ASSERT_EQ(o.headers.size(), 1u);
    EXPECT_EQ(o.headers[0], (std::pair<std::string, std::string>(":status", "404")));
    EXPECT_TRUE(o.pieces.empty());
    EXPECT_EQ(quorvex_fake_calls(nullptr, nullptr), 1);
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 0);
}

TEST_F(Fake, CannedAnswerDeliversStatusHeadersAndBody) {
    const char *hdrs = "Content-Type: text/plain\r\nno colon here\nX-Spaced:    v  \nEmpty:\n";
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 203, hdrs, "hello", 5), 0);
    outcome o = fake("GET", kUrl);
    ASSERT_EQ(o.result, 0);
    EXPECT_EQ(o.status, 203);
    std::vector<std::pair<std::string, std::string>> want = {
        {":status", "203"}, {"Content-Type", "text/plain"}, {"X-Spaced", "v  "}, {"Empty", ""}};
    EXPECT_EQ(o.headers, want);
    EXPECT_EQ(o.body, "hello");
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 1);
}

TEST_F(Fake, OversizedHeaderLinesAreSkipped) {
    std::string hdrs = "Long: " + std::string(600, 'v') + "\n" + std::string(128, 'N') + ": x\n" +
                       std::string(127, 'n') + ": " + std::string(511, 'w') + "\nNext: ok\n";
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, hdrs.c_str(), nullptr, 0), 0);
    outcome o = fake("GET", kUrl);
    ASSERT_EQ(o.result, 0);
    ASSERT_EQ(o.headers.size(), 3u);
    EXPECT_EQ(o.headers[1].first, std::string(127, 'n'));
    EXPECT_EQ(o.headers[1].second, std::string(511, 'w'));
    EXPECT_EQ(o.headers[2], (std::pair<std::string, std::string>("Next", "ok")));
}

TEST_F(Fake, SinksStopDelivery) {
    std::string big(65536 * 2 + 10, 'b');
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, "A: 1\nB: 2\n", big.data(), big.size()), 0);
    struct row {
        int stop_header;
        int stop_body;
        size_t headers;
        size_t pieces;
    };
    const row rows[] = {{0, -1, 1, 0}, {1, -1, 2, 0}, {-1, 0, 3, 1}, {-1, 1, 3, 2}, {-1, -1, 3, 3}};
    for (const row &r : rows) {
        SCOPED_TRACE(std::to_string(r.stop_header) + "/" + std::to_string(r.stop_body));
        outcome o = fake({.url = kUrl, .stop_header = r.stop_header, .stop_body = r.stop_body});
        EXPECT_EQ(o.result, 0);
        EXPECT_EQ(o.status, 200);
        EXPECT_EQ(o.headers.size(), r.headers);
        EXPECT_EQ(o.body, big.substr(0, std::min(o.pieces.size() * 65536, big.size())));
        EXPECT_EQ(o.pieces.size(), r.pieces);
        if (r.pieces) {
            EXPECT_EQ(o.pieces[0], 65536u);
        }
    }
}

TEST_F(Fake, NullSinksStillReportTheStatus) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 201, "A: 1\n", "x", 1), 0);
    outcome o = fake({.url = kUrl, .sinks = false});
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.status, 201);
}

TEST_F(Fake, HeadFallsBackToTheGetRoute) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, "A: 1\n", "body", 4), 0);
    outcome head = fake("HEAD", kUrl);
    ASSERT_EQ(head.result, 0);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "body");  // a canned body goes out for HEAD too
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 1);
    EXPECT_EQ(quorvex_fake_calls("HEAD", kUrl), 0);
    EXPECT_EQ(quorvex_fake_calls_method("GET"), 1);
    EXPECT_EQ(quorvex_fake_calls_method("HEAD"), 0);
    EXPECT_EQ(fake("PUT", kUrl).status, 404);  // only HEAD falls back
}

TEST_F(Fake, ScriptedFailures) {
    ASSERT_EQ(quorvex_fake_fail("GET", kUrl, "dns says no"), 0);
    ASSERT_EQ(quorvex_fake_fail("ANY THING", "http://fake.test/b", nullptr), 0);
    outcome o = fake("GET", kUrl);
    EXPECT_EQ(o.result, -1);
    EXPECT_EQ(o.err, "dns says no");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.headers.empty());
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 1);
    ASSERT_EQ(quorvex_fake_fail("GET", kUrl, nullptr), 0);
    o = fake("GET", kUrl);
    EXPECT_EQ(o.result, -1);
    EXPECT_EQ(o.err, "fake: transport failure");
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 2);
}

TEST_F(Fake, BadRequestsAreRefusedUncounted) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, nullptr, nullptr, 0), 0);
    struct refused {
        const char *method, *err;
        std::function<void(quorvex_http_req &)> edit;
    };
    const refused rows[] = {
        {"GE T", "fake: bad method", {}},
        {"GET", "fake: bad request", [](quorvex_http_req &r) { r.url = nullptr; }},
        {"GET", "fake: bad request", [](quorvex_http_req &r) { r.method = nullptr; }},
        {"GET", "fake: bad request", [](quorvex_http_req &r) { r.size = 111; }},
    };
    for (const refused &r : rows) {
        outcome o = fake({.method = r.method, .url = kUrl, .edit = r.edit});
        EXPECT_EQ(o.result, -1) << r.err;
        EXPECT_EQ(o.err, r.err);
        EXPECT_EQ(o.status, 0);
        EXPECT_TRUE(o.headers.empty());
    }
    const quorvex_http *h = quorvex_http_fake();
    char *e = nullptr;
    int status = -1;
    EXPECT_EQ(h->request(nullptr, nullptr, &status, &e), -1);
    EXPECT_STREQ(e, "fake: bad request");
    EXPECT_EQ(status, 0);
    h->free_buf(nullptr, e);
    EXPECT_EQ(h->request(nullptr, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(quorvex_fake_calls(nullptr, nullptr), 0);
    EXPECT_EQ(quorvex_fake_writes_sent(), 0);
    EXPECT_EQ(quorvex_fake_last_request(), nullptr);
}

TEST_F(Fake, ScriptingRefusesBadArguments) {
    EXPECT_EQ(quorvex_fake_set(nullptr, kUrl, 200, nullptr, nullptr, 0), -1);
    EXPECT_EQ(quorvex_fake_set("GET", nullptr, 200, nullptr, nullptr, 0), -1);
    EXPECT_EQ(quorvex_fake_set("G ET", kUrl, 200, nullptr, nullptr, 0), -1);
    EXPECT_EQ(quorvex_fake_set("GET", kUrl, 200, nullptr, nullptr, 3), -1);
    EXPECT_EQ(quorvex_fake_file(nullptr, "x", 1, 1), -1);
    EXPECT_EQ(quorvex_fake_file(kUrl, nullptr, 1, 1), -1);
    EXPECT_EQ(quorvex_fake_drip(nullptr, 200, "x", 1, 0), -1);
    EXPECT_EQ(quorvex_fake_fail(nullptr, kUrl, "m"), -1);
    EXPECT_EQ(quorvex_fake_fail("GET", nullptr, "m"), -1);
    EXPECT_EQ(fake("GET", kUrl).status, 404);
}

TEST_F(Fake, RescriptingKeepsCallsAndResetForgetsAll) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, nullptr, "one", 3), 0);
    EXPECT_EQ(fake("GET", kUrl).body, "one");
    fake("POST", kUrl);
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 500, "A: b\n", "two", 3), 0);
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 1);
    outcome second = fake("GET", kUrl);
    EXPECT_EQ(second.status, 500);
    EXPECT_EQ(second.body, "two");
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 2);
    EXPECT_EQ(quorvex_fake_calls(kUrl, nullptr), 3);
    EXPECT_EQ(quorvex_fake_calls_method(nullptr), 3);
    EXPECT_EQ(quorvex_fake_writes_sent(), 1);
    quorvex_fake_reset();
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 0);
    EXPECT_EQ(quorvex_fake_calls(nullptr, nullptr), 0);
    EXPECT_EQ(quorvex_fake_writes_sent(), 0);
    EXPECT_EQ(quorvex_fake_last_request(), nullptr);
    EXPECT_EQ(fake("GET", kUrl).status, 404);
}

TEST_F(Fake, TableHolds256Routes) {
    for (int i = 0; i < 256; ++i) {
        std::string url = "http://fake.test/" + std::to_string(i);
        ASSERT_EQ(quorvex_fake_set("GET", url.c_str(), 200, nullptr, nullptr, 0), 0) << i;
    }
    EXPECT_EQ(quorvex_fake_set("GET", "http://fake.test/256", 200, nullptr, nullptr, 0), -1);
    EXPECT_EQ(quorvex_fake_fail("POST", "http://fake.test/0", nullptr), -1);
    EXPECT_EQ(quorvex_fake_set("GET", "http://fake.test/17", 201, nullptr, "r", 1), 0);
    EXPECT_EQ(fake("GET", "http://fake.test/17").status, 201);
    EXPECT_EQ(fake("GET", "http://fake.test/256").status, 404);
}

struct range_row {
    int ranges;
    const char *line;  // request header line, or null for none
    int status;
    const char *content_range;  // "" when absent
    int first;                  // first body byte served
    int count;                  // bytes served
};

class FakeFile : public Fake, public ::testing::WithParamInterface<range_row> {};

TEST_P(FakeFile, ServesRanges) {
    const range_row &r = GetParam();
    const std::string body = hundred();
    ASSERT_EQ(quorvex_fake_file(kUrl, body.data(), body.size(), r.ranges), 0);
    std::vector<header_line> lines = {"Accept: */*"};
    if (r.line) lines.push_back(r.line);
    outcome o = fake("GET", kUrl, lines);
    ASSERT_EQ(o.result, 0);
    EXPECT_EQ(o.status, r.status);
    EXPECT_EQ(o.header("Content-Range"), r.content_range);
    EXPECT_EQ(o.body, body.substr(r.first, r.count));
    if (r.status == 200) {
        EXPECT_EQ(o.header("Content-Length"), "100");
        EXPECT_EQ(o.header("Accept-Ranges"), "bytes");
    }
    if (r.status == 206) {
        EXPECT_EQ(o.header("Content-Length"), std::to_string(r.count));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, FakeFile,
    ::testing::Values(range_row{1, nullptr, 200, "", 0, 100}, range_row{1, "Range: bytes=10-19", 206, "bytes 10-19/100", 10, 10},
                      range_row{1, "Range: bytes=90-200", 206, "bytes 90-99/100", 90, 10},
                      range_row{1, "Range: bytes=100-", 416, "bytes */100", 0, 0},
                      range_row{1, "Range: bytes=5-", 206, "bytes 5-99/100", 5, 95},
                      range_row{1, "Range: bytes=7", 206, "bytes 7-99/100", 7, 93},
                      range_row{1, "range:bytes=0-0", 206, "bytes 0-0/100", 0, 1},
                      range_row{1, "RANGE:   bytes=99-99", 206, "bytes 99-99/100", 99, 1},
                      range_row{1, "Range: bytes=-10", 206, "bytes 90-99/100", 90, 10},
                      range_row{1, "Range: bytes=-500", 206, "bytes 0-99/100", 0, 100},
                      range_row{1, "Range: bytes=-0", 416, "bytes */100", 0, 0},
                      range_row{1, "Range: bytes=-", 416, "bytes */100", 0, 0},
                      range_row{1, "Range: items=1-2", 200, "", 0, 100},
                      range_row{1, "Ranges: bytes=1-2", 200, "", 0, 100},
                      range_row{2, "Range: bytes=90-200", 416, "bytes */100", 0, 0},
                      range_row{2, "Range: bytes=90-99", 206, "bytes 90-99/100", 90, 10},
                      range_row{2, "Range: bytes=5-", 206, "bytes 5-99/100", 5, 95},
                      range_row{2, "Range: bytes=-20", 206, "bytes 80-99/100", 80, 20},
                      range_row{0, "Range: bytes=10-19", 200, "", 0, 100}));

TEST_F(Fake, FileRouteEdges) {
    const std::string body = hundred();
    ASSERT_EQ(quorvex_fake_file(kUrl, body.data(), body.size(), 1), 0);
    outcome head = fake("HEAD", kUrl, {"Range: bytes=10-19"});
    ASSERT_EQ(head.result, 0);
    EXPECT_EQ(head.status, 206);
    EXPECT_EQ(head.header("Content-Range"), "bytes 10-19/100");
    EXPECT_TRUE(head.pieces.empty());
    struct backwards {
        const char *line, *range, *length;
    };
    const backwards rows[] = {{"Range: bytes=5-3", "bytes 5-3/100", "-1"},
                              {"Range: bytes=5--9223372036854775808", "bytes 5--9223372036854775808/100",
                               "9223372036854775804"}};  // wrapped, not undefined
    for (const backwards &r : rows) {
        outcome o = fake("GET", kUrl, {r.line});
        ASSERT_EQ(o.result, 0);
        EXPECT_EQ(o.status, 206);
        EXPECT_EQ(o.header("Content-Range"), r.range);
        EXPECT_EQ(o.header("Content-Length"), r.length);
        EXPECT_TRUE(o.pieces.empty());
    }
    ASSERT_EQ(quorvex_fake_file("http://fake.test/empty", nullptr, 0, 1), 0);
    for (const char *line : {"Range: bytes=0-", "Range: bytes=-5"}) {
        outcome o = fake("GET", "http://fake.test/empty", {line});
        EXPECT_EQ(o.status, 416) << line;
        EXPECT_EQ(o.header("Content-Range"), "bytes */0");
        EXPECT_TRUE(o.pieces.empty());
    }
    outcome whole = fake("GET", "http://fake.test/empty");
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.header("Content-Length"), "0");
    EXPECT_TRUE(whole.pieces.empty());
}

TEST_F(Fake, DripDeliversSmallPieces) {
    const std::string body(200, 'd');
    struct row {
        int chunks;
        std::vector<size_t> sizes;
    };
    const row rows[] = {{2, {64, 64}}, {0, {64, 64, 64, 8}}, {-1, {64, 64, 64, 8}}, {9, {64, 64, 64, 8}}};
    for (const row &r : rows) {
        ASSERT_EQ(quorvex_fake_drip(kUrl, 200, body.data(), body.size(), r.chunks), 0);
        outcome o = fake("GET", kUrl);
        ASSERT_EQ(o.result, 0);
        EXPECT_EQ(o.status, 200);
        EXPECT_EQ(o.header("Content-Type"), "application/octet-stream");
        EXPECT_EQ(o.pieces, r.sizes) << r.chunks;
        EXPECT_EQ(o.body, body.substr(0, o.body.size()));
    }
}

TEST_F(Fake, DripStopsWhenTheSinkDoes) {
    const std::string body(200, 'd');
    ASSERT_EQ(quorvex_fake_drip(kUrl, 206, body.data(), body.size(), 0), 0);
    outcome stopped = fake({.url = kUrl, .stop_body = 0});
    ASSERT_EQ(stopped.result, 0);
    EXPECT_EQ(stopped.status, 206);
    EXPECT_EQ(stopped.pieces.size(), 1u);
    outcome quiet = fake({.url = kUrl, .stop_header = 0});
    ASSERT_EQ(quiet.result, 0);
    EXPECT_TRUE(quiet.pieces.empty());
    ASSERT_EQ(quorvex_fake_drip(kUrl, 204, nullptr, 0, 0), 0);
    outcome empty = fake("GET", kUrl);
    ASSERT_EQ(empty.result, 0);
    EXPECT_EQ(empty.status, 204);
    EXPECT_EQ(empty.headers.size(), 2u);
    EXPECT_TRUE(empty.pieces.empty());
}

// A request shares the route's body and copies only the header text, as its
// last allocation (not for a file route, whose header text needs none): a
// failed copy drops the headers and the body, never the answer.
TEST_F(Fake, FailedCopiesDropTheBodyNeverTheAnswer) {
    const std::string body(150, 'c');
    struct row {
        int kind;  // 0 canned, 1 drip, 2 file
        long from_end;
        size_t headers;
        bool has_body;
    };
    const row rows[] = {{0, 0, 1, false}, {1, 0, 1, false}, {2, 0, 3, true}};
    for (const row &r : rows) {
        quorvex_fake_reset();
        int scripted = r.kind == 0   ? quorvex_fake_set("GET", kUrl, 200, "A: 1\nB: 2\n", body.data(), body.size())
                       : r.kind == 1 ? quorvex_fake_drip(kUrl, 200, body.data(), body.size(), 0)
                                     : quorvex_fake_file(kUrl, body.data(), body.size(), 1);
        ASSERT_EQ(scripted, 0);
        long before = vq_alloc_count();
        fake({.url = kUrl, .sinks = false});
        long used = vq_alloc_count() - before;
        vq_alloc_fail_nth(used - r.from_end);
        outcome o = fake("GET", kUrl);
        EXPECT_TRUE(vq_alloc_fault_hit());
        vq_alloc_disarm();
        EXPECT_EQ(o.result, 0);
        EXPECT_EQ(o.status, 200);
        EXPECT_EQ(o.headers.size(), r.headers) << r.kind << "/" << r.from_end;
        EXPECT_EQ(o.body, r.has_body ? body : "") << r.kind << "/" << r.from_end;
    }
}

TEST_F(Fake, DescribesTheLastRequest) {
    fake({.url = kUrl, .sinks = false});
    EXPECT_STREQ(quorvex_fake_last_request(),
                 "{\"method\":\"GET\",\"url\":\"http://fake.test/a\",\"headers\":[],\"body_len\":0,\"credentials\":false}");
    fake({.method = "POST",
          .url = "http://fake.test/\"p\"",
          .headers = {"X-Q: say \"hi\"", nullptr, "Ctl: a\nb\x01\\ \x7F\xC3\xA9"},
          .body = "12345",
          .username = "user",
          .sinks = false});
    EXPECT_STREQ(quorvex_fake_last_request(),
                 "{\"method\":\"POST\",\"url\":\"http://fake.test/\\\"p\\\"\",\"headers\":[\"X-Q: say \\\"hi\\\"\",\"\","
                 "\"Ctl: a\\u000ab\\u0001\\\\ \x7F\xC3\xA9\"],\"body_len\":5,\"credentials\":true}");
    EXPECT_EQ(quorvex_fake_writes_sent(), 1);
}

TEST_F(Fake, WriteMethodsAreCounted) {
    const char *writes[] = {"PUT", "MKCOL", "DELETE", "MOVE", "COPY", "PROPPATCH", "LOCK", "UNLOCK", "POST"};
    const char *reads[] = {"GET", "HEAD", "OPTIONS", "PROPFIND", "post"};
    for (const char *m : writes) fake(m, kUrl);
    for (const char *m : reads) fake(m, kUrl);
    EXPECT_EQ(quorvex_fake_writes_sent(), 9);
    EXPECT_EQ(quorvex_fake_calls(nullptr, kUrl), 14);
}
// Delivery runs without the lock, so a sink may script and count.
TEST_F(Fake, SinksMayCallTheFake) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, "A: 1\n", "x", 1), 0);
    auto rescript = [](void *, const char *, const char *) {
        quorvex_fake_calls("GET", kUrl);
        return quorvex_fake_set("GET", kUrl, 500, nullptr, nullptr, 0);
    };
    const call c{.url = kUrl, .sinks = false, .edit = [&](quorvex_http_req &r) { r.on_header = rescript; }};
    EXPECT_EQ(fake(c).status, 200);
    EXPECT_EQ(fake(c).status, 500);
}

// Requests on several threads while the route is re-scripted: each sees one
// version of the answer whole.
TEST_F(Fake, ConcurrentRequestsSeeWholeAnswers) {
    const std::string a(1000, 'a'), b(70000, 'b');
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, "V: a\n", a.data(), a.size()), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, done{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            while (!stop) {
                outcome o = fake("GET", kUrl);
                const std::string v = o.header("V"), &body = o.body;
                if (!((v == "a" && body == a) || (v == "b" && body == b))) ++torn;
                ++done;
            }
        });
    for (int i = 0; i < 300 || (done < 30 && i < 10000000); ++i) {
        const std::string &next = i % 2 ? a : b;
        quorvex_fake_set("GET", kUrl, 200, i % 2 ? "V: a\n" : "V: b\n", next.data(), next.size());
    }
    stop = true;
    for (auto &t : threads) t.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), done.load());
}
}  // namespace
