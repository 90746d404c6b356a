#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/alloc.h"
#include "http/http.h"
#include "recorder.h"

namespace {
const char *kUrl = "http://fake.test/a";

class Fake : public ::testing::Test {
protected:
    void SetUp() override { quorvex_fake_reset(); }
    void TearDown() override { quorvex_fake_reset(); }

    // Runs method on url with optional header lines; answers the result.
    int run(const char *method, const char *url, recorder *rec, int *status,
            std::vector<const char *> lines = {}, std::string *err = nullptr) {
        quorvex_http_req req = make_req(method, url, rec, &lines);
        return fake_run(req, status, err);
    }
};

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
    recorder rec;
    int status = -1;
    EXPECT_EQ(run("GET", "http://fake.test/other", &rec, &status), 0);
    EXPECT_EQ(status, 404);
    ASSERT_EQ(rec.headers.size(), 1u);
    EXPECT_EQ(rec.headers[0], (std::pair<std::string, std::string>(":status", "404")));
    EXPECT_TRUE(rec.pieces.empty());
    EXPECT_EQ(quorvex_fake_calls(nullptr, nullptr), 1);
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 0);
}

TEST_F(Fake, CannedAnswerDeliversStatusHeadersAndBody) {
    const char *hdrs = "Content-Type: text/plain\r\nno colon here\nX-Spaced:    v  \nEmpty:\n";
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 203, hdrs, "hello", 5), 0);
    recorder rec;
    int status = 0;
    ASSERT_EQ(run("GET", kUrl, &rec, &status), 0);
    EXPECT_EQ(status, 203);
    std::vector<std::pair<std::string, std::string>> want = {
        {":status", "203"}, {"Content-Type", "text/plain"}, {"X-Spaced", "v  "}, {"Empty", ""}};
    EXPECT_EQ(rec.headers, want);
    EXPECT_EQ(rec.body(), "hello");
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 1);
}

TEST_F(Fake, OversizedHeaderLinesAreSkipped) {
    std::string hdrs = "Long: " + std::string(600, 'v') + "\n" + std::string(128, 'N') + ": x\n" +
                       std::string(127, 'n') + ": " + std::string(511, 'w') + "\nNext: ok\n";
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, hdrs.c_str(), nullptr, 0), 0);
    recorder rec;
    int status = 0;
    ASSERT_EQ(run("GET", kUrl, &rec, &status), 0);
    ASSERT_EQ(rec.headers.size(), 3u);
    EXPECT_EQ(rec.headers[1].first, std::string(127, 'n'));
    EXPECT_EQ(rec.headers[1].second.size(), 511u);
    EXPECT_EQ(rec.headers[2], (std::pair<std::string, std::string>("Next", "ok")));
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
        recorder rec;
        rec.stop_header_at = r.stop_header;
        rec.stop_body_at = r.stop_body;
        int status = 0;
        EXPECT_EQ(run("GET", kUrl, &rec, &status), 0);
        EXPECT_EQ(status, 200);
        EXPECT_EQ(rec.headers.size(), r.headers) << r.stop_header << "/" << r.stop_body;
        EXPECT_EQ(rec.body(), big.substr(0, rec.pieces.size() * 65536));
        EXPECT_EQ(rec.pieces.size(), r.pieces) << r.stop_header << "/" << r.stop_body;
        if (r.pieces) {
            EXPECT_EQ(rec.pieces[0].size(), 65536u);
        }
    }
}

TEST_F(Fake, NullSinksStillReportTheStatus) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 201, "A: 1\n", "x", 1), 0);
    int status = 0;
    EXPECT_EQ(run("GET", kUrl, nullptr, &status), 0);
    EXPECT_EQ(status, 201);
}

TEST_F(Fake, HeadFallsBackToTheGetRoute) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, "A: 1\n", "body", 4), 0);
    recorder rec;
    int status = 0;
    ASSERT_EQ(run("HEAD", kUrl, &rec, &status), 0);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(rec.body(), "body");  // a canned body goes out for HEAD too
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 1);
    EXPECT_EQ(quorvex_fake_calls("HEAD", kUrl), 0);
    EXPECT_EQ(quorvex_fake_calls_method("GET"), 1);
    EXPECT_EQ(quorvex_fake_calls_method("HEAD"), 0);
    EXPECT_EQ(run("PUT", kUrl, &rec, &status), 0);
    EXPECT_EQ(status, 404);  // only HEAD falls back
}

