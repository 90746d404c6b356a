#include "stub_transport.h"

#include "common/alloc.h"

namespace {
int stub_request(void *ctx, const quorvex_http_req *req, int *status, char **err) {
    auto *s = static_cast<stub_transport *>(ctx);
    *status = 0;
    *err = s->err ? vq_strdup(s->err) : nullptr;
    ++s->calls;
    s->method = req->method;
    s->url = req->url ? req->url : "";
    s->headers.assign(req->headers, req->headers + req->header_count);
    s->body_set = req->body != nullptr;
    s->sent.assign(static_cast<const char *>(req->body), req->body ? req->body_len : 0);
    if (s->result != 0) return s->result;
    std::string code = std::to_string(s->status);
    if (req->on_header && req->on_header(req->user, ":status", code.c_str()) != 0) return 0;
    for (size_t off = 0; req->on_body && off < s->body.size(); off += s->piece)
        if (req->on_body(req->user, s->body.data() + off, std::min(s->piece, s->body.size() - off)) != 0) break;
    *status = s->status;
    return 0;
}

void stub_free(void *, void *buf) { vq_free(buf); }
}  // namespace

stub_transport::stub_transport() : record{32, 1, this, stub_request, stub_free} {}
