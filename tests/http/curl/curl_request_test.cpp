// What the libcurl transport puts on the wire, as a scripted server receives
// it: request line, the header lines in order after filtering, Content-Length
// rules, methods, refused requests and refused schemes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange.h"
#include "http/transports.h"
#include "wire_server.h"

namespace {

wire_server &ok_server() {
    static wire_server server([](const wire_request &, wire_conn &c) { c.send(http_response(200, {}, "ok")); });
    return server;
}

// The one request the exchange made (the server is shared, so by index).
wire_request sent(const call &c) {
    size_t before = ok_server().requests().size();
    outcome out = perform(c);
    EXPECT_EQ(out.result, 0) << out.err;
    EXPECT_FALSE(out.has_err);
    EXPECT_EQ(out.status, 200);
    std::vector<wire_request> all = ok_server().requests();
    EXPECT_EQ(all.size(), before + 1);
    return all.size() > before ? all.back() : wire_request{};
}

std::string host_line() { return "Host: 127.0.0.1:" + std::to_string(ok_server().port()); }

struct target_case {
    const char *suffix;  // after "http://127.0.0.1:<port>"
    const char *target;  // as requested
};

TEST(CurlRequestLine, PathAndQueryAsWritten) {
    const std::string longest = "/" + std::string(16383, 'p');  // as long as any URL the library sends
    const target_case cases[] = {
        {"", "/"},
        {"/", "/"},
        {"/list.m3u?x=1&y=two", "/list.m3u?x=1&y=two"},
        {"/a/../b/./c", "/a/../b/./c"},
        {"/frag.m3u#top", "/frag.m3u"},
        {"/%41%20b", "/%41%20b"},
        {"/a b/\xc3\xb1.m3u?q=x y&r=\xc3\xa9", "/a%20b/%C3%B1.m3u?q=x%20y&r=%C3%A9"},
        {longest.c_str(), longest.c_str()},
    };
    for (const target_case &t : cases) {
        call c;
        c.url = ok_server().url(t.suffix);
        EXPECT_EQ(sent(c).target, t.target) << std::string(t.suffix).substr(0, 40);
    }
}

TEST(CurlRequestHeaders, OnlyHostAndAgentByDefault) {
    call c;
    c.url = ok_server().url("/plain");
    wire_request r = sent(c);
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.lines, (std::vector<std::string>{host_line(), "User-Agent: quorvex-http/1.0"}));
}

struct lines_case {
    const char *name;
    std::vector<header_line> given;
    const char *username;
    std::vector<std::string> expected;  // the lines after Host and User-Agent
};

TEST(CurlRequestHeaders, CallerLinesFilteredInOrder) {
    const std::string long_name(127, 'N'), too_long(128, 'N');
    const lines_case cases[] = {
        {"own lines dropped in any case",
         {"X-One: 1", "host: evil.example", "X-Two: 2", "CONTENT-LENGTH: 99", "accept-ENCODING: br", "X-Three: 3"},
         nullptr,
         {"X-One: 1", "X-Two: 2", "X-Three: 3"}},
        {"authorization kept without a user", {"Authorization: Bearer t0k"}, nullptr, {"Authorization: Bearer t0k"}},
        {"authorization dropped with a user", {"AUTHORIZATION: Bearer t0k", "X-A: a"}, "user", {"X-A: a"}},
        {"bad bytes never sent",
         {"X-CR: a\rb", "X-LF: a\nInjected: yes", "X-Tab: a\tb", "X-Del: a\x7f", "Bad Name: v", ": v", "NoColon",
          "X-Ok: fine"},
         nullptr,
         {"X-Ok: fine"}},
        {"spaces before the value skipped, after it kept", {"X-Sp:    v", "X-Trail: v  "}, nullptr,
         {"X-Sp: v", "X-Trail: v  "}},
        {"empty values sent empty", {"X-Empty: ", "X-Bare:"}, nullptr, {"X-Empty:", "X-Bare:"}},
        {"utf-8 value sent as bytes", {"X-Utf: \xc3\xb1\x61nd\xc3\xba"}, nullptr, {"X-Utf: \xc3\xb1\x61nd\xc3\xba"}},
        {"names up to 127 bytes", {long_name + ": a", too_long + ": b"}, nullptr, {long_name + ": a"}},
        {"caller's accept replaces none of its own", {"Accept: text/plain"}, nullptr, {"Accept: text/plain"}},
    };
    for (const lines_case &t : cases) {
        call c;
        c.url = ok_server().url("/h");
        c.headers = t.given;
        c.username = t.username;
        std::vector<std::string> want = {host_line(), "User-Agent: quorvex-http/1.0"};
        want.insert(want.end(), t.expected.begin(), t.expected.end());
        EXPECT_EQ(sent(c).lines, want) << t.name;
    }
}