TEST_F(Fake, ScriptedFailures) {
    ASSERT_EQ(quorvex_fake_fail("GET", kUrl, "dns says no"), 0);
    ASSERT_EQ(quorvex_fake_fail("ANY THING", "http://fake.test/b", nullptr), 0);
    recorder rec;
    int status = -1;
    std::string err;
    EXPECT_EQ(run("GET", kUrl, &rec, &status, {}, &err), -1);
    EXPECT_EQ(err, "dns says no");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(rec.headers.empty());
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 1);
    ASSERT_EQ(quorvex_fake_fail("GET", kUrl, nullptr), 0);
    EXPECT_EQ(run("GET", kUrl, &rec, &status, {}, &err), -1);
    EXPECT_EQ(err, "fake: transport failure");
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 2);
}

TEST_F(Fake, BadRequestsAreRefusedUncounted) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, nullptr, nullptr, 0), 0);
    recorder rec;
    int status = -1;
    std::string err;
    EXPECT_EQ(run("GE T", kUrl, &rec, &status, {}, &err), -1);
    EXPECT_EQ(err, "fake: bad method");
    EXPECT_EQ(run("GET", nullptr, &rec, &status, {}, &err), -1);
    EXPECT_EQ(err, "fake: bad request");
    EXPECT_EQ(run(nullptr, kUrl, &rec, &status, {}, &err), -1);
    EXPECT_EQ(err, "fake: bad request");
    quorvex_http_req small = make_req("GET", kUrl, &rec);
    small.size = 111;
    EXPECT_EQ(fake_run(small, &status, &err), -1);
    EXPECT_EQ(err, "fake: bad request");
    const quorvex_http *h = quorvex_http_fake();
    char *e = nullptr;
    EXPECT_EQ(h->request(nullptr, nullptr, &status, &e), -1);
    EXPECT_STREQ(e, "fake: bad request");
    h->free_buf(nullptr, e);
    EXPECT_EQ(h->request(nullptr, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(rec.headers.empty());
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
    int status = 0;
    EXPECT_EQ(run("GET", kUrl, nullptr, &status), 0);
    EXPECT_EQ(status, 404);
}

TEST_F(Fake, RescriptingKeepsCallsAndResetForgetsAll) {
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, nullptr, "one", 3), 0);
    int status = 0;
    recorder first;
    run("GET", kUrl, &first, &status);
    run("POST", kUrl, nullptr, &status);
    ASSERT_EQ(quorvex_fake_set("GET", kUrl, 500, "A: b\n", "two", 3), 0);
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 1);
    recorder second;
    run("GET", kUrl, &second, &status);
    EXPECT_EQ(status, 500);
    EXPECT_EQ(second.body(), "two");
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 2);
    EXPECT_EQ(quorvex_fake_calls(kUrl, nullptr), 3);
    EXPECT_EQ(quorvex_fake_calls_method(nullptr), 3);
    EXPECT_EQ(quorvex_fake_writes_sent(), 1);
    quorvex_fake_reset();
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), 0);
    EXPECT_EQ(quorvex_fake_calls(nullptr, nullptr), 0);
    EXPECT_EQ(quorvex_fake_writes_sent(), 0);
    EXPECT_EQ(quorvex_fake_last_request(), nullptr);
    run("GET", kUrl, nullptr, &status);
    EXPECT_EQ(status, 404);
}

