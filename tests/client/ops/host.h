// A test host: drives the library through its exports as a player would, over
// a scripted server installed with vqiptv_set_io.
#pragma once
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <string>

#include "script_server.h"

struct outcome {
    int rc;
    std::string doc;    // what the library wrote into the caller's buffer
    std::string error;  // vqiptv_last_error() right after
};

outcome host_validate(const char *settings);
outcome host_list(const char *settings, const char *path);
outcome host_stream_url(const char *settings, const char *entry);

std::string read_data(const std::string &name);  // a file of tests/data/client/ops
std::string read_stats();                         // vqiptv_stats_json()
// The number under "group"."key" of the statistics document.
unsigned stat(const char *group, const char *key);

// Equal documents member by member, in order; the text must be compact too.
void expect_document(const std::string &got, const rapidjson::Value &want, const std::string &where);
std::string compact(const rapidjson::Value &v);

constexpr const char *kDefaultUrl = "https://iptv-org.github.io/iptv/index.category.m3u";

// Installs a scripted server that serves the test playlists; the cache and the
// validator store start empty.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void serve(const std::string &url, const std::string &file);
    script_server server;
};
