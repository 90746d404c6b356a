// The libcurl transport against a real nginx on 127.0.0.1: validators and
// 304 on revalidation, gzip on request only, redirects delivered as they
// are, auth_basic, a self-signed certificate refused, and many threads at
// once.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "exchange.h"
#include "nginx_server.h"

namespace {

constexpr const char *k_list = "/pages-2023-01/index.country.m3u";
constexpr const char *k_small = "/channels-2019-05/af.m3u";

std::string corpus_file(const char *path) {
    std::ifstream in(std::string(QVX_CORPUS_DIR) + path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CurlNginx : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<nginx_server>(); }
    static void TearDownTestSuite() { server_.reset(); }
    void SetUp() override { ASSERT_TRUE(server_->ok()) << server_->error(); }

    static outcome get(const std::string &url, std::vector<header_line> headers = {}, uint32_t flags = 0) {
        call c;
        c.url = url;
        c.headers = std::move(headers);
        c.flags = flags;
        return perform(c);
    }

    static std::unique_ptr<nginx_server> server_;
};

std::unique_ptr<nginx_server> CurlNginx::server_;

TEST_F(CurlNginx, ValidatorsAndNotModified) {
    outcome first = get(server_->http(k_list));
    ASSERT_EQ(first.result, 0) << first.err;
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(first.body, corpus_file(k_list));
    std::string etag = first.header("ETag"), modified = first.header("Last-Modified");
    ASSERT_FALSE(etag.empty());
    ASSERT_FALSE(modified.empty());
    for (const std::string &line : {"If-None-Match: " + etag, "If-Modified-Since: " + modified}) {
        outcome again = get(server_->http(k_list), {line});
        ASSERT_EQ(again.result, 0) << again.err;
        EXPECT_EQ(again.status, 304) << line;
        EXPECT_EQ(again.header(":status"), "304") << line;
        EXPECT_EQ(again.header("ETag"), etag) << line;
        EXPECT_TRUE(again.pieces.empty()) << line;
    }
}

TEST_F(CurlNginx, GzipOnlyWhenAskedFor) {
    outcome plain = get(server_->http(k_list));
    outcome packed = get(server_->http(k_list), {}, QVX_HTTP_FLAG_COMPRESSION);
    ASSERT_EQ(plain.result, 0) << plain.err;
    ASSERT_EQ(packed.result, 0) << packed.err;
    EXPECT_EQ(plain.header("Content-Encoding"), "");
    EXPECT_EQ(packed.header("Content-Encoding"), "gzip");
    EXPECT_EQ(packed.body, plain.body);
    EXPECT_EQ(plain.body, corpus_file(k_list));
}

TEST_F(CurlNginx, RedirectsDeliveredAsTheyAre) {
    outcome one = get(server_->http("/r/one"));
    ASSERT_EQ(one.result, 0) << one.err;
    EXPECT_EQ(one.status, 301);
    EXPECT_EQ(one.header("Location"), server_->http("/r/two"));
    outcome two = get(one.header("Location"));
    EXPECT_EQ(two.status, 302);
    EXPECT_EQ(two.header("Location"), server_->http(k_list));
}

TEST_F(CurlNginx, NotFound) {
    outcome out = get(server_->http("/no/such.m3u"));
    ASSERT_EQ(out.result, 0) << out.err;
    EXPECT_EQ(out.status, 404);
    EXPECT_FALSE(out.body.empty());
}

struct basic_case {
    const char *user;
    const char *password;
    int status;
};

TEST_F(CurlNginx, AuthBasic) {
    const basic_case cases[] = {
        {nullptr, nullptr, 401},
        {nginx_server::user, nginx_server::password, 200},
        {nginx_server::user, "wrong", 401},
        {"someone", nginx_server::password, 401},
    };
    for (const basic_case &t : cases) {
        call c;
        c.url = server_->http(std::string("/private") + k_small);
        c.username = t.user;
        c.password = t.password;
        outcome out = perform(c);
        ASSERT_EQ(out.result, 0) << out.err;
        EXPECT_EQ(out.status, t.status) << (t.user ? t.user : "(none)");
        EXPECT_EQ(out.count(":status"), 1);
        if (t.status == 200) {
            EXPECT_EQ(out.body, corpus_file(k_small));
        }
    }
}

TEST_F(CurlNginx, SelfSignedCertificateRefused) {
    outcome out = get(server_->https(k_small));
    EXPECT_EQ(out.result, -1);
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.err, "tls failed: SSL certificate problem: self-signed certificate (60)");
    EXPECT_TRUE(out.headers.empty());
}

TEST_F(CurlNginx, ManyThreadsAtOnce) {
    constexpr int threads = 8, rounds = 6;
    const std::string want = corpus_file(k_small);
    std::vector<std::thread> pool;
    std::vector<int> good(threads, 0);
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                outcome out = get(server_->http(k_small), {}, i % 2 ? QVX_HTTP_FLAG_COMPRESSION : 0);
                good[t] += out.result == 0 && out.status == 200 && out.body == want;
            }
        });
    }
    for (std::thread &t : pool) t.join();
    for (int t = 0; t < threads; ++t) EXPECT_EQ(good[t], rounds) << "thread " << t;
}

}  // namespace