TEST_F(Fake, TableHolds256Routes) {
    for (int i = 0; i < 256; ++i) {
        std::string url = "http://fake.test/" + std::to_string(i);
        ASSERT_EQ(quorvex_fake_set("GET", url.c_str(), 200, nullptr, nullptr, 0), 0) << i;
    }
    EXPECT_EQ(quorvex_fake_set("GET", "http://fake.test/256", 200, nullptr, nullptr, 0), -1);
    EXPECT_EQ(quorvex_fake_fail("POST", "http://fake.test/0", nullptr), -1);
    EXPECT_EQ(quorvex_fake_set("GET", "http://fake.test/17", 201, nullptr, "r", 1), 0);
    int status = 0;
    run("GET", "http://fake.test/17", nullptr, &status);
    EXPECT_EQ(status, 201);
    run("GET", "http://fake.test/256", nullptr, &status);
    EXPECT_EQ(status, 404);
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
    std::vector<const char *> lines = {"Accept: */*"};
    if (r.line) lines.push_back(r.line);
    recorder rec;
    int status = 0;
    ASSERT_EQ(run("GET", kUrl, &rec, &status, lines), 0);
    EXPECT_EQ(status, r.status);
    EXPECT_EQ(rec.header("Content-Range"), r.content_range);
    EXPECT_EQ(rec.body(), body.substr(r.first, r.count));
    if (r.status == 200) {
        EXPECT_EQ(rec.header("Content-Length"), "100");
        EXPECT_EQ(rec.header("Accept-Ranges"), "bytes");
    }
    if (r.status == 206) {
        EXPECT_EQ(rec.header("Content-Length"), std::to_string(r.count));
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
    recorder head;
    int status = 0;
    ASSERT_EQ(run("HEAD", kUrl, &head, &status, {"Range: bytes=10-19"}), 0);
    EXPECT_EQ(status, 206);
    EXPECT_EQ(head.header("Content-Range"), "bytes 10-19/100");
    EXPECT_TRUE(head.pieces.empty());
    struct backwards {
        const char *line, *range, *length;
    };
    const backwards rows[] = {{"Range: bytes=5-3", "bytes 5-3/100", "-1"},
                              {"Range: bytes=5--9223372036854775808", "bytes 5--9223372036854775808/100",
                               "9223372036854775804"}};  // wrapped, not undefined
    for (const backwards &r : rows) {
        recorder rec;
        ASSERT_EQ(run("GET", kUrl, &rec, &status, {r.line}), 0);
        EXPECT_EQ(status, 206);
        EXPECT_EQ(rec.header("Content-Range"), r.range);
        EXPECT_EQ(rec.header("Content-Length"), r.length);
        EXPECT_TRUE(rec.pieces.empty());
    }
    ASSERT_EQ(quorvex_fake_file("http://fake.test/empty", nullptr, 0, 1), 0);
    for (const char *line : {"Range: bytes=0-", "Range: bytes=-5"}) {
        recorder rec;
        run("GET", "http://fake.test/empty", &rec, &status, {line});
        EXPECT_EQ(status, 416) << line;
        EXPECT_EQ(rec.header("Content-Range"), "bytes */0");
        EXPECT_TRUE(rec.pieces.empty());
    }
    recorder whole;
    run("GET", "http://fake.test/empty", &whole, &status);
    EXPECT_EQ(status, 200);
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
        recorder rec;
        int status = 0;
        ASSERT_EQ(run("GET", kUrl, &rec, &status), 0);
        EXPECT_EQ(status, 200);
        EXPECT_EQ(rec.header("Content-Type"), "application/octet-stream");
        std::vector<size_t> sizes;
        for (const auto &p : rec.pieces) sizes.push_back(p.size());
        EXPECT_EQ(sizes, r.sizes) << r.chunks;
    }
}

TEST_F(Fake, DripStopsWhenTheSinkDoes) {
    const std::string body(200, 'd');
    ASSERT_EQ(quorvex_fake_drip(kUrl, 206, body.data(), body.size(), 0), 0);
    recorder rec;
    rec.stop_body_at = 0;
    int status = 0;
    ASSERT_EQ(run("GET", kUrl, &rec, &status), 0);
    EXPECT_EQ(status, 206);
    EXPECT_EQ(rec.pieces.size(), 1u);
    recorder quiet;
    quiet.stop_header_at = 0;
    ASSERT_EQ(run("GET", kUrl, &quiet, &status), 0);
    EXPECT_TRUE(quiet.pieces.empty());
    ASSERT_EQ(quorvex_fake_drip(kUrl, 204, nullptr, 0, 0), 0);
    recorder empty;
    ASSERT_EQ(run("GET", kUrl, &empty, &status), 0);
    EXPECT_EQ(status, 204);
    EXPECT_EQ(empty.headers.size(), 2u);
    EXPECT_TRUE(empty.pieces.empty());
}

