// A response collector for the sinks of a request, and a ranged GET built on
// any transport.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/alloc.h"
#include "http/buf.h"
#include "http/collect.h"
#include "http/util.h"

namespace {
constexpr uint32_t kReqSize = 112;

// A server that ignored the range sent the whole entity: keep the bytes from
// `first` on, as a ranged answer would have carried them.
void drop_prefix(quorvex_buf *body, int64_t first) {
    auto skip = static_cast<uint64_t>(first);
    if (skip >= body->len) return;
    std::memmove(body->data, body->data + skip, body->len - skip);
    body->len -= skip;
    body->data[body->len] = '\0';
}
}  // namespace

void quorvex_collect_init(quorvex_collect *col, uint64_t limit) {
    *col = quorvex_collect{};
    col->limit = limit;
}

void quorvex_collect_free(quorvex_collect *col) {
    quorvex_buf_free(&col->body);
    quorvex_buf_free(&col->headers);
}

int quorvex_collect_body(void *user, const void *data, size_t n) {
    auto *col = static_cast<quorvex_collect *>(user);
    quorvex_buf &b = col->body;
    if (col->limit && (b.len > col->limit || n > col->limit - b.len)) {
        if (b.len < col->limit) quorvex_buf_add(&b, data, col->limit - b.len);
        col->truncated = 1;
        return 1;
    }
    if (!n) return 0;
    return quorvex_buf_add(&b, data, n) == 0 ? 0 : 1;
}

int quorvex_collect_header(void *user, const char *name, const char *value) {
    auto *col = static_cast<quorvex_collect *>(user);
    if (!value) value = "";
    if (name && !std::strcmp(name, ":status")) {
        col->status = static_cast<int32_t>(std::strtol(value, nullptr, 10));
        return 0;
    }
    if (!name) name = "";
    quorvex_buf &h = col->headers;
    size_t before = h.len;
    if (quorvex_buf_add(&h, name, std::strlen(name) + 1) == 0 && quorvex_buf_add(&h, value, std::strlen(value) + 1) == 0)
        return 0;
    // A name without its value would shift every later pair.
    if (h.data) h.data[h.len = before] = '\0';
    return 1;
}

int quorvex_http_range(const quorvex_http *http, const char *url, int64_t first, int64_t last,
                       quorvex_collect *col, int *status, char **err) {
    if (!qvh::http_usable(http) || !url || !col || first < 0 || first > last) return qvh::fail(err, "bad range args");
    char line[128];
    std::snprintf(line, sizeof line, "Range: bytes=%lld-%lld", static_cast<long long>(first),
                  static_cast<long long>(last));
    const char *lines[] = {line};
    quorvex_http_req req{};
    req.size = kReqSize;
    req.method = "GET";
    req.url = url;
    req.headers = lines;
    req.header_count = 1;
    req.on_header = quorvex_collect_header;
    req.on_body = quorvex_collect_body;
    req.user = col;
    int rc = http->request(http->ctx, &req, status, err);
    if (rc == 0 && status && *status == 200 && first > 0) drop_prefix(&col->body, first);
    return rc;
}
