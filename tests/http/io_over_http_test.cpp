#include <gtest/gtest.h>

#include <string>

#include "common/alloc.h"
#include "http/fake.h"
#include "http/transports.h"
#include "stub_transport.h"

namespace {
struct outcome {
    int rc = 0;
    int status = -1;
    bool body_null = true;
    std::string body;
    std::string err;
};

outcome finish(const quorvex_io *io, int rc, int status, char *body, char *err) {
    outcome o;
    o.rc = rc;
    o.status = status;
    o.body_null = body == nullptr;
    o.body = body ? body : "";
    o.err = err ? err : "";
    io->free_buf(io->ctx, body);
    io->free_buf(io->ctx, err);
    return o;
}

outcome get(const quorvex_io *io, const char *url, void *ctx = nullptr) {
    char *body = reinterpret_cast<char *>(1), *err = nullptr;
    int status = -1;
    int rc = io->get(ctx ? ctx : io->ctx, url, &body, &status, &err);
    return finish(io, rc, status, body, err);
}

outcome post(const quorvex_io *io, const char *url, const char *text, const char *type) {
    char *body = nullptr, *err = nullptr;
    int status = -1;
    int rc = io->post(io->ctx, url, text, type, &body, &status, &err);
    return finish(io, rc, status, body, err);
}

class Adapter : public ::testing::Test {
protected:
    void SetUp() override { quorvex_fake_reset(); }
    void TearDown() override { quorvex_fake_reset(); }
    stub_transport stub;
};

TEST_F(Adapter, BuildsOneRecordOverTheTransport) {
    const quorvex_io *io = quorvex_io_over_http(&stub.record, &stub);
    ASSERT_NE(io, nullptr);
    auto *ctx = static_cast<const quorvex_http_ctx *>(io->ctx);
    EXPECT_EQ(ctx->magic, 0x53485848u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&ctx->magic), 4), "HXHS");
    EXPECT_EQ(ctx->length, 24u);
    EXPECT_EQ(ctx->http, &stub.record);
    EXPECT_EQ(ctx->opaque, &stub);
    EXPECT_EQ(quorvex_http_of(io), &stub.record);
    EXPECT_EQ(quorvex_io_over_http(nullptr, nullptr), nullptr);
    EXPECT_EQ(ctx->http, &stub.record);  // a null transport changes nothing
    EXPECT_EQ(ctx->opaque, &stub);
}

TEST_F(Adapter, BadRecordsMeanNoTransport) {
    const quorvex_io *io = quorvex_io_over_http(&stub.record, nullptr);
    struct row {
        const char *what;
        uint32_t magic, length;
        bool http;
        uint32_t size, version;
        bool request;
    };
    const row rows[] = {{"length 23", 0x53485848, 23, true, 32, 1, true},
                        {"wrong magic", 0x48584853, 24, true, 32, 1, true},
                        {"null http", 0x53485848, 24, false, 32, 1, true},
                        {"size 31", 0x53485848, 24, true, 31, 1, true},
                        {"version 2", 0x53485848, 24, true, 32, 2, true},
                        {"null request", 0x53485848, 24, true, 32, 1, false}};
    for (const row &r : rows) {
        quorvex_http http = stub.record;
        http.size = r.size;
        http.version = r.version;
        if (!r.request) http.request = nullptr;
        quorvex_http_ctx ctx{r.magic, r.length, r.http ? &http : nullptr, nullptr};
        quorvex_io custom = *io;
        custom.ctx = &ctx;
        EXPECT_EQ(quorvex_http_from_ctx(&ctx), nullptr) << r.what;
        EXPECT_EQ(quorvex_http_of(&custom), nullptr) << r.what;
        outcome o = get(io, "http://s/x", &ctx);
        EXPECT_EQ(o.rc, -1) << r.what;
        EXPECT_EQ(o.err, "io_over_http: no transport installed");
        EXPECT_TRUE(o.body_null);
        EXPECT_EQ(o.status, -1) << "the status is not touched";
    }
    quorvex_http_ctx longer{0x53485848, 40, &stub.record, nullptr};
    EXPECT_EQ(quorvex_http_from_ctx(&longer), &stub.record);
    quorvex_io no_ctx = *io;
    no_ctx.ctx = nullptr;
    EXPECT_EQ(quorvex_http_of(&no_ctx), nullptr);
    EXPECT_EQ(quorvex_http_of(nullptr), nullptr);
    EXPECT_EQ(quorvex_http_from_ctx(nullptr), nullptr);
    EXPECT_EQ(stub.calls, 0);
}

TEST_F(Adapter, GetHandsOutTheBodyWhateverTheStatus) {
    const quorvex_io *io = quorvex_io_over_http(&stub.record, nullptr);
    struct row {
        int status;
        std::string body;
        size_t piece;
    };
    const row rows[] = {{404, "not here", 3}, {200, "", 64}, {200, std::string(5000, 'z'), 7}, {301, "a\0b", 64}};
    for (const row &r : rows) {
        stub.status = r.status;
        stub.body = r.body;
        stub.piece = r.piece;
        outcome o = get(io, "http://s/x");
        EXPECT_EQ(o.rc, 0);
        EXPECT_EQ(o.status, r.status);
        EXPECT_FALSE(o.body_null);
        EXPECT_EQ(o.body, std::string(r.body.c_str()));  // read as a text, up to a NUL
        EXPECT_EQ(stub.method, "GET");
        EXPECT_EQ(stub.url, "http://s/x");
        EXPECT_TRUE(stub.headers.empty());
        EXPECT_FALSE(stub.body_set);
    }
}

