// HTTP token test, header-line formatting and header lookups. Nothing here
// allocates.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "http/headers.h"
#include "http/util.h"

namespace {
constexpr size_t kMaxMethod = 32;

bool all_token(const char *s) {
    for (; *s; ++s)
        if (!vq_is_token_char(*s)) return false;
    return true;
}

// Control bytes would let a value end the line early or smuggle another header.
bool value_ok(const char *v) {
    for (; *v; ++v) {
        auto c = static_cast<unsigned char>(*v);
        if (c < 0x20 || c == 0x7F) return false;
    }
    return true;
}

// "name:" at the start of line, name compared under case folding (nothing
// past a shorter line's NUL is read).
bool line_named(const char *line, const char *name, size_t n) {
    std::string_view head(line, strnlen(line, n));
    return head.size() == n && vq_ieq(head, {name, n}) && line[n] == ':';
}
}  // namespace

const char *qvh::req_header(const quorvex_http_req *req, const char *name, const char *skip) {
    if (!req || !name || !*name || !req->headers) return nullptr;
    size_t n = std::strlen(name);
    for (uint64_t i = 0; i < req->header_count; ++i) {
        const char *line = req->headers[i];
        if (!line || !line_named(line, name, n)) continue;
        const char *v = line + n + 1;
        return v + std::strspn(v, skip);
    }
    return nullptr;
}

int quorvex_method_ok(const char *m) {
    if (!m || !*m || std::strlen(m) > kMaxMethod) return 0;
    return all_token(m) ? 1 : 0;
}

int quorvex_header_line(const char *name, const char *value, char *out, size_t size) {
    if (!name || !*name || !out || size <= 3 || !all_token(name)) return -1;
    if (!value) value = "";
    if (!value_ok(value)) return -1;
    int n = std::snprintf(out, size, "%s: %s", name, value);
    return (n < 0 || static_cast<size_t>(n) >= size) ? -1 : 0;
}

const char *quorvex_header_get(const quorvex_http_req *req, const char *name) {
    return qvh::req_header(req, name, " \t");
}

const char *quorvex_hdrs_get(const quorvex_buf *list, const char *name) {
    if (!list || !list->data || !name || !list->len) return nullptr;
    size_t want = std::strlen(name);
    size_t off = 0;
    while (off < list->len) {
        const char *key = list->data + off;
        size_t klen = strnlen(key, list->len - off);
        size_t voff = off + klen + 1;
        if (voff > list->len) break;
        if (vq_ieq({key, klen}, {name, want})) return list->data + voff;
        off = voff + strnlen(list->data + voff, list->len - voff) + 1;
    }
    return nullptr;
}
