// The tool's calls into the library: buffer sizing, exit statuses, and the
// metered transport it installs for downloads.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "http/fake.h"
#include "http/transports.h"
#include "library.h"
#include "progress.h"
#include "quorvex_iptv.h"

namespace {

const char kUrl[] = "http://playlists.example/tool.m3u";
const char kSettings[] = "{\"URL\":\"http://playlists.example/tool.m3u\"}";
const std::string kPlaylist =
    "#EXTM3U\n"
    "#EXTINF:-1 group-title=\"News\",One\nhttp://s.example/1.m3u8\n"
    "#EXTINF:-1 group-title=\"News\",Two\n#EXTVLCOPT:http-referrer=https://r.example/\nhttp://s.example/2.m3u8\n"
    "#EXTINF:-1 group-title=\"Kids\",Three\nhttp://s.example/3.m3u8\n";

class Library : public testing::Test {
protected:
    void SetUp() override {
        vqiptv_cache_clear();
        vqiptv_fake_reset();
        ASSERT_EQ(quorvex_fake_set("GET", kUrl, 200, nullptr, kPlaylist.data(), kPlaylist.size()), 0);
    }
    void TearDown() override {
        vqiptv_set_io(nullptr);
        vqiptv_cache_clear();
        vqiptv_fake_reset();
    }
};

TEST(ReadStream, StopsPastItsLimit) {
    constexpr size_t kLimit = 70000;  // more than one read's chunk
    const std::pair<size_t, int> table[] = {{kLimit - 1, 0}, {kLimit, 0}, {kLimit + 1, EFBIG}, {kLimit * 16, EFBIG}};
    for (auto [size, status] : table) {
        FILE *f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        std::string bytes(size, 'x');
        ASSERT_EQ(std::fwrite(bytes.data(), 1, size, f), size);
        std::rewind(f);
        std::string read;
        EXPECT_EQ(vqt::read_stream(f, read, kLimit), status) << size;
        EXPECT_LE(read.size(), kLimit) << size;
        std::fclose(f);
    }
}

TEST(StatedSize, ReadsTheLibraryMessage) {
    EXPECT_EQ(vqt::stated_size("output buffer too small: need 1234 bytes"), 1234);
    EXPECT_EQ(vqt::stated_size("output buffer too small: need 0 bytes"), 0);
    EXPECT_EQ(vqt::stated_size("folder not found"), 0);
    EXPECT_EQ(vqt::stated_size("need 99999999999 bytes"), 0);
}

TEST(ExitStatus, OneClassPerLibraryStatus) {
    const std::pair<int32_t, int> table[] = {
        {QVX_OK, vqt::kExitOk},           {QVX_E_ACCESS, vqt::kExitRefused},
        {QVX_E_NOT_FOUND, vqt::kExitNotFound}, {QVX_E_RATE_LIMITED, vqt::kExitRateLimited},
        {QVX_E_NETWORK, vqt::kExitNetwork}, {QVX_E_CONTENT, vqt::kExitContent},
        {QVX_E_UNSUPPORTED, vqt::kExitUnsupported}, {QVX_E_INVALID, vqt::kExitInvalid},
        {QVX_E_BUFFER_TOO_SMALL, vqt::kExitFailure}, {-7, vqt::kExitFailure},
    };
    for (auto [status, exit] : table) EXPECT_EQ(vqt::exit_for_status(status), exit) << status;
}

TEST_F(Library, ASmallBufferIsRetriedWithTheStatedSize) {
    vqiptv_use_fake();
    vqt::Answer a = vqt::call_sized(
        [](char *out, int32_t n) { return vqiptv_list(kSettings, "/News", out, n); }, 8);
    ASSERT_TRUE(a.ok()) << a.error;
    EXPECT_GT(a.doc.size(), 8u);
    EXPECT_EQ(a.doc, vqiptv_result_json());
    EXPECT_EQ(a.error, "");
}

TEST_F(Library, AFailureKeepsTheErrorDocumentEvenWhenItDidNotFit) {
    vqiptv_use_fake();
    vqt::Answer a = vqt::call_sized(
        [](char *out, int32_t n) { return vqiptv_list(kSettings, "/Sports", out, n); }, 4);
    EXPECT_EQ(a.status, QVX_E_NOT_FOUND);
    EXPECT_EQ(a.error, "folder not found");
    EXPECT_EQ(a.doc, "{\"error\":\"folder not found\"}");
}

TEST_F(Library, TheMeteredTransportCountsAndShowsWhatPasses) {
    FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    vqiptv_set_io(vqt::metered_io(quorvex_http_fake(), out));
    vqt::Answer a = vqt::lib_list(kSettings, "/");
    ASSERT_TRUE(a.ok()) << a.error;
    EXPECT_EQ(vqt::metered_bytes(), kPlaylist.size());
    EXPECT_EQ(vqiptv_fake_calls(kUrl), 1);
    std::rewind(out);
    char shown[256] = {};
    EXPECT_GT(std::fread(shown, 1, sizeof shown - 1, out), 0u);
    std::string expected = "receiving " + vqt::human_bytes(static_cast<double>(kPlaylist.size()));
    EXPECT_NE(std::strstr(shown, expected.c_str()), nullptr) << shown;
    EXPECT_EQ(std::string(shown).substr(std::strlen(shown) - 4), "\r\033[K") << "the line is gone at the end";
    std::fclose(out);
}

TEST_F(Library, TheMeteredTransportPassesStatusesAndFailuresOn) {
    vqiptv_set_io(vqt::metered_io(quorvex_http_fake(), nullptr));
    ASSERT_EQ(quorvex_fake_set("GET", "http://playlists.example/gone.m3u", 404, nullptr, "no", 2), 0);
    ASSERT_EQ(quorvex_fake_fail("GET", "http://playlists.example/down.m3u", "connection refused"), 0);
    vqt::Answer gone = vqt::lib_list("{\"URL\":\"http://playlists.example/gone.m3u\"}", "/");
    vqt::Answer down = vqt::lib_list("{\"URL\":\"http://playlists.example/down.m3u\"}", "/");
    EXPECT_EQ(gone.status, QVX_E_NOT_FOUND);
    EXPECT_EQ(down.status, QVX_E_NETWORK);
    EXPECT_NE(down.error.find("connection refused"), std::string::npos) << down.error;
}

TEST_F(Library, TheMeteredRecordFetchesWholeBodies) {
    const quorvex_io *io = vqt::metered_io(quorvex_http_fake(), nullptr);
    char *body = nullptr, *err = nullptr;
    int status = 0;
    ASSERT_EQ(io->get(io->ctx, kUrl, &body, &status, &err), 0);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(std::string(body), kPlaylist);
    io->free_buf(io->ctx, body);
    ASSERT_EQ(io->get(io->ctx, "http://playlists.example/x", &body, &status, &err), 0);
    EXPECT_EQ(status, 404);
    io->free_buf(io->ctx, body);
    ASSERT_EQ(quorvex_fake_fail("GET", kUrl, "down"), 0);
    EXPECT_EQ(io->get(io->ctx, kUrl, &body, &status, &err), -1);
    EXPECT_EQ(body, nullptr);
    EXPECT_STREQ(err, "down");
    io->free_buf(io->ctx, err);
}

TEST(HumanBytes, PicksAUnit) {
    EXPECT_EQ(vqt::human_bytes(512), "512 B");
    EXPECT_EQ(vqt::human_bytes(1536), "1.5 KiB");
    EXPECT_EQ(vqt::human_bytes(12.0 * 1024 * 1024), "12.0 MiB");
}

}  // namespace
