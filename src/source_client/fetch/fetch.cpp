// The playlist download: a GET through the transport behind the I/O record,
// conditional when validators are stored, asking for compression, following
// redirects itself, with the final status turned into the library's status
// codes. The URL's credentials go with the requests to its own origin only;
// the whole run, every request of it, has one deadline.
#include "source_client/fetch/fetch.h"

#include <atomic>

#include "common/alloc.h"
#include "http/deadline.h"
#include "http/transports.h"
#include "platform/platform.h"
#include "source_client/fetch/answer.h"
#include "source_client/fetch/redirect.h"
#include "source_client/fetch/request_lines.h"
#include "source_client/fetch/scrub.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/fetch/url_credentials.h"
#include "source_client/fetch/validator_store.h"
#include "source_client/util/limits.h"
#include "source_client/util/message.h"
#include "source_client/util/url_util.h"

namespace vqc {

namespace {

constexpr int kMaxHops = 9;
constexpr uint32_t kDeadlineMs = 300000;
std::atomic<uint32_t> g_deadline_for_tests;  // 0: kDeadlineMs

// One fetch: the request lines, the current URL and what came back.
struct exchange {
    const quorvex_http *http;
    const char *url;    // as the caller passed it
    const char *shown;  // its redacted form
    char *msg;
    validator *stored;
    request_lines lines;
    url_credentials credentials;
    bool at_origin;  // every request so far went to the caller's origin
    uint32_t limit_ms;
    const char *at;  // the URL of the current request
    // Every URL asked for, the caller's first: a failure text may quote any.
    const char *asked[kMaxHops];
    size_t asked_count;
    char *hops[kMaxHops];  // the redirect targets, owned
    redirect_outcome redirect = redirect_outcome::not_followed;  // of the last answer
    bool too_many_redirects;
    int status;
    char *err;
    fetch_answer answer;
};

void release_err(exchange &x) {
    if (x.err && x.http->free_buf) x.http->free_buf(x.http->ctx, x.err);
    x.err = nullptr;
}

bool is_redirect(int s) { return s == 301 || s == 302 || s == 303 || s == 307 || s == 308; }

// Where the answer to the hop-th request sends the next one (into hops).
redirect_outcome follow(exchange &x, int hop) {
    const fetch_answer &a = x.answer;
    if (a.location_too_long) return redirect_outcome::too_long;
    if (a.out_of_memory) return redirect_outcome::out_of_memory;
    return redirect_target(x.at, a.location, &x.hops[hop - 1]);
}

// The request to x.at: the credentials and private lines only while every
// request so far stayed at the caller's origin (a redirect elsewhere ends that
// for the rest of the chain).
void aim(exchange &x, quorvex_http_req &req) {
    x.at_origin = x.at_origin && same_origin(x.at, x.url);
    req.url = x.asked[x.asked_count++] = x.at;
    req.header_count = lines_for(x.lines, x.at_origin);
    req.username = x.at_origin ? x.credentials.user : nullptr;
    req.password = x.at_origin ? x.credentials.password : nullptr;
}

bool past_deadline(const exchange &x) { return vqp::now_ms() >= x.answer.deadline_ms; }

// Runs the requests, following redirects; the transport's result.
int exchange_run(exchange &x) {
    quorvex_http_req req{};
    req.size = sizeof req;
    req.method = "GET";
    req.headers = x.lines.all;
    req.timeout_ms = 120000;
    req.connect_timeout_ms = 15000;
    req.flags = QVX_HTTP_FLAG_COMPRESSION;
    req.on_header = answer_header;
    req.on_body = answer_body;
    req.user = &x.answer;
    quorvex_deadline_scope bound(x.answer.deadline_ms);
    for (int hop = 1;; ++hop) {
        answer_clear(x.answer);
        aim(x, req);
        if (int rc = x.http->request(x.http->ctx, &req, &x.status, &x.err)) return rc;
        release_err(x);
        if (x.answer.late || !is_redirect(x.status)) return 0;
        x.redirect = follow(x, hop);
        if (x.redirect != redirect_outcome::followed) return 0;
        x.too_many_redirects = hop == kMaxHops;
        if (x.too_many_redirects) return 0;
        x.at = x.hops[hop - 1];
        x.answer.late = past_deadline(x);
        if (x.answer.late) return 0;
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

// The deadline ends the exchange however the transport took it: a failure
// of its own or a sink that stopped.
int too_slow(exchange &x) {
    release_err(x);
    ++g_tstats.transport_errors;
    return say(x.msg, QVX_E_NETWORK, "the fetch of %s took longer than %u s", x.shown,
               static_cast<unsigned>(x.limit_ms / 1000));
}

// Messages about one answer name the URL it came from.
struct shown_at {
    char text[512];
    explicit shown_at(const exchange &x) { vqiptv_redact_url(x.at, text, sizeof text); }
};

int transport_failed(exchange &x) {
    if (past_deadline(x)) return too_slow(x);
    shown_at where(x);
    char text[kMsgSize];
    const char *secrets[] = {x.credentials.user, x.credentials.password};
    scrub_failure(x.err, x.asked, x.asked_count, where.text, secrets, 2, text, sizeof text);
    release_err(x);
    ++g_tstats.transport_errors;
    return say(x.msg, QVX_E_NETWORK, "network: %s (%s)", text, where.text);
}

// The body stored with the validators that made the request conditional.
int not_modified(exchange &x, fetch_result *out) {
    ++g_tstats.not_modified;
    store_touch(x.stored);
    *out = fetch_result{sbuf_ref(x.stored->body), true};
    return QVX_OK;
}

int delivered(exchange &x, fetch_result *out) {
    body_in &b = x.answer.body;
    bool whole = body_finish(b);
    shown_at where(x);
    if (b.too_large) return say(x.msg, QVX_E_CONTENT, "body exceeds 64 MiB from %s", where.text);
    // A body cut short by a shortage of memory must not pass for the playlist.
    if (b.out_of_memory || x.answer.out_of_memory) return say(x.msg, QVX_E_CONTENT, "out of memory");
    if (!whole) return say(x.msg, QVX_E_CONTENT, "gzip body is corrupt or cut short from %s", where.text);
    if (body_len(b) == 0) return say(x.msg, QVX_E_CONTENT, "empty body from %s", where.text);
    store_update(x.url, x.answer.etag, x.answer.last_modified, b.buf);
    *out = fetch_result{b.buf, false};
    b.buf = nullptr;
    return QVX_OK;
}

int judge(exchange &x, fetch_result *out) {
    if (x.answer.late) return too_slow(x);
    if (x.too_many_redirects) return say(x.msg, QVX_E_CONTENT, "too many redirects from %s", x.shown);
    shown_at where(x);
    if (x.redirect == redirect_outcome::too_long)
        return say(x.msg, QVX_E_CONTENT, "redirect target is too long (over %u bytes) from %s",
                   static_cast<unsigned>(kMaxUrlBytes), where.text);
    if (x.redirect == redirect_outcome::out_of_memory) return say(x.msg, QVX_E_CONTENT, "out of memory");
    if (x.status == 304 && x.stored && x.stored->body) return not_modified(x, out);
    if (x.status >= 200 && x.status <= 299) return delivered(x, out);
    return say(x.msg, status_of(x.status), "HTTP %ld from %s", static_cast<long>(x.status), where.text);
}

int run_locked(exchange &x, const source_headers *extra, fetch_result *out) {
    ++g_tstats.requests;
    x.stored = store_find(x.url);
    lines_prepare(x.lines, x.stored, extra);
    x.at = x.url;  // asked for whole: the settings bound it
    x.at_origin = true;
    x.limit_ms = g_deadline_for_tests.load() ? g_deadline_for_tests.load() : kDeadlineMs;
    x.answer.deadline_ms = vqp::now_ms() + x.limit_ms;
    int rc = exchange_run(x) ? transport_failed(x) : judge(x, out);
    answer_clear(x.answer);
    for (char *hop : x.hops) vq_free(hop);
    return rc;
}

}  // namespace

int fetch(const quorvex_io *io, const char *url, fetch_result *out, char *msg, const source_headers *extra) {
    *out = fetch_result{nullptr, false};
    exchange x{};
    x.url = url;
    x.msg = msg;
    char shown[512];
    vqiptv_redact_url(url, shown, sizeof shown);
    x.shown = shown;
    x.http = quorvex_http_of(io);
    if (!x.http) return say(msg, QVX_E_UNSUPPORTED, "the quorvex_io carries no quorvex_http transport (%s)", shown);
    if (credentials_of(url, &x.credentials) != 0) return say(msg, QVX_E_CONTENT, "out of memory");
    int rc;
    {
        vqp::Guard g(g_tlock);
        rc = run_locked(x, extra, out);
    }
    credentials_clear(&x.credentials);
    return rc;
}

void fetch_keep_body(const char *url, const shared_buf *delivered, shared_buf *kept) {
    vqp::Guard g(g_tlock);
    store_swap_body(url, delivered, kept);
}

void fetch_deadline_for_tests(uint32_t ms) { g_deadline_for_tests = ms; }

}  // namespace vqc
