#include "winhttp_call.h"

#include <strings.h>
#include <windows.h>

namespace qvt {
namespace {

int on_header(void *user, const char *name, const char *value) {
    auto *x = static_cast<Exchange *>(user);
    x->headers.emplace_back(name, value);
    return static_cast<int>(x->headers.size()) - 1 == x->stop_on_header ? 1 : 0;
}

int on_body(void *user, const void *data, size_t len) {
    auto *x = static_cast<Exchange *>(user);
    x->body.append(static_cast<const char *>(data), len);
    return static_cast<int>(x->pieces++) == x->stop_on_piece ? 1 : 0;
}

}  // namespace

std::string Exchange::header(const std::string &name) const {
    for (const auto &[k, v] : headers)
        if (strcasecmp(k.c_str(), name.c_str()) == 0) return v;
    return "";
}

size_t Exchange::count(const std::string &name) const {
    size_t n = 0;
    for (const auto &h : headers) n += strcasecmp(h.first.c_str(), name.c_str()) == 0;
    return n;
}

bool under_wine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void run(const Call &c, Exchange &x) {
    quorvex_http_req req{};
    req.size = sizeof req;
    req.method = c.method.c_str();
    req.url = c.url.c_str();
    req.headers = c.lines.empty() ? nullptr : c.lines.data();
    req.header_count = c.lines.size();
    req.body = c.body;
    req.body_len = c.body_len;
    req.username = c.username;
    req.password = c.password;
    req.timeout_ms = c.timeout_ms;
    req.read_timeout_ms = c.read_timeout_ms;
    req.flags = c.flags;
    if (c.sinks) {
        req.on_header = on_header;
        req.on_body = on_body;
    }
    req.user = &x;
    const quorvex_http *http = quorvex_http_winhttp();
    char *err = nullptr;
    x.rc = http->request(http->ctx, &req, &x.status, &err);
    if (err) x.err = err;
    if (err) http->free_buf(http->ctx, err);
}

Exchange run(const Call &c) {
    Exchange x;
    run(c, x);
    return x;
}

}  // namespace qvt