TEST(CurlRequestHeaders, CallerAgentReplacesTheTransports) {
    call c;
    c.url = ok_server().url("/ua");
    c.headers = {"User-Agent: quorvex-iptv/1.1.0", "X-After: 1"};
    wire_request r = sent(c);
    EXPECT_EQ(r.lines, (std::vector<std::string>{host_line(), "User-Agent: quorvex-iptv/1.1.0", "X-After: 1"}));
}

TEST(CurlRequestHeaders, NullEntriesSkipped) {
    call c;
    c.url = ok_server().url("/null-entries");
    c.headers = {nullptr, "X-Real: 1", nullptr};
    EXPECT_EQ(sent(c).lines, (std::vector<std::string>{host_line(), "User-Agent: quorvex-http/1.0", "X-Real: 1"}));
}

struct length_case {
    const char *method;
    const char *body;        // nullptr: none
    const char *length;      // expected Content-Length, nullptr: no such line
};

TEST(CurlRequestBody, ContentLengthRules) {
    const length_case cases[] = {
        {"GET", nullptr, nullptr},    {"DELETE", nullptr, nullptr}, {"POST", nullptr, "0"},
        {"PUT", nullptr, "0"},        {"POST", "hello", "5"},       {"PUT", "", "0"},
        {"GET", "xyz", "3"},          {"PATCH", "a=1&b=2", "7"},    {"OPTIONS", nullptr, nullptr},
    };
    for (const length_case &t : cases) {
        call c;
        c.method = t.method;
        c.url = ok_server().url("/len");
        if (t.body) c.body = t.body;
        wire_request r = sent(c);
        std::string label = std::string(t.method) + " " + (t.body ? t.body : "(none)");
        EXPECT_EQ(r.method, t.method) << label;
        EXPECT_EQ(r.has("Content-Length"), t.length != nullptr) << label;
        if (t.length) {
            EXPECT_EQ(r.header("Content-Length"), t.length) << label;
        }
        EXPECT_EQ(r.body, t.body ? t.body : "") << label;
        EXPECT_FALSE(r.has("Content-Type")) << label;
        EXPECT_FALSE(r.has("Expect")) << label;
        EXPECT_FALSE(r.has("Accept")) << label;
    }
}

TEST(CurlRequestBody, LargeBodyWithoutExpectAndCallersType) {
    call c;
    c.method = "POST";
    c.url = ok_server().url("/big");
    c.headers = {"Content-Type: text/x-m3u"};
    c.body = std::string(3 << 20, 'b');
    wire_request r = sent(c);
    EXPECT_FALSE(r.has("Expect"));
    EXPECT_EQ(r.header("Content-Type"), "text/x-m3u");
    EXPECT_EQ(r.header("Content-Length"), std::to_string(3 << 20));
    EXPECT_EQ(r.body, *c.body);
}

// A HEAD goes out without a body even when one is given: its Content-Length
// would announce bytes that are never sent.
TEST(CurlRequestMethod, HeadDoesNotWaitForTheAnnouncedBody) {
    wire_server server([](const wire_request &, wire_conn &c) {
        c.send(http_response(200, {"Content-Length: 100", "X-Head: yes"}));
        c.stall(10000);  // a body that never comes must not be awaited
    });
    call c;
    c.method = "HEAD";
    c.url = server.url("/head");
    c.body = "abc";
    outcome out = perform(c);
    ASSERT_EQ(out.result, 0) << out.err;
    EXPECT_EQ(out.status, 200);
    EXPECT_EQ(out.header("X-Head"), "yes");
    EXPECT_TRUE(out.pieces.empty());
    wire_request r = server.requests().at(0);
    EXPECT_EQ(r.method, "HEAD");
    EXPECT_FALSE(r.has("Content-Length"));
}

