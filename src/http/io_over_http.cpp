// The I/O-over-HTTP adapter: whole-body get and post over any transport
// record. There is one adapter record; each construction retargets it.
#include <atomic>
#include <cstring>

#include "common/alloc.h"
#include "http/buf.h"
#include "http/headers.h"
#include "http/transports.h"
#include "http/util.h"

namespace {
constexpr uint32_t kReqSize = 112;
constexpr uint32_t kCtxLength = 24;
constexpr const char *kFormType = "application/x-www-form-urlencoded";

// The body sink's state: what arrived, and whether an append failed (the
// transport cannot report that, so the adapter must).
struct body_sink {
    quorvex_buf buf;
    bool short_of_memory;
};

int collect(void *user, const void *data, size_t n) {
    auto *s = static_cast<body_sink *>(user);
    if (quorvex_buf_add(&s->buf, data, n) == 0) return 0;
    s->short_of_memory = true;
    return 1;
}

// Hands our own failure text out; a text the transport left in *err is
// released first so it does not leak.
int fail_after(const quorvex_http *http, body_sink *s, char **err, const char *text) {
    quorvex_buf_free(&s->buf);
    if (*err && http->free_buf) http->free_buf(http->ctx, *err);
    *err = nullptr;
    return qvh::fail(err, text);
}

// One exchange: method to url, with text as the body (and one Content-Type
// line) when it is set.
int io_do(void *ctx, const char *method, const char *url, const char *text, const char *type, char **body,
          int *status, char **err) {
    if (!body || !status || !err) return -1;
    *body = nullptr;
    const quorvex_http *http = quorvex_http_from_ctx(ctx);
    if (!http) return qvh::fail(err, "io_over_http: no transport installed");
    char line[256];
    const char *lines[] = {line};
    quorvex_http_req req{};
    req.size = kReqSize;
    req.method = method;
    req.url = url;
    if (text) {
        if (quorvex_header_line("Content-Type", type ? type : kFormType, line, sizeof line) != 0)
            return qvh::fail(err, "bad content type");
        req.headers = lines;
        req.header_count = 1;
        req.body = text;
        req.body_len = std::strlen(text);
    }
    body_sink sink{};
    req.on_body = collect;
    req.user = &sink;
    int rc = http->request(http->ctx, &req, status, err);
    if (rc != 0) {
        quorvex_buf_free(&sink.buf);
        return rc;
    }
    if (sink.short_of_memory || quorvex_buf_add(&sink.buf, "", 1) != 0) return fail_after(http, &sink, err, "oom");
    *body = sink.buf.data;
    return 0;
}

int io_get(void *ctx, const char *url, char **body, int *status, char **err) {
    return io_do(ctx, "GET", url, nullptr, nullptr, body, status, err);
}

// A null text still sends a (zero-length) body.
int io_post(void *ctx, const char *url, const char *text, const char *content_type, char **body, int *status,
            char **err) {
    return io_do(ctx, "POST", url, text ? text : "", content_type, body, status, err);
}

void io_free(void *, void *buf) { vq_free(buf); }

quorvex_io g_io;
quorvex_http_ctx g_ctx;
bool g_done;
}  // namespace

const quorvex_io *quorvex_io_over_http(const quorvex_http *http, void *opaque) {
    if (!http) return nullptr;
    if (!g_done) {
        g_ctx.magic = QVX_HTTP_CTX_MAGIC;
        g_ctx.length = kCtxLength;
        g_io = quorvex_io{&g_ctx, io_get, io_post, io_free};
        g_done = true;
    }
    std::atomic_ref(g_ctx.http).store(http, std::memory_order_release);
    g_ctx.opaque = opaque;
    return &g_io;
}
