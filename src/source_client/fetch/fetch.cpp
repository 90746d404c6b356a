// The playlist download: a GET through the transport behind the I/O record,
// conditional when validators are stored, following redirects itself, with
// the final status turned into the library's status codes.
#include "source_client/fetch/fetch.h"

#include <algorithm>
#include <cstring>

#include "common/alloc.h"
#include "common/ascii.h"
#include "common/shared_buf.h"
#include "http/http.h"
#include "platform/platform.h"
#include "quorvex_iptv_version.h"
#include "source_client/fetch/redirect.h"
#include "source_client/fetch/scrub.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/fetch/validator_store.h"
#include "source_client/util/limits.h"
#include "source_client/util/message.h"
#include "source_client/util/url_util.h"

namespace vqc {

namespace {

constexpr int kMaxHops = 9;
// The validators of one answer hold at most this much between them (name,
// value and two NULs each); what a larger pair carries is not remembered.
constexpr size_t kValidatorBytes = 4096;
constexpr size_t kFirstBodyCap = 65536;
constexpr const char *kUserAgent = "quorvex-iptv/" QVX_VERSION_STRING;

// What one answer delivered; emptied before every request.
struct fetch_resp {
    int status;         // from ":status"; -1 until it arrives
    size_t expected;    // Content-Length, capped at one byte over the limit; 0 when not sent
    char *etag;
    char *last_modified;
    size_t validator_bytes;  // counted against kValidatorBytes
    char *location;          // the first "Location", at most kMaxUrlBytes
    bool location_too_long;  // the first "Location" was longer
    shared_buf *body;  // null until the first byte (or empty piece) arrives
    bool too_large;
    bool out_of_memory;
};

void resp_clear(fetch_resp &r) {
    vq_free(r.etag);
    vq_free(r.last_modified);
    vq_free(r.location);
    sbuf_unref(r.body);
    r.etag = r.last_modified = r.location = nullptr;
    r.body = nullptr;
    r.validator_bytes = r.expected = 0;
    r.status = -1;
    r.too_large = r.out_of_memory = r.location_too_long = false;
}

// The decimal number a header value holds, capped at cap; -1 when it holds
// anything else.
long long decimal(const char *text, long long cap) {
    long long n = 0;
    if (!*text) return -1;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return -1;
        n = std::min(n * 10 + (*text - '0'), cap);
    }
    return n;
}

// What the body needs to know before it arrives: whether it is wanted at all
// and how big it says it is.
void note_framing(fetch_resp &r, const char *name, const char *value) {
    if (std::strcmp(name, ":status") == 0) {
        r.status = static_cast<int>(decimal(value, 1000));
    } else if (vq_ieq(name, "Content-Length")) {
        long long n = decimal(value, static_cast<long long>(kMaxBodyBytes) + 1);
        r.expected = n > 0 ? static_cast<size_t>(n) : 0;
    }
}

// A copy of value in slot (replacing what it held); 1 (stop) when memory is short.
int keep_copy(fetch_resp &r, char *&slot, const char *value) {
    vq_free(slot);
    slot = vq_strdup(value);
    r.out_of_memory = !slot;
    return slot ? 0 : 1;
}

int note_location(fetch_resp &r, const char *value) {
    if (r.location || r.location_too_long) return 0;
    r.location_too_long = std::strlen(value) > kMaxUrlBytes;
    return r.location_too_long ? 0 : keep_copy(r, r.location, value);
}

// Header names are case-insensitive (HTTP/2 sends them in lower case).
int on_header(void *user, const char *name, const char *value) {
    auto &r = *static_cast<fetch_resp *>(user);
    note_framing(r, name, value);
    if (vq_ieq(name, "Location")) return note_location(r, value);
    bool etag = vq_ieq(name, "ETag"), modified = vq_ieq(name, "Last-Modified");
    if (!etag && !modified) return 0;
    size_t bytes = std::strlen(name) + std::strlen(value) + 2;
    if (bytes > kValidatorBytes - r.validator_bytes) return 0;
    r.validator_bytes += bytes;
    if (!*value) return 0;
    return keep_copy(r, etag ? r.etag : r.last_modified, value);
}

size_t body_len(const fetch_resp &r) { return r.body ? sbuf_len(r.body) : 0; }

// A body of announced length fits at once; the buffer never grows past the
// largest body that is accepted and its NUL. The body is received straight
// into the buffer that the validator store, the cache and the model share.
bool grow_body(fetch_resp &r, size_t need) {
    constexpr size_t kMaxCap = kMaxBodyBytes + 1;
    size_t had = r.body ? sbuf_cap(r.body) : 0;
    size_t cap = had ? had : r.expected ? std::min(r.expected + 1, kMaxCap) : kFirstBodyCap;
    while (cap < need) cap = std::min(cap * 2, kMaxCap);
    return cap == had || sbuf_reserve(&r.body, cap);
}

// Only a 2xx answer's body is a playlist: the body of an error or a redirect
// is never read, however long the server makes it. A transport that sends
// no ":status" has its bodies kept as before.
bool body_wanted(const fetch_resp &r) { return r.status < 0 || (r.status >= 200 && r.status <= 299); }

int on_body(void *user, const void *data, size_t n) {
    auto &r = *static_cast<fetch_resp *>(user);
    if (!body_wanted(r)) return 1;
    // A body announced over the limit fails before it costs any memory.
    size_t len = body_len(r);  // never over the limit
    if (r.expected > kMaxBodyBytes || n > kMaxBodyBytes - len) {
        r.too_large = true;
        return 1;
    }
    if (!grow_body(r, len + n + 1)) {
        r.out_of_memory = true;
        return 1;
    }
    sbuf_append(r.body, data, n);
    return 0;
}

// One fetch: the request lines, the current URL and what came back.
struct exchange {
    const quorvex_http *http;
    const char *url;   // as the caller passed it
    const char *shown;  // its redacted form
    char *msg;
    validator *stored;
    char lines[3][512];
    const char *headers[3];
    int header_count;
    const char *at;  // the URL of the current request
    // Every URL asked for, the caller's first: a failure text may quote any.
    const char *asked[kMaxHops];
    size_t asked_count;
    char *hops[kMaxHops - 1];  // the redirect targets, owned
    redirect_outcome redirect = redirect_outcome::not_followed;  // of the last answer
    int status;
    char *err;
    fetch_resp resp;
};

void add_line(exchange &x, const char *name, const char *value) {
    char *line = x.lines[x.header_count];
    if (value && quorvex_header_line(name, value, line, sizeof x.lines[0]) == 0)
        x.headers[x.header_count++] = line;
}

void release_err(exchange &x) {
    if (x.err && x.http->free_buf) x.http->free_buf(x.http->ctx, x.err);
    x.err = nullptr;
}

bool is_redirect(int s) { return s == 301 || s == 302 || s == 303 || s == 307 || s == 308; }

// Where the answer to the hop-th request sends the next one (into hops).
redirect_outcome follow(exchange &x, int hop) {
    const fetch_resp &r = x.resp;
    if (r.location_too_long) return redirect_outcome::too_long;
    if (r.out_of_memory) return redirect_outcome::out_of_memory;
    return redirect_target(x.at, r.location, &x.hops[hop - 1]);
}

// Runs the requests, following redirects; the transport's result.
int exchange_run(exchange &x) {
    quorvex_http_req req{};
    req.size = sizeof req;
    req.method = "GET";
    req.headers = x.headers;
    req.header_count = static_cast<uint64_t>(x.header_count);
    req.timeout_ms = 120000;
    req.connect_timeout_ms = 15000;
    req.on_header = on_header;
    req.on_body = on_body;
    req.user = &x.resp;
    for (int hop = 1;; ++hop) {
        resp_clear(x.resp);
        req.url = x.asked[x.asked_count++] = x.at;
        if (int rc = x.http->request(x.http->ctx, &req, &x.status, &x.err)) return rc;
        release_err(x);
        if (!is_redirect(x.status) || hop >= kMaxHops) return 0;
        x.redirect = follow(x, hop);
        if (x.redirect != redirect_outcome::followed) return 0;
        x.at = x.hops[hop - 1];
    }
}

int status_of(int http_status) {
    switch (http_status) {
        case 0:
        case 408: return QVX_E_NETWORK;
        case 401:
        case 403: return QVX_E_ACCESS;
        case 404:
        case 410: return QVX_E_NOT_FOUND;
        case 429: return QVX_E_RATE_LIMITED;
        default: return http_status >= 500 && http_status <= 599 ? QVX_E_NETWORK : QVX_E_CONTENT;
    }
}

int transport_failed(exchange &x) {
    char text[kMsgSize];
    scrub_failure(x.err, x.asked, x.asked_count, x.shown, text, sizeof text);
    release_err(x);
    ++g_tstats.transport_errors;
    return say(x.msg, QVX_E_NETWORK, "network: %s (%s)", text, x.shown);
}

// The body stored with the validators that made the request conditional.
int not_modified(exchange &x, fetch_result *out) {
    ++g_tstats.not_modified;
    store_touch(x.stored);
    *out = fetch_result{sbuf_ref(x.stored->body), true};
    return QVX_OK;
}

int delivered(exchange &x, fetch_result *out) {
    fetch_resp &r = x.resp;
    if (r.too_large) return say(x.msg, QVX_E_CONTENT, "body exceeds 64 MiB from %s", x.shown);
    // A body cut short by a shortage of memory must not pass for the playlist.
    if (r.out_of_memory) return say(x.msg, QVX_E_CONTENT, "out of memory");
    if (body_len(r) == 0) return say(x.msg, QVX_E_CONTENT, "empty body from %s", x.shown);
    store_update(x.url, r.etag, r.last_modified, r.body);
    *out = fetch_result{r.body, false};
    r.body = nullptr;
    return QVX_OK;
}

int judge(exchange &x, fetch_result *out) {
    if (x.redirect == redirect_outcome::too_long)
        return say(x.msg, QVX_E_CONTENT, "redirect target is too long (over %u bytes) from %s",
                   static_cast<unsigned>(kMaxUrlBytes), x.shown);
    if (x.redirect == redirect_outcome::out_of_memory) return say(x.msg, QVX_E_CONTENT, "out of memory");
    if (x.status == 304 && x.stored && x.stored->body) return not_modified(x, out);
    if (x.status >= 200 && x.status <= 299) return delivered(x, out);
    return say(x.msg, status_of(x.status), "HTTP %ld from %s", static_cast<long>(x.status), x.shown);
}

int run_locked(exchange &x, fetch_result *out) {
    ++g_tstats.requests;
    x.stored = store_find(x.url);
    if (x.stored) {
        add_line(x, "If-None-Match", x.stored->etag);
        add_line(x, "If-Modified-Since", x.stored->last_modified);
    }
    add_line(x, "User-Agent", kUserAgent);
    x.at = x.url;  // asked for whole: the settings bound it
    int rc = exchange_run(x) ? transport_failed(x) : judge(x, out);
    resp_clear(x.resp);
    for (char *hop : x.hops) vq_free(hop);
    return rc;
}

}  // namespace

int fetch(const quorvex_io *io, const char *url, fetch_result *out, char *msg) {
    *out = fetch_result{nullptr, false};
    exchange x{};
    x.url = url;
    x.msg = msg;
    char shown[512];
    vqiptv_redact_url(url, shown, sizeof shown);
    x.shown = shown;
    x.http = quorvex_http_of(io);
    if (!x.http) return say(msg, QVX_E_UNSUPPORTED, "the quorvex_io carries no quorvex_http transport (%s)", shown);
    vqp::Guard g(g_tlock);
    return run_locked(x, out);
}

void fetch_keep_body(const char *url, const shared_buf *delivered, shared_buf *kept) {
    vqp::Guard g(g_tlock);
    store_swap_body(url, delivered, kept);
}

}  // namespace vqc