// The copies a request takes are its last allocations: the body's, before it
// the header text's (not for a file route, whose header text needs none).
TEST_F(Fake, FailedCopiesDropTheBodyNeverTheAnswer) {
    const std::string body(150, 'c');
    struct row {
        int kind;  // 0 canned, 1 drip, 2 file
        long from_end;
        size_t headers;
        bool has_body;
    };
    const row rows[] = {{0, 0, 3, false}, {0, 1, 1, false}, {1, 0, 2, false},
                        {1, 1, 1, false}, {2, 0, 3, false}, {2, 1, 3, true}};
    for (const row &r : rows) {
        quorvex_fake_reset();
        int scripted = r.kind == 0   ? quorvex_fake_set("GET", kUrl, 200, "A: 1\nB: 2\n", body.data(), body.size())
                       : r.kind == 1 ? quorvex_fake_drip(kUrl, 200, body.data(), body.size(), 0)
                                     : quorvex_fake_file(kUrl, body.data(), body.size(), 1);
        ASSERT_EQ(scripted, 0);
        int status = 0;
        long before = vq_alloc_count();
        run("GET", kUrl, nullptr, &status);
        long used = vq_alloc_count() - before;
        recorder rec;
        vq_alloc_fail_nth(used - r.from_end);
        EXPECT_EQ(run("GET", kUrl, &rec, &status), 0);
        vq_alloc_disarm();
        EXPECT_EQ(status, 200);
        EXPECT_EQ(rec.headers.size(), r.headers) << r.kind << "/" << r.from_end;
        EXPECT_EQ(rec.body(), r.has_body ? body : "") << r.kind << "/" << r.from_end;
    }
}

TEST_F(Fake, DescribesTheLastRequest) {
    quorvex_http_req req = make_req("GET", kUrl, nullptr);
    int status = 0;
    fake_run(req, &status);
    EXPECT_STREQ(quorvex_fake_last_request(),
                 "{\"method\":\"GET\",\"url\":\"http://fake.test/a\",\"headers\":[],\"body_len\":0,\"credentials\":false}");
    std::vector<const char *> lines = {"X-Q: say \"hi\"", nullptr, "Ctl: a\nb\x01\\ \x7F\xC3\xA9"};
    req = make_req("POST", "http://fake.test/\"p\"", nullptr, &lines);
    req.body = "12345";
    req.body_len = 5;
    req.username = "user";
    fake_run(req, &status);
    EXPECT_STREQ(quorvex_fake_last_request(),
                 "{\"method\":\"POST\",\"url\":\"http://fake.test/\\\"p\\\"\",\"headers\":[\"X-Q: say \\\"hi\\\"\",\"\","
                 "\"Ctl: a\\u000ab\\u0001\\\\ \x7F\xC3\xA9\"],\"body_len\":5,\"credentials\":true}");
    EXPECT_EQ(quorvex_fake_writes_sent(), 1);
}

TEST_F(Fake, WriteMethodsAreCounted) {
    const char *writes[] = {"PUT", "MKCOL", "DELETE", "MOVE", "COPY", "PROPPATCH", "LOCK", "UNLOCK", "POST"};
    const char *reads[] = {"GET", "HEAD", "OPTIONS", "PROPFIND", "post"};
    int status = 0;
    for (const char *m : writes) run(m, kUrl, nullptr, &status);
    for (const char *m : reads) run(m, kUrl, nullptr, &status);
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
    quorvex_http_req req = make_req("GET", kUrl, nullptr);
    req.on_header = rescript;
    int status = 0;
    ASSERT_EQ(fake_run(req, &status), 0);
    EXPECT_EQ(status, 200);
    ASSERT_EQ(fake_run(req, &status), 0);
    EXPECT_EQ(status, 500);
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
                recorder rec;
                int status = 0;
                run("GET", kUrl, &rec, &status);
                std::string v = rec.header("V"), body = rec.body();
                if (!((v == "a" && body == a) || (v == "b" && body == b))) ++torn;
                ++done;
            }
        });
    for (int i = 0; i < 300 || done < 30; ++i) {
        const std::string &next = i % 2 ? a : b;
        quorvex_fake_set("GET", kUrl, 200, i % 2 ? "V: a\n" : "V: b\n", next.data(), next.size());
    }
    stop = true;
    for (auto &t : threads) t.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(quorvex_fake_calls("GET", kUrl), done.load());
}
}  // namespace
