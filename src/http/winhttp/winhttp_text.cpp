// Text crossing between the library (UTF-8) and WinHTTP (UTF-16): the URL and
// method, the request header block, and the raw response headers.
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string_view>

#include "common/alloc.h"
#include "common/ascii.h"
#include "http/buf.h"
#include "http/headers.h"
#include "http/winhttp/winhttp_work.h"

namespace {

constexpr size_t kMaxNameLen = 127;
constexpr size_t kLineSize = 2048;

// Lines the transport or WinHTTP writes itself.
bool filtered(const char *name, size_t n, bool has_username) {
    std::string_view s(name, n);
    return vq_ieq(s, "host") || vq_ieq(s, "content-length") || vq_ieq(s, "accept-encoding") ||
           (has_username && vq_ieq(s, "authorization"));
}

// Appends one caller line in the "%s: %s" form and CR LF; lines that are
// malformed, filtered or do not fit are left out, not failed. -1 only when an
// append runs out of memory.
int add_line(quorvex_buf *block, const char *line, bool has_username) {
    const char *colon = std::strchr(line, ':');
    if (!colon) return 0;
    size_t n = static_cast<size_t>(colon - line);
    if (n == 0 || n > kMaxNameLen || filtered(line, n, has_username)) return 0;
    char name[kMaxNameLen + 1];
    std::memcpy(name, line, n);
    name[n] = '\0';
    const char *value = colon + 1;
    while (*value == ' ') ++value;
    char out[kLineSize];
    if (quorvex_header_line(name, value, out, sizeof out) != 0) return 0;
    return (quorvex_buf_adds(block, out) || quorvex_buf_adds(block, "\r\n")) ? -1 : 0;
}

int add_content_length(quorvex_buf *block, const quorvex_http_req *req) {
    bool always = !std::strcmp(req->method, "PUT") || !std::strcmp(req->method, "POST");
    if (!req->body && !always) return 0;
    char line[64];
    unsigned long long n = req->body ? req->body_len : 0;
    std::snprintf(line, sizeof line, "Content-Length: %llu\r\n", n);
    return quorvex_buf_adds(block, line);
}

bool is_line_end(wchar_t c) { return c == L'\r' || c == L'\n'; }

// One "Name: value" line of the raw block into the list; lines without a
// colon, or with an empty name or value, are dropped.
int add_pair(const wchar_t *line, size_t len, quorvex_buf *list) {
    const wchar_t *colon = std::wmemchr(line, L':', len);
    if (!colon) return 0;
    size_t name_len = static_cast<size_t>(colon - line);
    size_t v = name_len + 1;
    while (v < len && (line[v] == L' ' || line[v] == L'\t')) ++v;
    char *name = qvw::utf16_to_utf8n(line, name_len);
    char *value = qvw::utf16_to_utf8n(line + v, len - v);
    int rc = 0;
    if (name && value && (quorvex_buf_add(list, name, std::strlen(name) + 1) != 0 ||
                          quorvex_buf_add(list, value, std::strlen(value) + 1) != 0))
        rc = -1;
    vq_free(name);
    vq_free(value);
    return rc;
}

}  // namespace

int qvw::utf8_to_utf16(const char *text, wchar_t **out) {
    *out = nullptr;
    if (!text) return -1;
    int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (units <= 0) return -1;
    auto *w = static_cast<wchar_t *>(vq_malloc(static_cast<size_t>(units) * sizeof(wchar_t)));
    if (!w) return -1;
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, w, units) != units) {
        vq_free(w);
        return -1;
    }
    *out = w;
    return 0;
}

char *qvw::utf16_to_utf8n(const wchar_t *text, size_t n) {
    if (n == 0 || n > 0x7FFFFFFF) return nullptr;
    int units = static_cast<int>(n);
    int need = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return nullptr;
    auto *s = static_cast<char *>(vq_malloc(static_cast<size_t>(need) + 1));
    if (!s) return nullptr;
    if (WideCharToMultiByte(CP_UTF8, 0, text, units, s, need, nullptr, nullptr) != need) {
        vq_free(s);
        return nullptr;
    }
    s[need] = '\0';
    return s;
}

int qvw::wwork_headers(wwork *w, const quorvex_http_req *req) {
    quorvex_buf block{};
    bool has_username = req->username != nullptr;
    int rc = 0;
    for (uint64_t i = 0; rc == 0 && req->headers && i < req->header_count; ++i)
        if (req->headers[i]) rc = add_line(&block, req->headers[i], has_username);
    if (rc == 0) rc = add_content_length(&block, req);
    if (rc == 0 && block.len > 0) rc = utf8_to_utf16(block.data, &w->wheaders);
    quorvex_buf_free(&block);
    return rc;
}

int qvw::parse_raw_headers(const wchar_t *block, size_t units, quorvex_buf *list) {
    size_t i = 0;
    while (i < units && !is_line_end(block[i])) ++i;  // the status line
    for (;;) {
        while (i < units && is_line_end(block[i])) ++i;
        if (i >= units || block[i] == L'\0') return 0;
        size_t start = i;
        while (i < units && !is_line_end(block[i]) && block[i] != L'\0') ++i;
        if (add_pair(block + start, i - start, list) != 0) {
            quorvex_buf_free(list);
            return -1;
        }
    }
}
