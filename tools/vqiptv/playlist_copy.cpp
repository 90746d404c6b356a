#include "playlist_copy.h"

#include <cstring>

#include "http/transports.h"
#include "source_client/api/io_select.h"
#include "source_client/fetch/body.h"

namespace vqt {
namespace {

struct Copier {
    const quorvex_http *inner = nullptr;
    vqc::body_in body{};
    bool keeping = false;  // the answer under way is a 2xx whose body is kept
    bool whole = false;    // the body kept is a whole answer's
};

Copier g_copier;

// The sinks see the caller's request as their user and pass every piece on.
int copy_header(void *user, const char *name, const char *value) {
    auto *req = static_cast<const quorvex_http_req *>(user);
    if (std::strcmp(name, ":status") == 0) g_copier.keeping = value[0] == '2';
    return req->on_header ? req->on_header(req->user, name, value) : 0;
}

int copy_body(void *user, const void *data, size_t len) {
    auto *req = static_cast<const quorvex_http_req *>(user);
    // A body the fetch's own reader refuses (too large, corrupt) is refused here alike.
    if (g_copier.keeping && vqc::body_take(g_copier.body, data, len) != 0) g_copier.keeping = false;
    return req->on_body ? req->on_body(req->user, data, len) : 0;
}

int copying_request(void *ctx, const quorvex_http_req *req, int *status, char **err) {
    auto *c = static_cast<Copier *>(ctx);
    if (!req || req->size < sizeof(quorvex_http_req)) return c->inner->request(c->inner->ctx, req, status, err);
    quorvex_http_req relay = *req;
    relay.on_header = copy_header;
    relay.on_body = copy_body;
    relay.user = const_cast<quorvex_http_req *>(req);
    vqc::body_clear(c->body);
    c->keeping = c->whole = false;
    int rc = c->inner->request(c->inner->ctx, &relay, status, err);
    c->whole = rc == 0 && c->keeping && vqc::body_finish(c->body);
    return rc;
}

void copier_free(void *ctx, void *buf) {
    auto *c = static_cast<Copier *>(ctx);
    if (c->inner->free_buf) c->inner->free_buf(c->inner->ctx, buf);
}

const quorvex_http g_http = {sizeof(quorvex_http), 1, &g_copier, copying_request, copier_free};
const quorvex_http_ctx g_ctx = {QVX_HTTP_CTX_MAGIC, sizeof(quorvex_http_ctx), &g_http, nullptr};
quorvex_io g_io;

}  // namespace

void keep_playlist_copy() {
    const quorvex_io *current = vqc::vqiptv_io_current();
    if (!current || !(g_copier.inner = quorvex_http_of(current))) return;
    // The source's record with the copier in its place: its whole-body calls
    // reach the transport through the context too.
    g_io = *current;
    g_io.ctx = const_cast<quorvex_http_ctx *>(&g_ctx);
    vqiptv_set_io(&g_io);
}

std::string_view playlist_copy() {
    if (!g_copier.whole || !g_copier.body.buf) return {};
    return {sbuf_data(g_copier.body.buf), sbuf_len(g_copier.body.buf)};
}

}  // namespace vqt
