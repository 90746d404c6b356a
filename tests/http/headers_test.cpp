#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "http/buf.h"
#include "http/headers.h"

namespace {
TEST(MethodOk, TokensUpTo32Characters) {
    struct row {
        const char *method;
        int ok;
    };
    const std::string m32(32, 'M'), m33(33, 'M');
    const row rows[] = {{"GET", 1},         {"PROPPATCH", 1}, {m32.c_str(), 1}, {"!#$%&'*+-.^_`|~", 1},
                        {"x0", 1},          {m33.c_str(), 0}, {"GE T", 0},       {"GET\r", 0},
                        {"", 0},            {nullptr, 0},     {"GET:", 0},       {"G\xC3\xA9T", 0}};
    for (const row &r : rows) EXPECT_EQ(quorvex_method_ok(r.method), r.ok) << (r.method ? r.method : "(null)");
}

TEST(HeaderLine, FormatsOrRefuses) {
    struct row {
        const char *name;
        const char *value;
        size_t size;
        int rc;
        const char *line;
    };
    const row rows[] = {
        {"Content-Type", "text/plain", 64, 0, "Content-Type: text/plain"},
        {"X-Name", "caf\xC3\xA9", 64, 0, "X-Name: caf\xC3\xA9"},
        {"X", nullptr, 64, 0, "X: "},
        {"A", "", 4, 0, "A: "},
        {"AB", "", 4, -1, nullptr},
        {"A", "", 3, -1, nullptr},
        {"X", "a\tb", 64, -1, nullptr},
        {"X", "a\rb", 64, -1, nullptr},
        {"X", "a\nb", 64, -1, nullptr},
        {"X", "a\x7F", 64, -1, nullptr},
        {"Bad Name", "v", 64, -1, nullptr},
        {"", "v", 64, -1, nullptr},
        {nullptr, "v", 64, -1, nullptr},
        {"Name", "value", 11, -1, nullptr},
        {"Name", "value", 12, 0, "Name: value"},
    };
    for (const row &r : rows) {
        char out[64] = {};
        EXPECT_EQ(quorvex_header_line(r.name, r.value, out, r.size), r.rc) << (r.name ? r.name : "(null)");
        if (r.line) {
            EXPECT_STREQ(out, r.line);
        }
    }
    EXPECT_EQ(quorvex_header_line("X", "v", nullptr, 64), -1);
}

TEST(HeaderGet, FindsTheFirstLineOfThatName) {
    std::vector<const char *> lines = {nullptr, "Content-Types: x", "Content-Type:  text/plain",
                                       "content-type: second", "X-Tab:\t \tv", "Empty:"};
    quorvex_http_req req{};
    req.size = sizeof req;
    req.headers = lines.data();
    req.header_count = lines.size();
    EXPECT_STREQ(quorvex_header_get(&req, "content-type"), "text/plain");
    EXPECT_STREQ(quorvex_header_get(&req, "X-TAB"), "v");
    EXPECT_STREQ(quorvex_header_get(&req, "Empty"), "");
    EXPECT_EQ(quorvex_header_get(&req, "Content"), nullptr);
    EXPECT_EQ(quorvex_header_get(&req, ""), nullptr);
    EXPECT_EQ(quorvex_header_get(&req, nullptr), nullptr);
    EXPECT_EQ(quorvex_header_get(nullptr, "Empty"), nullptr);
    req.header_count = 0;
    EXPECT_EQ(quorvex_header_get(&req, "Empty"), nullptr);
}

quorvex_buf pairs(const std::vector<std::string> &items) {
    quorvex_buf b{};
    for (const auto &s : items) quorvex_buf_add(&b, s.c_str(), s.size() + 1);
    return b;
}

TEST(HdrsGet, MatchesWholeNamesIgnoringCase) {
    quorvex_buf list = pairs({"ETa", "short", "ETags", "long", "etag", "\"v1\"", "ETAG", "later", "X", ""});
    EXPECT_STREQ(quorvex_hdrs_get(&list, "ETag"), "\"v1\"");
    EXPECT_STREQ(quorvex_hdrs_get(&list, "eta"), "short");
    EXPECT_STREQ(quorvex_hdrs_get(&list, "x"), "");
    EXPECT_EQ(quorvex_hdrs_get(&list, "ET"), nullptr);
    EXPECT_EQ(quorvex_hdrs_get(&list, nullptr), nullptr);
    EXPECT_EQ(quorvex_hdrs_get(nullptr, "ETag"), nullptr);
    quorvex_buf empty{};
    EXPECT_EQ(quorvex_hdrs_get(&empty, "ETag"), nullptr);
    quorvex_buf_free(&list);
}

TEST(HdrsGet, StopsAtTheEndOfAnUnterminatedList) {
    quorvex_buf list{};
    quorvex_buf_adds(&list, "name");  // no NUL, no value
    EXPECT_EQ(quorvex_hdrs_get(&list, "name"), nullptr);
    quorvex_buf_free(&list);
}
}  // namespace
