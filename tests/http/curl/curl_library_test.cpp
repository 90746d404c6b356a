// The whole library over the network: the exports driven with the libcurl
// transport against a real nginx serving the playlist corpus. Listing,
// revalidation answered with 304, validation, stream resolution, a redirect
// chain and the failures a real server produces.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <memory>
#include <string>
#include <vector>

#include "nginx_server.h"
#include "quorvex_iptv.h"

namespace {

constexpr const char *k_playlist = "/channels-2021-06/ch.m3u";

rapidjson::Document parse(const char *text) {
    rapidjson::Document d;
    d.Parse(text);
    return d;
}

unsigned http_count(const char *key) {
    rapidjson::Document d = parse(vqiptv_stats_json());
    return d["http"][key].GetUint();
}

std::string settings_for(const std::string &url) { return "{\"URL\":\"" + url + "\"}"; }

class LibraryOverNetwork : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<nginx_server>(); }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(server_->ok()) << server_->error();
        if (vqiptv_use_curl() != 0) GTEST_SKIP() << "no network transport in this build";
        vqiptv_cache_clear();
        ASSERT_EQ(vqiptv_cache_set_max_age(21600), 0);
        out_.assign(1 << 20, '\0');
    }

    // Runs a listing; the document (or error document) parsed.
    int list(const std::string &url, const char *path, rapidjson::Document &doc) {
        int rc = vqiptv_list(settings_for(url).c_str(), path, out_.data(), static_cast<int32_t>(out_.size()));
        doc = parse(vqiptv_result_json());
        return rc;
    }

    static std::unique_ptr<nginx_server> server_;
    std::vector<char> out_;
};

std::unique_ptr<nginx_server> LibraryOverNetwork::server_;

TEST_F(LibraryOverNetwork, ListThenRevalidateWith304) {
    // A URL of this test's own: no validator stored by another test answers it.
    std::string url = server_->http(std::string(k_playlist) + "?revalidate");
    rapidjson::Document first, again;
    unsigned requests = http_count("requests"), not_modified = http_count("not_modified");
    ASSERT_EQ(list(url, "/", first), 0) << vqiptv_last_error();
    ASSERT_TRUE(first.IsArray());
    ASSERT_GT(first.Size(), 1u);
    EXPECT_TRUE(first[0]["folder"].GetBool());
    EXPECT_EQ(http_count("requests"), requests + 1);

    ASSERT_EQ(vqiptv_cache_set_max_age(0), 0);
    ASSERT_EQ(list(url, "/", again), 0) << vqiptv_last_error();
    EXPECT_EQ(http_count("requests"), requests + 2);
    EXPECT_EQ(http_count("not_modified"), not_modified + 1);
    EXPECT_EQ(again, first);
}

TEST_F(LibraryOverNetwork, ValidateAndResolveAStream) {
    std::string url = server_->http(k_playlist);
    std::string settings = settings_for(url);
    ASSERT_EQ(vqiptv_validate(settings.c_str(), out_.data(), static_cast<int32_t>(out_.size())), 0)
        << vqiptv_last_error();
    rapidjson::Document valid = parse(out_.data());
    EXPECT_STREQ(valid["RuntimeType"].GetString(), "IPTV");
    EXPECT_EQ(valid["URL"].GetString(), url);
    EXPECT_TRUE(valid["ID"].IsString());

    rapidjson::Document groups, channels;
    ASSERT_EQ(list(url, "/", groups), 0) << vqiptv_last_error();
    ASSERT_EQ(list(url, groups[0]["path"].GetString(), channels), 0) << vqiptv_last_error();
    ASSERT_GT(channels.Size(), 0u);
    const rapidjson::Value &channel = channels[0];
    std::string entry = std::string("{\"id\":\"") + channel["id"].GetString() + "\"}";
    ASSERT_EQ(vqiptv_stream_url(settings.c_str(), entry.c_str(), out_.data(), static_cast<int32_t>(out_.size())), 0)
        << vqiptv_last_error();
    rapidjson::Document stream = parse(out_.data());
    EXPECT_STREQ(stream["url"].GetString(), channel["stream_url"].GetString());
    EXPECT_TRUE(stream["headers"].IsObject());
}

TEST_F(LibraryOverNetwork, RedirectChainFollowedByTheLibrary) {
    rapidjson::Document via, direct;
    ASSERT_EQ(list(server_->http("/r/one"), "/", via), 0) << vqiptv_last_error();
    ASSERT_EQ(list(server_->http("/pages-2023-01/index.country.m3u"), "/", direct), 0) << vqiptv_last_error();
    EXPECT_EQ(via, direct);
}

struct failing_case {
    const char *name;
    std::string url;
    int status;
    const char *message_start;
};

TEST_F(LibraryOverNetwork, ServerFailures) {
    const failing_case cases[] = {
        {"not found", server_->http("/no/such.m3u"), QVX_E_NOT_FOUND, "HTTP 404 from "},
        {"auth_basic", server_->http(std::string("/private") + k_playlist), QVX_E_ACCESS, "HTTP 401 from "},
        {"redirect loop", server_->http("/r/loop"), QVX_E_CONTENT, "too many redirects from "},
        {"self-signed certificate", server_->https(k_playlist), QVX_E_NETWORK,
         "network: tls failed: SSL certificate problem: self-signed certificate (60)"},
    };
    for (const failing_case &t : cases) {
        rapidjson::Document doc;
        EXPECT_EQ(list(t.url, "/", doc), t.status) << t.name;
        std::string message = vqiptv_last_error();
        EXPECT_EQ(message.rfind(t.message_start, 0), 0u) << t.name << ": " << message;
        EXPECT_EQ(doc["error"].GetString(), message) << t.name;
    }
}

}  // namespace