TEST_F(Adapter, PostSendsTheTextWithOneContentTypeLine) {
    const quorvex_io *io = quorvex_io_over_http(&stub.record, nullptr);
    stub.body = "ok";
    struct row {
        const char *text, *type;
        const char *line;
    };
    const row rows[] = {{nullptr, nullptr, "Content-Type: application/x-www-form-urlencoded"},
                        {"a=1&b=2", nullptr, "Content-Type: application/x-www-form-urlencoded"},
                        {"{\"k\":1}", "application/json", "Content-Type: application/json"}};
    for (const row &r : rows) {
        outcome o = post(io, "http://s/p", r.text, r.type);
        EXPECT_EQ(o.rc, 0);
        EXPECT_EQ(o.body, "ok");
        EXPECT_EQ(stub.method, "POST");
        ASSERT_EQ(stub.headers.size(), 1u);
        EXPECT_EQ(stub.headers[0], r.line);
        EXPECT_TRUE(stub.body_set);
        EXPECT_EQ(stub.sent, r.text ? r.text : "");
    }
}

TEST_F(Adapter, BadContentTypeNeverReachesTheTransport) {
    const quorvex_io *io = quorvex_io_over_http(quorvex_http_fake(), nullptr);
    const std::string long_type(300, 't');
    for (const char *type : {"text/plain\nX-Evil: 1", "a\tb", long_type.c_str()}) {
        outcome o = post(io, "http://f/p", "x", type);
        EXPECT_EQ(o.rc, -1);
        EXPECT_EQ(o.err, "bad content type");
        EXPECT_TRUE(o.body_null);
    }
    EXPECT_EQ(quorvex_fake_calls(nullptr, nullptr), 0);
    EXPECT_EQ(quorvex_fake_writes_sent(), 0);
}

TEST_F(Adapter, PostOverTheFakeIsDescribed) {
    const quorvex_io *io = quorvex_io_over_http(quorvex_http_fake(), nullptr);
    ASSERT_EQ(quorvex_fake_set("POST", "http://f/p", 201, nullptr, "made", 4), 0);
    outcome o = post(io, "http://f/p", nullptr, nullptr);
    EXPECT_EQ(o.rc, 0);
    EXPECT_EQ(o.status, 201);
    EXPECT_EQ(o.body, "made");
    EXPECT_STREQ(quorvex_fake_last_request(),
                 "{\"method\":\"POST\",\"url\":\"http://f/p\",\"headers\":[\"Content-Type: "
                 "application/x-www-form-urlencoded\"],\"body_len\":0,\"credentials\":false}");
    EXPECT_EQ(quorvex_fake_writes_sent(), 1);
}

TEST_F(Adapter, TransportFailurePassesThrough) {
    const quorvex_io *io = quorvex_io_over_http(&stub.record, nullptr);
    stub.result = -1;
    stub.err = "connect refused";
    outcome o = get(io, "http://s/x");
    EXPECT_EQ(o.rc, -1);
    EXPECT_EQ(o.err, "connect refused");
    EXPECT_TRUE(o.body_null);
}

TEST_F(Adapter, RetargetingMovesEveryRecordHandedOut) {
    const quorvex_io *first = quorvex_io_over_http(&stub.record, nullptr);
    ASSERT_EQ(quorvex_fake_set("GET", "http://f/x", 200, nullptr, "from fake", 9), 0);
    const quorvex_io *second = quorvex_io_over_http(quorvex_http_fake(), nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(get(first, "http://f/x").body, "from fake");
    EXPECT_EQ(get(second, "http://f/x").body, "from fake");
    EXPECT_EQ(stub.calls, 0);
    EXPECT_EQ(quorvex_fake_calls("GET", "http://f/x"), 2);
}

// A body that could not be kept whole must not come back as a success.
TEST_F(Adapter, ShortBodyIsAnOutOfMemoryFailure) {
    const quorvex_io *io = quorvex_io_over_http(&stub.record, nullptr);
    struct row {
        size_t size, piece;
        long fail_nth;  // which allocation of the exchange fails
        const char *err_on_success;
    };
    // 300 bytes in 100-byte pieces: growth to 128 or 256 fails; 63 bytes: the
    // final NUL's growth fails; a text the transport left in *err is released
    // (its copy is the exchange's first allocation).
    const row rows[] = {{300, 100, 2, nullptr}, {300, 100, 1, nullptr}, {63, 63, 2, nullptr},
                        {300, 100, 3, "leftover"}};
    for (const row &r : rows) {
        stub.body = std::string(r.size, 'q');
        stub.piece = r.piece;
        stub.err = r.err_on_success;
        vq_alloc_fail_nth(r.fail_nth);
        outcome o = get(io, "http://s/x");
        vq_alloc_disarm();
        EXPECT_EQ(o.rc, -1) << r.size << "/" << r.fail_nth;
        EXPECT_EQ(o.err, "oom");
        EXPECT_TRUE(o.body_null);
    }
}
}  // namespace
