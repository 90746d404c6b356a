#include "exchange.h"

#include <algorithm>

#include "common/ascii.h"

namespace {

struct seen {
    const call *c;
    outcome *out;
};

int on_header(void *user, const char *name, const char *value) {
    auto *s = static_cast<seen *>(user);
    int at = static_cast<int>(s->out->headers.size());
    s->out->headers.emplace_back(name, value);
    return at == s->c->stop_header ? 1 : 0;
}

int on_body(void *user, const void *data, size_t len) {
    auto *s = static_cast<seen *>(user);
    int at = static_cast<int>(s->out->pieces.size());
    s->out->body.append(static_cast<const char *>(data), len);
    s->out->pieces.push_back(len);
    return at == s->c->stop_body ? 1 : 0;
}

quorvex_http_req record(const call &c, const std::vector<const char *> &lines, seen *s) {
    quorvex_http_req req{};
    req.size = sizeof req;
    req.method = c.method.c_str();
    req.url = c.url.c_str();
    req.headers = lines.empty() ? nullptr : lines.data();
    req.header_count = lines.size();
    req.body = c.body ? c.body->data() : nullptr;
    req.body_len = c.body ? c.body->size() : 0;
    req.username = c.username;
    req.password = c.password;
    req.timeout_ms = c.timeout_ms;
    req.connect_timeout_ms = c.connect_timeout_ms;
    req.read_timeout_ms = c.read_timeout_ms;
    req.flags = c.flags;
    req.on_header = c.sinks ? on_header : nullptr;
    req.on_body = c.sinks ? on_body : nullptr;
    req.user = s;
    return req;
}

}  // namespace

std::string outcome::header(const std::string &name) const {
    auto it = std::find_if(headers.begin(), headers.end(), [&](const auto &h) { return vq_ieq(h.first, name); });
    return it == headers.end() ? std::string() : it->second;
}

int outcome::count(const std::string &name) const {
    auto named = [&](const auto &h) { return vq_ieq(h.first, name); };
    return static_cast<int>(std::count_if(headers.begin(), headers.end(), named));
}

const quorvex_http *network_transport() {
    return quorvex_http_curl() ? quorvex_http_curl() : quorvex_http_winhttp();
}

outcome perform(const call &c, const quorvex_http *http) {
    outcome out;
    seen s{&c, &out};
    std::vector<const char *> lines;
    for (const header_line &h : c.headers) lines.push_back(h.text ? h.text->c_str() : nullptr);
    quorvex_http_req req = record(c, lines, &s);
    if (c.edit) c.edit(req);
    char *err = nullptr;
    out.result = http->request(http->ctx, &req, &out.status, &err);
    out.has_err = err != nullptr;
    if (err) out.err = err;
    if (err && http->free_buf) http->free_buf(http->ctx, err);
    return out;
}
