#include "recorder.h"

#include <cstring>

#include "common/alloc.h"

std::string recorder::body() const {
    std::string all;
    for (const auto &p : pieces) all += p;
    return all;
}

std::string recorder::header(const std::string &name) const {
    for (const auto &[n, v] : headers)
        if (n == name) return v;
    return "";
}

int recorder::on_header(void *user, const char *name, const char *value) {
    auto *r = static_cast<recorder *>(user);
    r->headers.emplace_back(name, value);
    return static_cast<int>(r->headers.size()) - 1 == r->stop_header_at ? 1 : 0;
}

int recorder::on_body(void *user, const void *data, size_t len) {
    auto *r = static_cast<recorder *>(user);
    r->pieces.emplace_back(static_cast<const char *>(data), len);
    return static_cast<int>(r->pieces.size()) - 1 == r->stop_body_at ? 1 : 0;
}

quorvex_http_req make_req(const char *method, const char *url, recorder *rec,
                          const std::vector<const char *> *headers) {
    quorvex_http_req req{};
    req.size = sizeof req;
    req.method = method;
    req.url = url;
    if (headers) {
        req.headers = headers->data();
        req.header_count = headers->size();
    }
    if (rec) {
        req.on_header = recorder::on_header;
        req.on_body = recorder::on_body;
        req.user = rec;
    }
    return req;
}

int fake_run(const quorvex_http_req &req, int *status, std::string *err) {
    const quorvex_http *http = quorvex_http_fake();
    char *e = nullptr;
    int rc = http->request(http->ctx, &req, status, &e);
    if (err) *err = e ? e : "";
    http->free_buf(http->ctx, e);
    return rc;
}