TEST(CurlRequestMethod, OtherTokensSentAsGiven) {
    for (const char *method : {"PROPFIND", "OPTIONS", "DELETE", "M-SEARCH"}) {
        call c;
        c.method = method;
        c.url = ok_server().url("/m");
        EXPECT_EQ(sent(c).method, method);
    }
}

struct refusal_case {
    const char *name;
    int size;
    const char *method;
    const char *url;
    const char *text;
};

TEST(CurlRefusals, BadRecordsAndMethods) {
    std::string url = ok_server().url("/never");
    const std::string m33(33, 'M');
    const refusal_case cases[] = {
        {"short record", 111, "GET", url.c_str(), "bad request"},
        {"no method", 112, nullptr, url.c_str(), "bad request"},
        {"no url", 112, "GET", nullptr, "bad request"},
        {"blank in method", 112, "GE T", url.c_str(), "bad method"},
        {"empty method", 112, "", url.c_str(), "bad method"},
        {"CR in method", 112, "GET\r", url.c_str(), "bad method"},
        {"33 letters", 112, m33.c_str(), url.c_str(), "bad method"},
    };
    const quorvex_http *http = quorvex_http_curl();
    size_t before = ok_server().requests().size();
    for (const refusal_case &t : cases) {
        quorvex_http_req req{};
        req.size = static_cast<uint32_t>(t.size);
        req.method = t.method;
        req.url = t.url;
        int status = -1;
        char *err = nullptr;
        EXPECT_EQ(http->request(http->ctx, &req, &status, &err), -1) << t.name;
        EXPECT_EQ(status, 0) << t.name;
        ASSERT_NE(err, nullptr) << t.name;
        EXPECT_STREQ(err, t.text) << t.name;
        http->free_buf(http->ctx, err);
    }
    int status = -1;
    char *err = nullptr;
    EXPECT_EQ(http->request(http->ctx, nullptr, &status, &err), -1);
    EXPECT_STREQ(err, "bad request");
    http->free_buf(http->ctx, err);
    // A sound request with nowhere to put the status or the failure text.
    quorvex_http_req req{};
    req.size = sizeof req;
    req.method = "GET";
    req.url = url.c_str();
    err = nullptr;
    EXPECT_EQ(http->request(http->ctx, &req, nullptr, &err), -1);
    EXPECT_EQ(err, nullptr);
    status = -1;
    EXPECT_EQ(http->request(http->ctx, &req, &status, nullptr), -1);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(ok_server().requests().size(), before) << "nothing was sent";
}

TEST(CurlRefusals, OnlyHttpAndHttpsSpokenOnlyWellFormed) {
    std::string port = std::to_string(ok_server().port());
    const std::string urls[] = {
        "file:///etc/passwd",          "FILE:///etc/hostname",       "ftp://127.0.0.1:" + port + "/x",
        "dict://127.0.0.1:" + port,    "gopher://127.0.0.1:" + port, "telnet://127.0.0.1:" + port,
        "127.0.0.1:" + port + "/x",    "not a url",                  "",
        "http://127.0.0.1:" + port + "/a\r\nX-Injected: 1", "http://127.0.0.1:" + port + "/tab\there",
    };
    size_t before = ok_server().requests().size();
    for (const std::string &url : urls) {
        call c;
        c.url = url;
        outcome out = perform(c);
        EXPECT_EQ(out.result, -1) << url;
        EXPECT_EQ(out.status, 0) << url;
        EXPECT_EQ(out.err.rfind("url failed: ", 0), 0u) << url << " -> " << out.err;
        EXPECT_TRUE(out.headers.empty()) << url;
        EXPECT_TRUE(out.body.empty()) << url;
    }
    EXPECT_EQ(ok_server().requests().size(), before);
}

TEST(CurlRefusals, CredentialsInTheUrlAreNotSent) {
    wire_server server([](const wire_request &, wire_conn &c) {
        c.send(http_response(401, {"WWW-Authenticate: Basic realm=\"r\""}, "no"));
    });
    std::string url = server.url("/secret");
    url.insert(7, "user:pw@");
    call c;
    c.url = url;
    outcome out = perform(c);
    ASSERT_EQ(out.result, 0) << out.err;
    EXPECT_EQ(out.status, 401);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_FALSE(server.requests()[0].has("Authorization"));
}

}  // namespace
