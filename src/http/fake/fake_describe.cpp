// The JSON description of the fake's last accepted request.
#include <cstdio>
#include <cstring>

#include "http/buf.h"
#include "http/fake/fake_internal.h"

namespace {
// Appends until the first failure; what was built before it stays.
struct writer {
    quorvex_buf b{};
    bool ok = true;

    void raw(const char *s, size_t n) { ok = ok && quorvex_buf_add(&b, s, n) == 0; }
    void text(const char *s) { raw(s, std::strlen(s)); }

    // Control bytes as \u00XX, quote and backslash escaped, every other byte
    // (0x7F and non-ASCII included) as it is.
    void escaped(const char *s) {
        while (ok && *s) {
            const char *run = s;
            while (plain(static_cast<unsigned char>(*s))) ++s;
            raw(run, static_cast<size_t>(s - run));
            if (*s) escape_one(static_cast<unsigned char>(*s++));
        }
    }

    static bool plain(unsigned char c) { return c >= 0x20 && c != '"' && c != '\\'; }

    void escape_one(unsigned char c) {
        char e[8];
        if (c < 0x20)
            std::snprintf(e, sizeof e, "\\u%04x", c);
        else
            std::snprintf(e, sizeof e, "\\%c", c);
        text(e);
    }
};
}  // namespace

char *qvf::describe(const quorvex_http_req *req) {
    writer w;
    w.text("{\"method\":\"");
    w.escaped(req->method);
    w.text("\",\"url\":\"");
    w.escaped(req->url);
    w.text("\",\"headers\":[");
    uint64_t count = req->headers ? req->header_count : 0;
    for (uint64_t i = 0; i < count; ++i) {
        w.text(i ? ",\"" : "\"");
        if (req->headers[i]) w.escaped(req->headers[i]);
        w.text("\"");
    }
    char tail[80];
    std::snprintf(tail, sizeof tail, "],\"body_len\":%lu,\"credentials\":%s}",
                  static_cast<unsigned long>(req->body_len), req->username ? "true" : "false");
    w.text(tail);
    return w.b.data;
}
