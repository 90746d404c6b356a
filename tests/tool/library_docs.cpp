#include "library_docs.h"

#include <gtest/gtest.h>

#include "http/http.h"
#include "library.h"
#include "playlist_parser/vqplp.h"
#include "quorvex_iptv.h"
#include "run_tool.h"

std::string file_settings(const std::string &path) { return "{\"URL\":" + vqt::json_string(vqt::file_url(path)) + "}"; }

void serve_like_the_tool(const std::string &path) {
    std::string bytes = read_all(path);
    vqiptv_cache_clear();
    vqiptv_fake_reset();
    ASSERT_EQ(quorvex_fake_set("GET", vqt::file_url(path).c_str(), 200, nullptr, bytes.data(), bytes.size()), 0);
    vqiptv_use_fake();
}

vqt::Answer library_list(const std::string &path, const std::string &folder) {
    serve_like_the_tool(path);
    return vqt::lib_list(file_settings(path), folder);
}

vqt::Answer library_resolve(const std::string &path, const std::string &id) {
    serve_like_the_tool(path);
    return vqt::lib_stream_url(file_settings(path), "{\"id\":\"" + id + "\"}");
}

std::string library_parse(const std::string &path) {
    std::string bytes = read_all(path);
    vqplp_parse_enc(bytes.data(), bytes.size(), VQPLP_FMT_AUTO, nullptr);
    return vqplp_result_json();
}
