#include "library_docs.h"

#include <gtest/gtest.h>

#include <functional>

#include "http/fake.h"
#include "playlist_parser/vqplp.h"
#include "quorvex_iptv.h"
#include "run_tool.h"

namespace {

constexpr const char *k_url = "http://library.test/playlist.m3u";
constexpr const char *k_settings = "{\"URL\":\"http://library.test/playlist.m3u\"}";
constexpr int32_t k_room = 32 << 20;  // more than any test playlist's documents

// Serves path's bytes through the fake transport with a cold cache, then runs
// op with a buffer that fits whatever it answers.
vqt::Answer served(const std::string &path, const std::function<int32_t(char *, int32_t)> &op) {
    std::string bytes = read_all(path);
    vqiptv_cache_clear();
    vqiptv_fake_reset();
    EXPECT_EQ(quorvex_fake_set("GET", k_url, 200, nullptr, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(vqiptv_use_fake(), 0);
    std::string out(k_room, '\0');
    vqt::Answer a;
    a.status = op(out.data(), k_room);
    EXPECT_NE(a.status, -9);
    a.doc = out.c_str();
    a.error = vqiptv_last_error();
    return a;
}

}  // namespace

vqt::Answer library_list(const std::string &path, const std::string &folder) {
    return served(path, [&](char *out, int32_t n) { return vqiptv_list(k_settings, folder.c_str(), out, n); });
}

vqt::Answer library_resolve(const std::string &path, const std::string &id) {
    std::string entry = "{\"id\":\"" + id + "\"}";
    return served(path, [&](char *out, int32_t n) { return vqiptv_stream_url(k_settings, entry.c_str(), out, n); });
}

std::string library_parse(const std::string &path) {
    std::string bytes = read_all(path);
    vqplp_parse_enc(bytes.data(), bytes.size(), VQPLP_FMT_AUTO, nullptr);
    return vqplp_result_json();
}
