// The fake transport's request operation: validates the request record, takes
// the route's answer under the lock and delivers it to the sinks outside it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/alloc.h"
#include "http/fake/fake_internal.h"
#include "http/headers.h"
#include "http/transports.h"
#include "http/util.h"

namespace {
constexpr uint32_t kReqSize = 112;
constexpr size_t kMaxName = 127;
constexpr size_t kMaxValue = 511;
constexpr size_t kPiece = 65536;
constexpr size_t kDripPiece = 64;
constexpr uint32_t kDripPauseMs = 10;

// One "name: value" line to on_header; lines without ':' or with an oversized
// name or value are skipped. Answers false when the sink stops delivery.
bool header_line_out(const quorvex_http_req *req, std::string_view line) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return true;
    std::string_view name = line.substr(0, colon);
    std::string_view value = line.substr(colon + 1);
    value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
    if (!value.empty() && value.back() == '\r') value.remove_suffix(1);
    if (name.size() > kMaxName || value.size() > kMaxValue) return true;
    char n[kMaxName + 1];
    char v[kMaxValue + 1];
    std::memcpy(n, name.data(), name.size());
    n[name.size()] = '\0';
    std::memcpy(v, value.data(), value.size());
    v[value.size()] = '\0';
    return req->on_header(req->user, n, v) == 0;
}

// Status, then each header line in order; false when the sink stopped.
bool deliver_head(const quorvex_http_req *req, const qvf::answer &a) {
    if (!req->on_header) return true;
    char code[24];
    std::snprintf(code, sizeof code, "%ld", static_cast<long>(a.status));
    if (req->on_header(req->user, ":status", code) != 0) return false;
    std::string_view text = a.headers ? a.headers : "";
    while (!text.empty()) {
        size_t end = std::min(text.find('\n'), text.size());
        if (!header_line_out(req, text.substr(0, end))) return false;
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return true;
}

void deliver_body(const quorvex_http_req *req, const qvf::answer &a) {
    if (!req->on_body) return;
    for (size_t off = 0; off < a.body_len; off += kPiece)
        if (req->on_body(req->user, a.body + off, std::min(kPiece, a.body_len - off)) != 0) return;
}

// A slow body: 64-byte pieces 10 ms apart, at most drip_chunks of them when
// that is positive.
void drip_body(const quorvex_http_req *req, const qvf::answer &a) {
    int32_t sent = 0;
    for (size_t off = 0; off < a.body_len; off += kDripPiece) {
        size_t n = std::min(kDripPiece, a.body_len - off);
        if (req->on_body && req->on_body(req->user, a.body + off, n) != 0) return;
        if (a.drip_chunks > 0 && ++sent >= a.drip_chunks) return;
        if (off + n < a.body_len) vqp::sleep_ms(kDripPauseMs);
    }
}

int fake_request(void *, const quorvex_http_req *req, int *status, char **err) {
    if (status) *status = 0;
    if (err) *err = nullptr;
    if (!req || req->size < kReqSize || !req->method || !req->url) return qvh::fail(err, "fake: bad request");
    if (!quorvex_method_ok(req->method)) return qvh::fail(err, "fake: bad method");
    qvf::answer a{};
    if (qvf::prepare(req, &a, err) != 0) return -1;
    if (deliver_head(req, a)) {
        if (a.drip)
            drip_body(req, a);
        else
            deliver_body(req, a);
    }
    if (status) *status = a.status;
    qvf::release(&a);
    return 0;
}

void fake_free(void *, void *buf) { vq_free(buf); }

constexpr quorvex_http g_fake_http = {32, 1, nullptr, fake_request, fake_free};
}  // namespace

const quorvex_http *quorvex_http_fake() { return &g_fake_http; }
