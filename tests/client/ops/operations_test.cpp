// Validation, listing and stream resolution through the exports, checked
// against the documents of tests/data/client/ops.
#include <rapidjson/document.h>

#include <cctype>
#include <string>

#include "alloc_sweep.h"
#include "host.h"
#include "quorvex_iptv.h"
#include "text_check.h"

namespace {

const char *opt(const rapidjson::Value &v) { return v.IsNull() ? nullptr : v.GetString(); }

rapidjson::Document load(const char *file) {
    rapidjson::Document d;
    d.Parse(read_data(file).c_str());
    EXPECT_TRUE(d.IsArray()) << file;
    return d;
}


// The generated identifier becomes "<uuid>" once its form is checked.
std::string with_uuid_placeholder(std::string doc) {
    const std::string key = "\"ID\":\"";
    size_t at = doc.find(key);
    if (at != std::string::npos && is_uuid4(doc.substr(at + key.size(), 36))) doc.replace(at + key.size(), 36, "<uuid>");
    return doc;
}

using Listing = HostTest;
using Validation = HostTest;
using StreamUrl = HostTest;

TEST_F(Listing, DocumentsOfEveryFolderKind) {
    serve("http://h.example/grouped.m3u", "grouped.m3u");
    rapidjson::Document cases = load("listings.json");
    for (const auto &c : cases.GetArray()) {
        std::string settings = std::string("{\"URL\":\"http://h.example/") + c["playlist"].GetString() + "\"}";
        for (const auto &path : c["paths"].GetArray()) {
            std::string where = std::string(c["note"].GetString()) + " @ " + (path.IsNull() ? "null" : path.GetString());
            outcome o = host_list(settings.c_str(), opt(path));
            EXPECT_EQ(o.rc, c["status"].GetInt()) << where;
            expect_document(o.doc, c["document"], where);
        }
    }
}

TEST_F(Listing, ChannelIdsHashLocationAndTvgId) {
    rapidjson::Document cases = load("listings.json");
    int checked = 0;
    for (const auto &c : cases.GetArray()) {
        if (!c["document"].IsArray()) continue;
        for (const auto &e : c["document"].GetArray()) {
            if (e["folder"].GetBool()) continue;
            char id[17];
            std::snprintf(id, sizeof id, "%016llx",
                          static_cast<unsigned long long>(fnv1a(std::string(e["stream_url"].GetString()) + "\x1f" +
                                                                e["tvg_id"].GetString())));
            EXPECT_STREQ(e["id"].GetString(), id);
            ++checked;
        }
    }
    EXPECT_GT(checked, 5);
}

TEST_F(Listing, FetchesOncePerMaximumAgeAndNeedsABackend) {
    host_list("{}", "/");
    host_list("{}", "/News");
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(stat("cache", "hits"), 1u);
    vqiptv_set_io(nullptr);
    EXPECT_EQ(vqrch_get()->list(nullptr, "{}", "/", nullptr, 0), -8);
    EXPECT_STREQ(vqiptv_last_error(), "no quorvex_io backend");
    EXPECT_EQ(vqrch_get()->list(nullptr, "[1]", "/", nullptr, 0), -8);
    EXPECT_STREQ(vqiptv_last_error(), "settings_json is not a JSON object");
}

TEST_F(Validation, CompletedSettingsAndRefusals) {
    rapidjson::Document cases = load("validations.json");
    for (const auto &c : cases.GetArray()) {
        const char *settings = opt(c["settings"]);
        std::string where = settings ? settings : "(null)";
        outcome o = host_validate(settings);
        EXPECT_EQ(o.rc, c["status"].GetInt()) << where;
        EXPECT_EQ(with_uuid_placeholder(o.doc), c["document"].GetString()) << where;
        EXPECT_EQ(o.error.empty(), o.rc == 0) << where;
    }
}

TEST_F(Validation, AlwaysAsksTheServerAndKeepsAStoredId) {
    outcome first = host_validate("{}");
    ASSERT_EQ(first.rc, 0);
    outcome again = host_validate(first.doc.c_str());
    std::string id = first.doc.substr(first.doc.find("\"ID\""), 43);
    EXPECT_EQ(again.doc, "{\"URL\":\"" + std::string(kDefaultUrl) + "\"," + id + ",\"RuntimeType\":\"IPTV\"}");
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(stat("cache", "revalidated"), 1u);
    EXPECT_NE(host_validate("{}").doc, first.doc);  // a fresh identifier each time
}

TEST_F(Validation, BadSettingsAreReportedBeforeAMissingBackend) {
    const source_handler *h = vqrch_get();
    char out[256];
    EXPECT_EQ(h->validate(nullptr, "{\"URL\":1}", out, sizeof out), -8);
    EXPECT_STREQ(out, "{\"error\":\"URL is not a string\"}");
    EXPECT_EQ(h->validate(nullptr, "{}", out, sizeof out), -8);
    EXPECT_STREQ(out, "{\"error\":\"no quorvex_io backend\"}");
    quorvex_io no_get = *server.io();
    no_get.get = nullptr;
    EXPECT_EQ(h->validate(&no_get, "{}", out, sizeof out), -8);
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(StreamUrl, ResolutionByIdAndDirect) {
    rapidjson::Document cases = load("streams.json");
    for (const auto &c : cases.GetArray()) {
        const char *settings = c.HasMember("settings") ? c["settings"].GetString() : "{}";
        const char *entry = opt(c["entry"]);
        std::string where = std::string(settings) + " " + (entry ? entry : "(null)");
        outcome o = host_stream_url(settings, entry);
        EXPECT_EQ(o.rc, c["status"].GetInt()) << where;
        EXPECT_EQ(o.doc, c["document"].GetString()) << where;
    }
}

TEST_F(StreamUrl, EveryListedChannelResolvesToItsStreamUrl) {
    for (const char *folder : {"/News", "/A/B", "/Other", "/root"}) {
        rapidjson::Document listing;
        listing.Parse(host_list("{}", folder).doc.c_str());
        for (const auto &entry : listing.GetArray()) {
            rapidjson::Document answer;
            answer.Parse(host_stream_url("{}", compact(entry).c_str()).doc.c_str());
            EXPECT_STREQ(answer["url"].GetString(), entry["stream_url"].GetString()) << folder;
        }
    }
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(StreamUrl, DirectResolutionNeedsNeitherSettingsNorBackend) {
    char out[128];
    int rc = vqrch_get()->stream_url(nullptr, nullptr, "{\"stream_url\":\"rtmp://s/app\"}", out, sizeof out);
    EXPECT_EQ(rc, 0);
    EXPECT_STREQ(out, "{\"url\":\"rtmp://s/app\",\"headers\":{}}");
    rc = vqrch_get()->stream_url(nullptr, "{}", "{\"id\":\"aaff56b77de9edd9\"}", out, sizeof out);
    EXPECT_EQ(rc, -8);
    EXPECT_STREQ(out, "{\"error\":\"no quorvex_io backend\"}");
}

TEST_F(StreamUrl, AChannelGoneFromTheRefreshedPlaylistIsNotFound) {
    vqiptv_cache_set_max_age(0);
    ASSERT_EQ(host_stream_url("{}", "{\"id\":\"aaff56b77de9edd9\"}").rc, 0);
    serve(kDefaultUrl, "flat.m3u");
    outcome o = host_stream_url("{}", "{\"id\":\"aaff56b77de9edd9\"}");
    EXPECT_EQ(o.rc, -2);
    EXPECT_EQ(o.error, "entry id not found");
}

}  // namespace

namespace {

using OutOfMemory = HostTest;

// Every failure must be a clean -5 "out of memory"; an operation that gets
// through a shortage gives the same document as without one.
template <class Op>
void sweep(const char *what, Op op) {
    SCOPED_TRACE(what);
    vqiptv_cache_clear();
    const outcome whole = op();
    ASSERT_EQ(whole.rc, 0) << whole.error;
    alloc_sweep(
        [&](long k) {
            vqiptv_cache_clear();
            vq_alloc_fail_nth(k);
            return op();
        },
        [&](long, const outcome &o) {
            if (o.rc == 0) {
                EXPECT_EQ(with_uuid_placeholder(o.doc), with_uuid_placeholder(whole.doc));
                return;
            }
            EXPECT_EQ(o.rc, -5);
            EXPECT_EQ(o.error.rfind("out of memory", 0), 0u) << o.error;
        },
        [&](const outcome &o) { EXPECT_EQ(with_uuid_placeholder(o.doc), with_uuid_placeholder(whole.doc)); });
}

TEST_F(OutOfMemory, EveryOperationFailsCleanly) {
    server.on(kDefaultUrl, ok_body(read_data("grouped.m3u"), {{"ETag", "e"}}));
    sweep("validate", [] { return host_validate("{\"a\":[1,2],\"ID\":\"\"}"); });
    sweep("list root", [] { return host_list("{}", "/"); });
    sweep("list group", [] { return host_list("{}", "/News"); });
    sweep("stream by id", [] { return host_stream_url("{}", "{\"id\":\"aaff56b77de9edd9\"}"); });
    sweep("stream by id with an #EXTHTTP object",
          [] { return host_stream_url("{}", "{\"id\":\"187ede81e644458f\"}"); });
    sweep("stream direct", [] { return host_stream_url("{}", "{\"stream_url\":\"rtmp://s/a\"}"); });
    sweep("stream with a header suffix",
          [] { return host_stream_url("{}", "{\"stream_url\":\"rtmp://s/a|Referer=r&Origin=o%2F\"}"); });
}

}  // namespace
