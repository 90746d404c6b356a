#include "host.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "quorvex_iptv.h"
#include "source_client/fetch/transport_stats.h"

using namespace vqc;

namespace {
template <class F>
outcome call(F &&op) {
    std::vector<char> out(1 << 16, 'X');  // an untouched buffer shows as X...
    int rc = op(out.data(), static_cast<int32_t>(out.size() - 1));
    out.back() = '\0';
    return {rc, out.data(), vqiptv_last_error()};
}

std::string where_of(const std::string &at, const std::string &key) { return at + "/" + key; }

void compare(const rapidjson::Value &got, const rapidjson::Value &want, const std::string &at) {
    ASSERT_EQ(got.GetType(), want.GetType()) << at;
    if (want.IsObject()) {
        ASSERT_EQ(got.MemberCount(), want.MemberCount()) << at << " " << compact(got);
        auto g = got.MemberBegin();
        for (auto w = want.MemberBegin(); w != want.MemberEnd(); ++w, ++g) {
            ASSERT_STREQ(g->name.GetString(), w->name.GetString()) << at;
            compare(g->value, w->value, where_of(at, w->name.GetString()));
        }
    } else if (want.IsArray()) {
        ASSERT_EQ(got.Size(), want.Size()) << at;
        for (rapidjson::SizeType i = 0; i < want.Size(); ++i) compare(got[i], want[i], where_of(at, std::to_string(i)));
    } else {
        EXPECT_EQ(compact(got), compact(want)) << at;
    }
}
}  // namespace

outcome host_validate(const char *settings) {
    return call([&](char *out, int32_t n) { return vqiptv_validate(settings, out, n); });
}

outcome host_list(const char *settings, const char *path) {
    return call([&](char *out, int32_t n) { return vqiptv_list(settings, path, out, n); });
}

outcome host_stream_url(const char *settings, const char *entry) {
    return call([&](char *out, int32_t n) { return vqiptv_stream_url(settings, entry, out, n); });
}

std::string read_data(const std::string &name) {
    std::ifstream in(std::string(QVX_TEST_DATA) + "/client/ops/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string read_stats() { return vqiptv_stats_json(); }

unsigned stat(const char *group, const char *key) {
    rapidjson::Document d;
    d.Parse(read_stats().c_str());
    return d[group][key].GetUint();
}

std::string compact(const rapidjson::Value &v) {
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    v.Accept(w);
    return sb.GetString();
}

void expect_document(const std::string &got, const rapidjson::Value &want, const std::string &where) {
    rapidjson::Document d;
    ASSERT_FALSE(d.Parse(got.c_str()).HasParseError()) << where << ": " << got;
    compare(d, want, where);
    EXPECT_EQ(got, compact(want)) << where;
}

void HostTest::SetUp() {
    server.clear();
    vqiptv_set_io(server.io());
    vqiptv_cache_clear();
    vqiptv_cache_set_max_age(21600);
    vqiptv_curl_reset();
    serve(kDefaultUrl, "grouped.m3u");
    serve("http://h.example/flat.m3u", "flat.m3u");
    serve("http://h.example/skipped.m3u", "skipped.m3u");
    scripted_answer down;
    down.status = 503;
    server.on("http://h.example/down.m3u", down);
}

void HostTest::TearDown() {
    vqiptv_set_io(nullptr);
    vqiptv_cache_clear();
}

void HostTest::serve(const std::string &url, const std::string &file) { server.on(url, ok_body(read_data(file))); }
