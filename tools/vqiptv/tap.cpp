#include "tap.h"

namespace vqt {
namespace {

// What the sinks get as their user: the caller's request and the watcher.
struct Relay {
    const quorvex_http_req *req;
    Watcher *watcher;
};

int relay_header(void *user, const char *name, const char *value) {
    auto *r = static_cast<Relay *>(user);
    r->watcher->header(name, value);
    return r->req->on_header ? r->req->on_header(r->req->user, name, value) : 0;
}

int relay_body(void *user, const void *data, size_t len) {
    auto *r = static_cast<Relay *>(user);
    r->watcher->body(data, len);
    return r->req->on_body ? r->req->on_body(r->req->user, data, len) : 0;
}

int tapped_request(void *ctx, const quorvex_http_req *req, int *status, char **err) {
    auto *tap = static_cast<Tap *>(ctx);
    if (!req || req->size < sizeof(quorvex_http_req)) return tap->inner->request(tap->inner->ctx, req, status, err);
    Relay r{req, tap->watcher};
    quorvex_http_req relay = *req;
    relay.on_header = relay_header;
    relay.on_body = relay_body;
    relay.user = &r;
    tap->watcher->begin();
    int rc = tap->inner->request(tap->inner->ctx, &relay, status, err);
    tap->watcher->end(rc);
    return rc;
}

void tapped_free(void *ctx, void *buf) {
    auto *tap = static_cast<Tap *>(ctx);
    if (tap->inner->free_buf) tap->inner->free_buf(tap->inner->ctx, buf);
}

}  // namespace

void tap_bind(Tap &tap, const quorvex_http *inner, Watcher &watcher) {
    tap.inner = inner;
    tap.watcher = &watcher;
    tap.http = {sizeof(quorvex_http), 1, &tap, tapped_request, tapped_free};
    tap.ctx = {QVX_HTTP_CTX_MAGIC, sizeof(quorvex_http_ctx), &tap.http, nullptr};
}

}  // namespace vqt
