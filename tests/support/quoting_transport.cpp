#include "quoting_transport.h"

#include <string>

#include "common/alloc.h"

quoting_transport::quoting_transport(const quorvex_http *base, int receive_ms)
    : base_(base), receive_ms_(receive_ms), http_{sizeof(quorvex_http), 1, this, request, free_buf} {}

int quoting_transport::request(void *ctx, const quorvex_http_req *req, int *status, char **err) {
    auto *self = static_cast<const quoting_transport *>(ctx);
    const quorvex_http *base = self->base_;
    quorvex_http_req mine = *req;
    mine.read_timeout_ms = self->receive_ms_;
    int rc = base->request(base->ctx, &mine, status, err);
    if (*err) {
        std::string text = std::string(*err) + " fetching " + req->url;
        if (base->free_buf) base->free_buf(base->ctx, *err);
        *err = vq_strdup(text.c_str());
    }
    return rc;
}

void quoting_transport::free_buf(void *, void *buf) { vq_free(buf); }
