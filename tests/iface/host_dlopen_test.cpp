// A host's view: load the shared library by path, find the twenty exports and
// drive the result protocol through them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "quorvex_iptv.h"

namespace {

// Each test loads a copy of its own, so it starts from a fresh load whatever
// ran before it. The copies stay loaded, as a host keeps its library to the end.
class Loaded : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/qvx-dlopen-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        std::filesystem::path copy = dir_ / std::filesystem::path(QVX_SHARED_LIB).filename();
        std::filesystem::copy_file(QVX_SHARED_LIB, copy);
        lib = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    template <class F>
    F sym(const char *name) {
        return reinterpret_cast<F>(dlsym(lib, name));
    }
    void *lib = nullptr;
    std::filesystem::path dir_;
};

TEST_F(Loaded, FindsEveryExport) {
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char *name :
         {"vqrch_get", "vqiptv_validate", "vqiptv_list", "vqiptv_stream_url", "vqiptv_download",
          "vqiptv_last_error", "vqiptv_result_json", "vqiptv_set_io", "vqiptv_use_curl", "vqiptv_use_fake",
          "vqiptv_version", "vqiptv_runtime_type", "vqiptv_caps", "vqiptv_cache_clear", "vqiptv_cache_set_max_age",
          "vqiptv_stats_json", "vqiptv_fake_reset", "vqiptv_fake_set", "vqiptv_fake_fail", "vqiptv_fake_calls"}) {
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    }
    EXPECT_EQ(dlsym(lib, "fail"), nullptr);
    EXPECT_EQ(dlsym(lib, "quorvex_fake_set"), nullptr);
}

TEST_F(Loaded, ReportsItsIdentityAndRefusesDownloads) {
    ASSERT_NE(lib, nullptr);
    EXPECT_STREQ(sym<const char *(*)()>("vqiptv_version")(), "1.1.0");
    EXPECT_STREQ(sym<const char *(*)()>("vqiptv_runtime_type")(), "IPTV");
    EXPECT_EQ(sym<uint32_t (*)()>("vqiptv_caps")(), 35u);
    const source_handler *h = sym<const source_handler *(*)()>("vqrch_get")();
    EXPECT_STREQ(h->runtime_type, "IPTV");

    EXPECT_STREQ(sym<const char *(*)()>("vqiptv_result_json")(), "");
    EXPECT_STREQ(sym<const char *(*)()>("vqiptv_last_error")(), "");
    auto stats = sym<const char *(*)()>("vqiptv_stats_json");
    EXPECT_NE(std::string(stats()).find("\"errors\":0,"), std::string::npos) << stats();

    char out[64];
    auto download = sym<int32_t (*)(const char *, const char *, char *, int32_t)>("vqiptv_download");
    EXPECT_EQ(download("x", "y", out, sizeof out), -6);
    EXPECT_STREQ(out, "{\"error\":\"IPTV sources do not download\"}");
    EXPECT_NE(std::string(stats()).find("\"errors\":1,"), std::string::npos) << stats();
}

// A document that does not fit: -9, the first byte emptied, the whole
// document still readable, and a retry with the stated size succeeds.
TEST_F(Loaded, AnswersMinus9WhenTheDocumentDoesNotFit) {
    ASSERT_NE(lib, nullptr);
    auto stream = sym<int32_t (*)(const char *, const char *, char *, int32_t)>("vqiptv_stream_url");
    const char *entry = "{\"stream_url\":\"rtmp://host/app\"}";
    const std::string doc = "{\"url\":\"rtmp://host/app\",\"headers\":{}}";
    std::string out(doc.size(), 'x');
    EXPECT_EQ(stream("{}", entry, out.data(), static_cast<int32_t>(doc.size())), -9);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(std::string(sym<const char *(*)()>("vqiptv_result_json")()), doc);
    EXPECT_EQ(std::string(sym<const char *(*)()>("vqiptv_last_error")()),
              "output buffer too small: need " + std::to_string(doc.size() + 1) + " bytes");
    out.assign(doc.size() + 1, 'x');
    EXPECT_EQ(stream("{}", entry, out.data(), static_cast<int32_t>(out.size())), 0);
    EXPECT_EQ(std::string(out.c_str()), doc);
    EXPECT_STREQ(sym<const char *(*)()>("vqiptv_last_error")(), "");
    EXPECT_EQ(stream("{}", entry, nullptr, 0), -9);
}

}  // namespace
