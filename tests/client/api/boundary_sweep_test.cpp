// Every export at the edges of every limit the library keeps: one below it, at
// it, one over it and far over it (1 MiB). Each row names the status and the
// message its inputs must give; the driver checks for every row that the last
// error and the result document are valid UTF-8, hold no secret of the inputs
// and agree with each other. Run in the sanitizer build, it shows that no limit
// is kept by luck of the buffer sizes behind it.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "http/http.h"
#include "long_secrets.h"
#include "quorvex_iptv.h"
#include "script_server.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/util/limits.h"
#include "source_client/util/message.h"
#include "source_client/util/url_util.h"

using namespace vqc;

namespace {

constexpr size_t kCap = kMaxUrlBytes;
constexpr size_t kFar = size_t{1} << 20;
const std::vector<size_t> kUrlLengths = {kCap - 1, kCap, kCap + 1, kFar};
const std::string kPlaylist = "#EXTM3U\n#EXTINF:-1 group-title=\"G\",Chan\nhttp://s.example/1\n";
const std::string kHost = "http://h.example/";
// Credentials as long as real ones; a redacted URL shows none of them.
const std::string kSecretHost = "http://u:" + kPassword + "@h.example/";

struct row {
    std::string name;
    std::function<void()> script;  // the world the call meets
    std::function<int32_t(char *out, int32_t out_len)> call;
    int32_t rc;
    std::optional<std::string> error;  // the documented message; none for the fake's controls
    std::function<void(const std::string &answer)> check = [](const std::string &) {};
};

std::string settings(const std::string &url) { return "{\"URL\":\"" + url + "\"}"; }

// An http URL of n bytes with credentials and a query token, padded in its path.
std::string secret_url(size_t n) {
    const std::string tail = "/list.m3u?token=" + kToken;
    return kSecretHost + std::string(n - kSecretHost.size() - tail.size(), 'a') + tail;
}

std::string too_long(const std::string &what, size_t n) {
    return what + " is too long: " + std::to_string(n) + " bytes, at most " + std::to_string(kCap);
}

// A fetch's message is cut where its buffer ends.
std::string cut(std::string message) {
    message.resize(std::min(message.size(), kMsgSize - 1));
    return message;
}

std::string redirect_too_long(const std::string &shown) {
    return cut("redirect target is too long (over " + std::to_string(kCap) + " bytes) from " + shown);
}

scripted_answer moved_to(const std::string &location) {
    scripted_answer a;
    a.status = 302;
    a.headers = {{"Location", location}};
    return a;
}

std::function<void()> fake_serves(std::string url, std::string body = kPlaylist) {
    return [=] {
        vqiptv_use_fake();
        ASSERT_EQ(vqiptv_fake_set(url.c_str(), 200, body.c_str()), 0);
    };
}

std::function<int32_t(char *, int32_t)> validate(std::string settings_json) {
    return [=](char *out, int32_t n) { return vqiptv_validate(settings_json.c_str(), out, n); };
}

std::function<int32_t(char *, int32_t)> list(std::string settings_json, std::string path) {
    return [=](char *out, int32_t n) { return vqiptv_list(settings_json.c_str(), path.c_str(), out, n); };
}

std::function<int32_t(char *, int32_t)> stream_url(std::string settings_json, std::string entry) {
    return [=](char *out, int32_t n) { return vqiptv_stream_url(settings_json.c_str(), entry.c_str(), out, n); };
}

// The member at key of the first element of a listing.
std::function<void(const std::string &)> first_entry(const char *key, std::string want) {
    return [=](const std::string &answer) {
        rapidjson::Document d;
        d.Parse(answer.c_str());
        ASSERT_TRUE(d.IsArray() && d.Size() == 1) << answer.substr(0, 200);
        EXPECT_TRUE(d[0][key].GetString() == want) << key;
    };
}

// The settings' "URL": validation, listing and resolution by id all read it.
void settings_url_rows(std::vector<row> &rows) {
    for (size_t n : kUrlLengths) {
        const std::string url = secret_url(n), s = settings(url);
        const bool fits = n <= kCap;
        const std::string why = too_long("URL", n), name = "settings URL of " + std::to_string(n);
        rows.push_back({name + ", validate", fake_serves(url), validate(s), fits ? 0 : -8, fits ? "" : why});
        rows.push_back({name + ", list", fake_serves(url), list(s, "/"), fits ? 0 : -8, fits ? "" : why});
        rows.push_back({name + ", stream_url", fake_serves(url), stream_url(s, "{\"id\":\"0000000000000000\"}"),
                        fits ? -2 : -8, fits ? "entry id not found" : why});
    }
}

std::function<void(const std::string &)> answer_is(std::string want) {
    return [want](const std::string &answer) { EXPECT_TRUE(answer == want); };
}

// An entry's own URL, resolved without settings or network; a header suffix
// counts in its length.
void entry_url_rows(std::vector<row> &rows) {
    struct shape {
        std::string key, url, answer;
    };
    const std::string agent(2035, 'a'), suffix = "|User-Agent=" + agent;  // the longest User-Agent line
    for (size_t n : kUrlLengths) {
        const std::string plain = "rtmp" + secret_url(n).substr(4);
        const std::string bare = "{\"url\":\"" + plain + "\",\"headers\":{}}";
        const std::string path = kHost + std::string(n - kHost.size() - suffix.size(), 'x');
        const shape shapes[] = {
            {"stream_url", plain, bare},
            {"url", plain, bare},
            {"stream_url", path + suffix, "{\"url\":\"" + path + "\",\"headers\":{\"User-Agent\":\"" + agent + "\"}}"},
        };
        for (const shape &e : shapes) {
            rows.push_back({e.key + " of " + std::to_string(n) + (e.url == plain ? "" : " with a header suffix"), [] {},
                            stream_url("{}", "{\"" + e.key + "\":\"" + e.url + "\"}"), n <= kCap ? 0 : -8,
                            n <= kCap ? "" : too_long(e.key, n), answer_is(e.answer)});
        }
    }
    rows.push_back({"id of 1 MiB", [] {}, stream_url("{}", "{\"id\":\"" + std::string(kFar, 'f') + "\"}"), -2,
                    "entry id not found"});
}

// A playlist's own location, resolved by the id its listing gives: no longer
// URL leaves the library than it takes.
void playlist_location_rows(std::vector<row> &rows) {
    const std::string url = kHost + "long.m3u", s = settings(url);
    auto by_id = [s](char *out, int32_t n) {
        vqiptv_list(s.c_str(), "/", out, n);
        const std::string listing = out, id = listing.substr(listing.find("\"id\":") + 5, 18);  // "<16 digits>"
        return vqiptv_stream_url(s.c_str(), ("{\"id\":" + id + "}").c_str(), out, n);
    };
    for (size_t n : kUrlLengths) {
        const std::string location = kHost + std::string(n - kHost.size(), 'l');
        const bool fits = n <= kCap;
        rows.push_back({"playlist location of " + std::to_string(n), fake_serves(url, "#EXTM3U\n" + location + "\n"),
                        by_id, fits ? 0 : -5, fits ? "" : too_long("entry location", n),
                        answer_is("{\"url\":\"" + location + "\",\"headers\":{}}")});
    }
}

// A relative Location merged with a long URL asked for: through the fake (whose
// header values hold 511 bytes), then a Location of 1 MiB through a host's
// transport.
void merged_redirect_rows(std::vector<row> &rows, script_server &server) {
    const std::string location(300, 'n');
    for (size_t n : {kCap - 1, kCap, kCap + 1}) {
        const std::string dir = kSecretHost + std::string(n - location.size() - kSecretHost.size() - 1, 'a') + "/";
        const std::string base = dir + "list.m3u", target = dir + location;
        const std::string shown = kHost + base.substr(kSecretHost.size());
        auto script = [=] {
            vqiptv_use_fake();
            ASSERT_EQ(quorvex_fake_set("GET", base.c_str(), 302, ("Location: " + location).c_str(), "", 0), 0);
            ASSERT_EQ(vqiptv_fake_set(target.c_str(), 200, kPlaylist.c_str()), 0);
        };
        rows.push_back({"merged target of " + std::to_string(n), script, validate(settings(base)), n <= kCap ? 0 : -5,
                        n <= kCap ? "" : redirect_too_long(shown)});
    }
    std::string far;
    while (far.size() < kFar) far += "a/";
    auto script = [&server, far] { server.on(kHost + "p.m3u", moved_to(far)); };
    rows.push_back({"relative Location of 1 MiB", script, validate(settings(kHost + "p.m3u")), -5,
                    redirect_too_long(kHost + "p.m3u")});
}

// An absolute Location, through a host's transport that delivers any length.
void location_rows(std::vector<row> &rows, script_server &server) {
    for (size_t n : kUrlLengths) {
        const std::string target = secret_url(n);
        auto script = [&server, target] {
            server.on(kHost + "p.m3u", moved_to(target));
            server.on(target, ok_body(kPlaylist));
        };
        rows.push_back({"absolute Location of " + std::to_string(n), script, validate(settings(kHost + "p.m3u")),
                        n <= kCap ? 0 : -5, n <= kCap ? "" : redirect_too_long(kHost + "p.m3u")});
    }
}

// Validators go out on 512-byte header lines; one answer's validators keep
// 4096 bytes between them ("ETag", the value and two NULs).
void validator_rows(std::vector<row> &rows, script_server &server) {
    struct validator_case {
        const char *header, *line;
        size_t length;
        bool sent;
        unsigned stored;  // entries written by the two validations
    };
    const std::vector<validator_case> cases = {
        {"ETag", "If-None-Match: ", 495, true, 2},
        {"ETag", "If-None-Match: ", 496, true, 2},
        {"ETag", "If-None-Match: ", 497, false, 2},
        {"ETag", "If-None-Match: ", 4089, false, 2},
        {"ETag", "If-None-Match: ", 4090, false, 2},
        {"ETag", "If-None-Match: ", 4091, false, 0},
        {"ETag", "If-None-Match: ", kFar, false, 0},
        {"Last-Modified", "If-Modified-Since: ", 491, true, 2},
        {"Last-Modified", "If-Modified-Since: ", 492, true, 2},
        {"Last-Modified", "If-Modified-Since: ", 493, false, 2},
    };
    const std::string s = settings(kHost + "v.m3u");
    for (const validator_case &v : cases) {
        const std::string value(v.length, 'e'), line = v.line + value;
        auto script = [&server, v, value] { server.on(kHost + "v.m3u", ok_body(kPlaylist, {{v.header, value}})); };
        auto twice = [s](char *out, int32_t n) {
            vqiptv_validate(s.c_str(), out, n);
            return vqiptv_validate(s.c_str(), out, n);
        };
        auto check = [&server, v, line](const std::string &) {
            auto sent = server.requests().back().headers;
            EXPECT_EQ(std::count(sent.begin(), sent.end(), line), v.sent ? 1 : 0);
            transport_stats t;
            vqiptv_curl_stats(&t);
            EXPECT_EQ(t.validators_stored, v.stored);
        };
        rows.push_back({std::string(v.header) + " of " + std::to_string(v.length), script, twice, 0, "", check});
    }
}

// Failure texts of a transport are cut with the message at 399 bytes; a
// character cut in two ends in "?".
void message_rows(std::vector<row> &rows) {
    const std::string url = kSecretHost + "f.m3u?token=" + kToken, shown = kHost + "f.m3u?<redacted>";
    const std::string around = "network:  (" + shown + ")";
    std::vector<std::pair<std::string, std::string>> texts;  // text, message
    for (size_t n : {kMsgSize - 2, kMsgSize - 1, kMsgSize, kFar}) {
        std::string text(n - around.size(), 'm');
        texts.push_back({text, cut("network: " + text.substr(0, kMsgSize - 1) + " (" + shown + ")")});
    }
    std::string halves = "x";
    while (halves.size() < kMsgSize) halves += "\xC3\xA9";
    texts.push_back({halves, cut("network: " + halves).substr(0, kMsgSize - 2) + "?"});
    for (const auto &[text, message] : texts) {
        auto script = [url, text] {
            vqiptv_use_fake();
            ASSERT_EQ(vqiptv_fake_fail(url.c_str(), text.c_str()), 0);
        };
        rows.push_back(
            {"failure text of " + std::to_string(text.size()), script, validate(settings(url)), -4, message});
    }
}

// Names go into listings as folder-path segments, built on the stack up to 511
// bytes ("/" taking three); listing paths name a group whatever its length.
void listing_rows(std::vector<row> &rows) {
    const std::string url = kHost + "names.m3u", s = settings(url);
    std::vector<std::pair<std::string, std::string>> names;  // name, segment
    for (size_t n : {size_t{511}, size_t{512}, size_t{513}, kFar})
        names.push_back({std::string(n, 'g'), std::string(n, 'g')});
    std::string slashes, segment;
    for (int i = 0; i < 171; ++i) slashes += "/", segment += "\xE2\x88\x95";
    names.push_back({slashes, segment});
    for (const auto &[name, seg] : names) {
        const std::string body = "#EXTM3U\n#EXTINF:-1 group-title=\"" + name + "\"," + name + "\nhttp://s.example/1\n";
        const std::string what = "name of " + std::to_string(name.size());
        rows.push_back({what + ", root", fake_serves(url, body), list(s, "/"), 0, "", first_entry("name", seg)});
        rows.push_back(
            {what + ", group", fake_serves(url, body), list(s, "/" + name), 0, "", first_entry("group", name)});
    }
    rows.push_back(
        {"listing path of 1 MiB", fake_serves(url), list(s, "/" + std::string(kFar, 'b')), -2, "folder not found"});
}

// A row of the fake's controls: a plain status, no document, no message.
row control(
    std::string name, std::function<int32_t()> f, int32_t rc, std::function<void()> script = [] {}) {
    return {std::move(name), std::move(script), [f](char *, int32_t) { return f(); }, rc, std::nullopt};
}

// The fake's controls script any URL, body and failure text; 256 routes at
// most. A scripted status of any value is judged like a server's.
void fake_control_rows(std::vector<row> &rows) {
    for (size_t n : kUrlLengths) {
        const std::string url = secret_url(n), text(n, 'm'), of = " of " + std::to_string(n);
        rows.push_back(control(
            "fake_set" + of, [=] { return vqiptv_fake_set(url.c_str(), 200, text.c_str()); }, 0));
        rows.push_back(control(
            "fake_fail" + of, [=] { return vqiptv_fake_fail(url.c_str(), text.c_str()); }, 0));
        rows.push_back(control(
            "fake_calls" + of, [=] { return vqiptv_fake_calls(url.c_str()); }, 0));
    }
    rows.push_back(control(
        "fake_set without URL", [] { return vqiptv_fake_set(nullptr, 200, "x"); }, -8));
    rows.push_back(control(
        "fake_set without body", [] { return vqiptv_fake_set("http://b/", 200, nullptr); }, -8));
    rows.push_back(control(
        "fake_fail without URL", [] { return vqiptv_fake_fail(nullptr, "m"); }, -8));
    for (int routes : {255, 256, 257}) {
        auto fill = [routes] {
            for (int i = 1; i < routes; ++i)
                ASSERT_EQ(vqiptv_fake_set(("http://r/" + std::to_string(i)).c_str(), 200, "x"), 0);
        };
        auto add = [] { return vqiptv_fake_set("http://r/new", 200, "x"); };
        rows.push_back(control("route " + std::to_string(routes), add, routes <= 256 ? 0 : -5, fill));
    }
    const std::string url = kHost + "s.m3u";
    for (int status : {INT_MIN, INT_MAX}) {
        auto script = [=] {
            vqiptv_use_fake();
            ASSERT_EQ(vqiptv_fake_set(url.c_str(), status, kPlaylist.c_str()), 0);
        };
        rows.push_back({"scripted status " + std::to_string(status), script, validate(settings(url)), -5,
                        "HTTP " + std::to_string(status) + " from " + url});
    }
}

class Sweep : public ::testing::Test {
protected:
    void TearDown() override {
        vqiptv_set_io(nullptr);
        vqiptv_cache_clear();
        vqiptv_fake_reset();
    }
    // What every row must show besides its own status and message: the
    // message short and secret-free, the result document valid JSON (its
    // strings UTF-8) that is the answer or the message as {"error":...}.
    void check_texts(const row &r, int32_t rc, const char *out) {
        const std::string error = vqiptv_last_error(), result = vqiptv_result_json();
        EXPECT_LE(error.size(), 511u);
        EXPECT_FALSE(holds_a_secret(error));
        if (!r.error) return;  // the fake's controls write neither text
        EXPECT_EQ(error, *r.error);
        rapidjson::Document d;
        ASSERT_FALSE(d.Parse<rapidjson::kParseValidateEncodingFlag>(result.c_str()).HasParseError());
        if (rc == 0) {
            EXPECT_TRUE(result == out);
            r.check(result);
            return;
        }
        ASSERT_TRUE(d.IsObject() && d.MemberCount() == 1 && d.HasMember("error")) << result.substr(0, 200);
        EXPECT_EQ(d["error"].GetString(), error);
        EXPECT_FALSE(holds_a_secret(result));
    }
    script_server server;
};

TEST_F(Sweep, EveryExportAtEveryLimit) {
    std::vector<row> rows;
    settings_url_rows(rows);
    entry_url_rows(rows);
    playlist_location_rows(rows);
    merged_redirect_rows(rows, server);
    location_rows(rows, server);
    validator_rows(rows, server);
    message_rows(rows);
    listing_rows(rows);
    fake_control_rows(rows);
    std::vector<char> out(8 * kFar);
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        server.clear();
        vqiptv_set_io(server.io());
        vqiptv_fake_reset();
        vqiptv_cache_clear();
        vqiptv_curl_reset();
        r.script();
        int32_t rc = r.call(out.data(), static_cast<int32_t>(out.size()));
        EXPECT_EQ(rc, r.rc);
        check_texts(r, rc, out.data());
    }
}

}  // namespace
