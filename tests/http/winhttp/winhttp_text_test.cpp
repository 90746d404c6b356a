// The WinHTTP transport's text work without a network: the UTF-16 header block
// it sends, the raw response headers it parses, and the conversions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alloc_sweep.h"
#include "http/buf.h"
#include "http/winhttp/winhttp_work.h"

namespace {

struct Block {
    int rc;
    bool present;
    std::wstring text;
};

Block header_block(const char *method, std::vector<const char *> lines, const char *body = nullptr,
                   const char *username = nullptr) {
    quorvex_http_req req{};
    req.size = sizeof req;
    req.method = method;
    req.url = "http://h/";
    req.headers = lines.data();
    req.header_count = lines.size();
    req.body = body;
    req.body_len = body ? std::char_traits<char>::length(body) : 0;
    req.username = username;
    wwork w{};
    Block b{qvw::wwork_headers(&w, &req), w.wheaders != nullptr, w.wheaders ? w.wheaders : L""};
    vq_free(w.wheaders);
    return b;
}

// The texts of a header-pairs list, which is released.
std::vector<std::string> pairs_of(quorvex_buf *list) {
    std::vector<std::string> out;
    for (size_t off = 0; off < list->len;) {
        std::string s(list->data + off);
        off += s.size() + 1;
        out.push_back(s);
    }
    quorvex_buf_free(list);
    return out;
}

std::vector<std::string> pairs(const std::wstring &raw) {
    quorvex_buf list{};
    EXPECT_EQ(qvw::parse_raw_headers(raw.data(), raw.size(), &list), 0);
    return pairs_of(&list);
}

TEST(WinHttpText, HeaderBlockHoldsExactlyTheConvertedLines) {
    Block b = header_block("GET", {"X-Name: caf\xC3\xA9 \xE4\xB8\xAD", nullptr, "X-After:   1"});
    EXPECT_EQ(b.rc, 0);
    EXPECT_EQ(b.text, L"X-Name: caf\u00e9 \u4e2d\r\nX-After: 1\r\n");
}

TEST(WinHttpText, HeaderBlockFiltersAndAddsContentLength) {
    EXPECT_FALSE(header_block("GET", {"Host: x", "CONTENT-LENGTH: 3", "accept-encoding: gzip"}).present);
    EXPECT_EQ(header_block("GET", {"Authorization: t"}).text, L"Authorization: t\r\n");
    EXPECT_EQ(header_block("GET", {"Authorization: t"}, nullptr, "u").present, false);
    EXPECT_EQ(header_block("POST", {}).text, L"Content-Length: 0\r\n");
    EXPECT_EQ(header_block("PUT", {"X-A: b"}).text, L"X-A: b\r\nContent-Length: 0\r\n");
    EXPECT_EQ(header_block("POST", {}, "hello").text, L"Content-Length: 5\r\n");
    EXPECT_EQ(header_block("PATCH", {}, "").text, L"Content-Length: 0\r\n");
    EXPECT_FALSE(header_block("post", {}).present);  // only the exact method names
    EXPECT_EQ(header_block("GET", {"X-Bad: a\rb", "X-Del: \x7F", "X-Good: \xC3\xA9"}).text, L"X-Good: \u00e9\r\n");
}

TEST(WinHttpText, RawHeadersSkipTheStatusLineAndBadLines) {
    EXPECT_EQ(pairs(L"HTTP/1.1 200 OK\r\nA: 1\r\nNoColon\r\nX-Empty:\r\n: nameless\r\nB:\t x  \r\nC:d\r\n\r\n"),
              (std::vector<std::string>{"A", "1", "B", "x  ", "C", "d"}));
    EXPECT_EQ(pairs(L"X-Caf\u00e9: \u4e2d\n"), (std::vector<std::string>{}));  // one line: the status line
    EXPECT_EQ(pairs(L"HTTP/1.1 200 OK\nX-Caf\u00e9: \u4e2d\rY: 2"),
              (std::vector<std::string>{"X-Caf\xC3\xA9", "\xE4\xB8\xAD", "Y", "2"}));
    EXPECT_EQ(pairs(L""), (std::vector<std::string>{}));
}

TEST(WinHttpText, Conversions) {
    wchar_t *w = nullptr;
    EXPECT_EQ(qvw::utf8_to_utf16(nullptr, &w), -1);
    EXPECT_EQ(w, nullptr);
    ASSERT_EQ(qvw::utf8_to_utf16("a\xC3\xA9", &w), 0);
    EXPECT_EQ(std::wstring(w), L"a\u00e9");
    EXPECT_EQ(qvw::utf16_to_utf8n(w, 0), nullptr);
    char *s = qvw::utf16_to_utf8n(w, 2);
    EXPECT_STREQ(s, "a\xC3\xA9");
    vq_free(s);
    vq_free(w);
}

TEST(WinHttpText, ShortMemoryFailsTheBlockAndEmptiesTheList) {
    alloc_sweep(
        [](long k) {
            vq_alloc_fail_nth(k);
            return header_block("GET", {"X-A: b"});
        },
        [](long, const Block &b) {
            EXPECT_EQ(b.rc, -1);
            EXPECT_FALSE(b.present);
        },
        [](const Block &b) { EXPECT_EQ(b.text, L"X-A: b\r\n"); });
    // A line whose text cannot be converted is dropped; a list that cannot
    // grow is emptied and fails.
    const std::wstring raw = L"HTTP/1.1 200 OK\r\nA: 1\r\nB: 2\r\n";
    using parsed = std::pair<int, std::vector<std::string>>;
    const std::vector<std::string> a = {"A", "1"}, b = {"B", "2"};
    alloc_sweep(
        [&](long k) {
            quorvex_buf list{};
            vq_alloc_fail_nth(k);
            int rc = qvw::parse_raw_headers(raw.data(), raw.size(), &list);
            return parsed(rc, pairs_of(&list));
        },
        [&](long, const parsed &p) {
            if (p.first == 0) {
                EXPECT_TRUE(p.second == a || p.second == b) << p.second.size();
            } else {
                EXPECT_EQ(p.first, -1);
                EXPECT_TRUE(p.second.empty());
            }
        },
        [](const parsed &p) { EXPECT_EQ(p.second, (std::vector<std::string>{"A", "1", "B", "2"})); });
}

}  // namespace
