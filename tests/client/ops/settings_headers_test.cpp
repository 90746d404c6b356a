// "UserAgent" and "Headers" in the settings: what reaches the playlist's
// requests, what validation keeps, and each refusal with its message, every
// limit at one under, at, one over and far beyond.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host.h"
#include "quorvex_iptv.h"

namespace {

using SourceHeaders = HostTest;

constexpr const char *kUrl = "http://h.example/flat.m3u";

std::string settings_with(const std::string &members) {
    return std::string("{\"URL\":\"") + kUrl + "\"" + (members.empty() ? "" : "," + members) + "}";
}

std::string agent(size_t n) { return "\"UserAgent\":\"" + std::string(n, 'a') + "\""; }

// "Headers" of count headers, ...
std::string headers(size_t count) {
    std::string out = "\"Headers\":{";
    for (size_t i = 0; i < count; ++i) out += (i ? ",\"X-" : "\"X-") + std::to_string(i) + "\":\"v\"";
    return out + "}";
}

// A header whose line is n bytes long.
std::string line_of(size_t n) { return "\"Headers\":{\"X-A\":\"" + std::string(n - 5, 'v') + "\"}"; }

std::string name_of(size_t n) { return "\"Headers\":{\"" + std::string(n, 'n') + "\":\"v\"}"; }

struct accepted_case {
    const char *name;
    std::string members;
    std::vector<std::string> sent;  // after the User-Agent line, when only it is given as "agent"
    std::string agent = "quorvex-iptv/1.1.0";
};

TEST_F(SourceHeaders, ReachTheRequestsAndStayInTheSettings) {
    std::vector<std::string> many;
    for (int i = 0; i < 32; ++i) many.push_back("X-" + std::to_string(i) + ": v");
    const std::vector<accepted_case> cases = {
        {"none", "", {}},
        {"nulls", "\"UserAgent\":null,\"Headers\":null", {}},
        {"an empty user agent", "\"UserAgent\":\"\",\"Headers\":{}", {}},
        {"a user agent", "\"UserAgent\":\"VLC/3.0.18 LibVLC/3.0.18\"", {}, "VLC/3.0.18 LibVLC/3.0.18"},
        {"a user agent at its limit", agent(2035), {}, std::string(2035, 'a')},
        {"one under it", agent(2034), {}, std::string(2034, 'a')},
        {"headers in order",
         "\"Headers\":{\"Referer\":\"http://portal.example/\",\"x-mac\":\"00:1A:79:00:00:01\",\"Empty\":\"\"}",
         {"Referer: http://portal.example/", "x-mac: 00:1A:79:00:00:01", "Empty: "}},
        {"31 headers", headers(31), {many.begin(), many.end() - 1}},
        {"32 headers", headers(32), many},
        {"a line at its limit", line_of(2047), {"X-A: " + std::string(2042, 'v')}},
        {"one under it", line_of(2046), {"X-A: " + std::string(2041, 'v')}},
        {"a name of 126 bytes", name_of(126), {std::string(126, 'n') + ": v"}},
        {"a name of 127 bytes", name_of(127), {std::string(127, 'n') + ": v"}},
    };
    for (const accepted_case &c : cases) {
        std::string settings = settings_with(c.members);
        outcome o = host_validate(settings.c_str());
        ASSERT_EQ(o.rc, 0) << c.name << ": " << o.error;
        std::vector<std::string> want = {"User-Agent: " + c.agent};
        want.insert(want.end(), c.sent.begin(), c.sent.end());
        EXPECT_EQ(server.requests().back().headers, want) << c.name;
        EXPECT_EQ(o.doc.substr(0, settings.size() - 1), settings.substr(0, settings.size() - 1)) << c.name;
    }
}

struct refused_case {
    const char *name;
    std::string members;
    std::string message;
};

TEST_F(SourceHeaders, RefusedWithAReason) {
    const std::string token_rule = " is not an HTTP token of 1 to 127 bytes";
    const std::vector<refused_case> cases = {
        {"a user agent of another type", "\"UserAgent\":5", "UserAgent is not a string"},
        {"a line feed", "\"UserAgent\":\"a\\nb\"", "UserAgent holds a control byte"},
        {"a NUL", "\"UserAgent\":\"a\\u0000b\"", "UserAgent holds a control byte"},
        {"a DEL", "\"UserAgent\":\"a\\u007f\"", "UserAgent holds a control byte"},
        {"one over", agent(2036), "UserAgent is too long: 2036 bytes, at most 2035"},
        {"far beyond", agent(100000), "UserAgent is too long: 100000 bytes, at most 2035"},
        {"headers of another type", "\"Headers\":[\"X-A: v\"]", "Headers is not an object"},
        {"33 headers", headers(33), "Headers holds 33 headers, at most 32"},
        {"1000 headers", headers(1000), "Headers holds 1000 headers, at most 32"},
        {"an empty name", "\"Headers\":{\"X-A\":\"v\",\"\":\"v\"}", "Headers: the name of header 2" + token_rule},
        {"a space", "\"Headers\":{\"X A\":\"v\"}", "Headers: the name of header 1" + token_rule},
        {"a colon", "\"Headers\":{\"X:A\":\"v\"}", "Headers: the name of header 1" + token_rule},
        {"beyond ASCII", "\"Headers\":{\"\\u00e9\":\"v\"}", "Headers: the name of header 1" + token_rule},
        {"a NUL in the name", "\"Headers\":{\"X\\u0000A\":\"v\"}", "Headers: the name of header 1" + token_rule},
        {"a name of 128 bytes", name_of(128), "Headers: the name of header 1" + token_rule},
        {"a name far beyond", name_of(10000), "Headers: the name of header 1" + token_rule},
        {"Host", "\"Headers\":{\"host\":\"h\"}", "Headers: host is set by the fetch itself"},
        {"If-None-Match", "\"Headers\":{\"If-None-Match\":\"e\"}", "Headers: If-None-Match is set by the fetch itself"},
        {"If-Modified-Since", "\"Headers\":{\"if-modified-since\":\"d\"}",
         "Headers: if-modified-since is set by the fetch itself"},
        {"Accept-Encoding", "\"Headers\":{\"ACCEPT-ENCODING\":\"br\"}",
         "Headers: ACCEPT-ENCODING is set by the fetch itself"},
        {"User-Agent", "\"Headers\":{\"user-agent\":\"VLC\"}", "Headers: user-agent goes in \"UserAgent\""},
        {"a number", "\"Headers\":{\"X-A\":1}", "Headers: the value of X-A is not a string"},
        {"null", "\"Headers\":{\"X-A\":null}", "Headers: the value of X-A is not a string"},
        {"CR LF", "\"Headers\":{\"X-A\":\"v\\r\\nX-B: w\"}", "Headers: the value of X-A holds a control byte"},
        {"a tab", "\"Headers\":{\"X-A\":\"v\\tw\"}", "Headers: the value of X-A holds a control byte"},
        {"a line one over", line_of(2048), "Headers: the line of X-A is too long: 2048 bytes, at most 2047"},
        {"a line far beyond", line_of(100000), "Headers: the line of X-A is too long: 100000 bytes, at most 2047"},
        {"twice", "\"Headers\":{\"X-A\":\"v\",\"x-a\":\"w\"}", "Headers: x-a is given twice"},
    };
    for (const refused_case &c : cases) {
        outcome o = host_validate(settings_with(c.members).c_str());
        EXPECT_EQ(o.rc, -8) << c.name;
        EXPECT_EQ(o.error, c.message) << c.name;
        std::string list_settings = settings_with(c.members);
        EXPECT_EQ(host_list(list_settings.c_str(), "/").rc, -8) << c.name;
    }
    EXPECT_EQ(server.requests().size(), 0u);
}

// The cache is keyed by the URL alone: a listing within the maximum age keeps
// the copy fetched with the old settings, validation asks again with the new.
TEST_F(SourceHeaders, ValidationTakesChangedSettingsAtOnce) {
    host_list(settings_with("\"UserAgent\":\"old\"").c_str(), "/");
    host_list(settings_with("\"UserAgent\":\"new\"").c_str(), "/");
    EXPECT_EQ(server.requests().size(), 1u);
    ASSERT_EQ(host_validate(settings_with("\"UserAgent\":\"new\"").c_str()).rc, 0);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests().back().headers, std::vector<std::string>{"User-Agent: new"});
}

}  // namespace
