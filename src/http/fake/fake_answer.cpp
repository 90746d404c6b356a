// How a fake route answers one request: the copies a canned or drip answer
// delivers from, and the byte-range rules of a file route.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/alloc.h"
#include "common/ascii.h"
#include "http/fake/fake_internal.h"
#include "http/util.h"

namespace {
enum range_mode : int32_t { RANGES_IGNORED = 0, RANGES_STRICT = 2 };

// The bytes first..end (inclusive) a file answer serves; `ok` false means 416.
struct span {
    bool ok;
    bool ranged;
    int64_t first;
    int64_t end;
};

// "bytes=-N": the last N bytes, as HTTP serves a suffix range; N of 0 (or no
// number) cannot be satisfied.
span suffix_span(const char *t, int64_t size) {
    int64_t n = std::strtoll(t, nullptr, 10);
    if (n <= 0) return {false, true, 0, 0};
    return {true, true, n >= size ? 0 : size - n, size - 1};
}

// "bytes=F-E" or "bytes=F-": an end beyond the body is clipped, or refused
// in strict mode; an open end is never refused.
span prefix_span(const char *t, int64_t size, int32_t mode) {
    char *e = nullptr;
    span s{true, true, std::strtoll(t, &e, 10), size - 1};
    if (*e != '-' || e[1] == '\0') return s;
    s.end = std::strtoll(e + 1, nullptr, 10);
    if (s.end >= size) {
        s.ok = mode != RANGES_STRICT;
        s.end = size - 1;
    }
    return s;
}

// The value after "bytes="; a first position beyond the body is refused.
span range_span(const char *t, int64_t size, int32_t mode) {
    while (vq_is_space(*t)) ++t;
    span s = *t == '-' ? suffix_span(t + 1, size) : prefix_span(t, size, mode);
    if (s.first >= size) s.ok = false;
    return s;
}

span file_span(const qvf::fake_route &r, const quorvex_http_req *req) {
    auto size = static_cast<int64_t>(r.body_len);
    const char *v = qvh::req_header(req, "Range", " ");
    if (r.ranges == RANGES_IGNORED || !v || std::strncmp(v, "bytes=", 6) != 0) return {true, false, 0, size - 1};
    return range_span(v + 6, size, r.ranges);
}

void file_headers(const span &s, uint64_t size, qvf::answer *a) {
    // Wrapping arithmetic: a hostile end far below first must not overflow.
    auto len = static_cast<long long>(static_cast<uint64_t>(s.end) - static_cast<uint64_t>(s.first) + 1);
    auto total = static_cast<unsigned long>(size);
    if (!s.ok)
        std::snprintf(a->fixed, sizeof a->fixed, "Content-Range: bytes */%lu\n", total);
    else if (s.ranged)
        std::snprintf(a->fixed, sizeof a->fixed, "Content-Range: bytes %lld-%lld/%lu\nContent-Length: %lld\n",
                      static_cast<long long>(s.first), static_cast<long long>(s.end), total, len);
    else
        std::snprintf(a->fixed, sizeof a->fixed, "Content-Length: %lu\nAccept-Ranges: bytes\n", total);
    a->headers = a->fixed;
}

// The answer shares the route's body: a request costs no copy of it.
void take_body(const qvf::fake_route &r, size_t first, size_t n, qvf::answer *a) {
    if (!r.body) return;
    a->held = sbuf_ref(r.body);
    a->body = sbuf_data(r.body) + first;
    a->body_len = n;
}

void file_answer(const qvf::fake_route &r, const quorvex_http_req *req, qvf::answer *a) {
    span s = file_span(r, req);
    a->status = !s.ok ? 416 : s.ranged ? 206 : 200;
    file_headers(s, r.body_len, a);
    if (s.ok && s.end >= s.first && std::strcmp(req->method, "HEAD") != 0)
        take_body(r, static_cast<size_t>(s.first), static_cast<size_t>(s.end - s.first + 1), a);
}

// Canned and drip answers: without a copy of the header text only the status
// goes out, and no body.
void copied_answer(const qvf::fake_route &r, qvf::answer *a) {
    a->status = r.status;
    a->drip = r.kind == qvf::FAKE_DRIP;
    a->drip_chunks = r.drip_chunks;
    a->own_headers = vq_strdup(r.headers ? r.headers : "");
    a->headers = a->own_headers;
    if (a->headers) take_body(r, 0, r.body_len, a);
}
}  // namespace

void qvf::fill_answer(const fake_route &r, const quorvex_http_req *req, answer *a) {
    if (r.kind == FAKE_FILE)
        file_answer(r, req, a);
    else
        copied_answer(r, a);
}

void qvf::release(answer *a) {
    vq_free(a->own_headers);
    sbuf_unref(a->held);
    a->own_headers = nullptr;
    a->held = nullptr;
    a->body = nullptr;
}
