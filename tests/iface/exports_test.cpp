// The exported face as a host sees it: table, identity, the download refusal
// and the choice of I/O record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "http/transports.h"
#include "quorvex_iptv.h"
#include "source_client/api/io_select.h"

using namespace vqc;

namespace {

TEST(HandlerTable, CarriesTheFixedIdentity) {
    const source_handler *h = vqrch_get();
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(h->runtime_type, "IPTV");
    EXPECT_EQ(h->caps, 0x23u);
    EXPECT_TRUE(h->validate && h->list && h->stream_url && h->download);
    EXPECT_EQ(vqiptv_caps(), 35u);
    EXPECT_STREQ(vqiptv_runtime_type(), "IPTV");
    EXPECT_STREQ(vqiptv_version(), "1.1.0");
}

TEST(Download, IsAlwaysRefused) {
    char out[128];
    EXPECT_EQ(vqiptv_download("a", "b", out, sizeof out), -6);
    EXPECT_STREQ(out, "{\"error\":\"IPTV sources do not download\"}");
    EXPECT_STREQ(vqiptv_last_error(), "IPTV sources do not download");
    EXPECT_STREQ(vqiptv_result_json(), out);
    EXPECT_EQ(vqrch_get()->download(nullptr, nullptr, nullptr, nullptr, 0), -6);
    char small[8] = "xxxxxxx";
    EXPECT_EQ(vqiptv_download(nullptr, nullptr, small, sizeof small), -6);
    EXPECT_STREQ(small, "");
}

struct CountingIo {
    static int gets;
    static int get(void *, const char *, char **body, int *status, char **err) {
        ++gets;
        *body = nullptr;
        *status = 0;
        *err = nullptr;
        return -1;
    }
};
int CountingIo::gets = 0;

TEST(IoSelection, SetIoKeepsAPrivateCopy) {
    auto *host = new quorvex_io{reinterpret_cast<void *>(0x1234), CountingIo::get, nullptr, nullptr};
    EXPECT_EQ(vqiptv_set_io(host), 0);
    delete host;  // the library must not depend on the host's record any more
    const quorvex_io *cur = vqiptv_io_current();
    ASSERT_NE(cur, nullptr);
    EXPECT_EQ(cur->ctx, reinterpret_cast<void *>(0x1234));
    EXPECT_EQ(cur->get, &CountingIo::get);
    EXPECT_EQ(vqiptv_set_io(nullptr), 0);
    EXPECT_EQ(vqiptv_io_current(), vqiptv_io_curl());
}

// Every build has a network transport: libcurl on Linux, WinHTTP on Windows.
TEST(IoSelection, UseCurlSelectsThePlatformsNetworkTransport) {
    EXPECT_EQ(vqiptv_use_fake(), 0);
    EXPECT_EQ(vqiptv_use_curl(), 0);
    const quorvex_http *http = quorvex_http_of(vqiptv_io_current());
    ASSERT_NE(http, nullptr);
#ifdef _WIN32
    EXPECT_EQ(http, quorvex_http_winhttp());
    EXPECT_EQ(quorvex_http_curl(), nullptr);
#else
    EXPECT_EQ(http, quorvex_http_curl());
    EXPECT_EQ(quorvex_http_winhttp(), nullptr);
#endif
    EXPECT_EQ(vqiptv_set_io(nullptr), 0);
}

// The shared adapter is one record: asking for the default re-binds it to the
// network transport, even when the fake was selected through it.
TEST(IoSelection, FakeAndDefaultShareTheAdapter) {
    EXPECT_EQ(vqiptv_use_fake(), 0);
    const quorvex_io *fake = vqiptv_io_current();
    ASSERT_NE(fake, nullptr);
    EXPECT_EQ(quorvex_http_of(fake), quorvex_http_fake());
    EXPECT_EQ(vqiptv_set_io(nullptr), 0);
    const quorvex_io *net = vqiptv_io_current();
    if (net) {
        EXPECT_EQ(net, fake);
        EXPECT_NE(quorvex_http_of(net), quorvex_http_fake());
    }
}

std::string get_body(const quorvex_io *io, const char *url, int *status) {
    char *body = nullptr, *err = nullptr;
    int r = io->get(io->ctx, url, &body, status, &err);
    EXPECT_EQ(r, 0) << (err ? err : "");
    std::string s = body ? body : "";
    io->free_buf(io->ctx, body);
    io->free_buf(io->ctx, err);
    return s;
}

TEST(FakeControls, AnswerThroughTheDefaultAdapterAndAHostRecord) {
    vqiptv_fake_reset();
    ASSERT_EQ(vqiptv_fake_set("http://h/p.m3u", 200, "#EXTM3U\n"), 0);
    ASSERT_EQ(vqiptv_use_fake(), 0);
    int status = 0;
    EXPECT_EQ(get_body(vqiptv_io_current(), "http://h/p.m3u", &status), "#EXTM3U\n");
    EXPECT_EQ(status, 200);

    // A host's own record over the fake transport, installed by copy.
    static quorvex_http_ctx ctx{QVX_HTTP_CTX_MAGIC, 24, quorvex_http_fake(), nullptr};
    quorvex_io own = *vqiptv_io_fake();
    own.ctx = &ctx;
    ASSERT_EQ(vqiptv_set_io(&own), 0);
    EXPECT_EQ(get_body(vqiptv_io_current(), "http://h/other", &status), "");
    EXPECT_EQ(status, 404);
    EXPECT_EQ(vqiptv_fake_calls("http://h/p.m3u"), 1);
    EXPECT_EQ(vqiptv_fake_calls(nullptr), 2);
    vqiptv_set_io(nullptr);
}

TEST(FakeControls, CheckTheirArguments) {
    vqiptv_fake_reset();
    EXPECT_EQ(vqiptv_fake_set(nullptr, 200, "x"), -8);
    EXPECT_EQ(vqiptv_fake_set("http://h/", 200, nullptr), -8);
    EXPECT_EQ(vqiptv_fake_fail(nullptr, "m"), -8);
    EXPECT_EQ(vqiptv_fake_fail("http://h/f", nullptr), 0);
    const quorvex_io *io = vqiptv_io_fake();
    char *body = nullptr, *err = nullptr;
    int status = -1;
    EXPECT_NE(io->get(io->ctx, "http://h/f", &body, &status, &err), 0);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "fake: transport failure");
    io->free_buf(io->ctx, err);
    EXPECT_EQ(body, nullptr);
    vqiptv_fake_reset();
    EXPECT_EQ(vqiptv_fake_calls(nullptr), 0);
}

}  // namespace
