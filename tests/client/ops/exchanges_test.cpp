// What the host's own transport sees and answers, through the exports: a 304
// answered from the store, a playlist in UTF-16 arriving with every byte, a
// redirect followed, and no body handed back to the host for release. How the
// fetch maps statuses, keeps validators, resolves Locations and scrubs
// failures is tested once, in fetch_test.cpp.
#include <string>
#include <vector>

#include "host.h"
#include "quorvex_iptv.h"
#include "text_check.h"

namespace {

using headers = std::vector<std::pair<std::string, std::string>>;
using Exchanges = HostTest;

const char *kSettings = "{\"URL\":\"http://h.example/p.m3u\"}";
const std::string kUrl = "http://h.example/p.m3u";

scripted_answer answer(int status, headers h = {}) {
    scripted_answer a;
    a.status = status;
    a.headers = std::move(h);
    return a;
}

TEST_F(Exchanges, A304IsAnsweredFromTheStore) {
    server.on(kUrl, ok_body(read_data("grouped.m3u"), {{"ETag", "\"v1\""}}));
    outcome listed = host_list(kSettings, "/News");
    ASSERT_EQ(listed.rc, 0) << listed.error;
    server.on(kUrl, answer(304));
    ASSERT_EQ(host_validate(kSettings).rc, 0);
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].headers.front(), "If-None-Match: \"v1\"");
    EXPECT_EQ(host_list(kSettings, "/News").doc, listed.doc);
    EXPECT_EQ(stat("http", "not_modified"), 1u);
    EXPECT_EQ(stat("cache", "revalidated"), 1u);
    EXPECT_EQ(stat("http", "validators_stored"), 1u);
    EXPECT_EQ(server.io_frees(), 0);  // bodies are the library's own to release
}

TEST_F(Exchanges, Utf16PlaylistsArriveWithEveryByte) {
    outcome plain = host_list("{\"URL\":\"http://h.example/flat.m3u\"}", "/");
    ASSERT_EQ(plain.rc, 0);
    for (bool be : {false, true}) {
        std::string body = utf16(read_data("flat.m3u"), !be);
        scripted_answer a;
        a.pieces = {body.substr(0, 7), body.substr(7)};
        a.headers = {{"ETag", be ? "be" : "le"}};
        server.on(kUrl, a);
        vqiptv_cache_set_max_age(0);
        EXPECT_EQ(host_list(kSettings, "/").doc, plain.doc) << be;
        server.on(kUrl, answer(304));
        EXPECT_EQ(host_list(kSettings, "/").doc, plain.doc) << be;  // the stored copy is whole too
    }
    EXPECT_EQ(server.io_frees(), 0);
}

TEST_F(Exchanges, ARedirectIsFollowed) {
    server.on(kUrl, answer(302, {{"location", "../grouped.m3u?v=2"}}));
    serve("http://h.example/grouped.m3u?v=2", "grouped.m3u");
    outcome o = host_list(kSettings, "/");
    EXPECT_EQ(o.rc, 0) << o.error;
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].url, "http://h.example/grouped.m3u?v=2");
}

}  // namespace
