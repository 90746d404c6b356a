// The network transport over WinHTTP. Each request opens its own session,
// connection and request handles, runs synchronously on the caller's thread and
// closes everything before returning, so requests share no state and any number
// may run at once. Redirects are delivered, never followed; a 401 is answered
// once with the request's credentials. Beyond WinHTTP's idle timeouts the
// response keeps to the rate floor: its headers must all arrive within the
// receive limit, and the floor then judges every piece of the body. No wait
// outlasts the calling thread's deadline (http/deadline.h).
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "common/alloc.h"
#include "http/buf.h"
#include "http/deadline.h"
#include "http/headers.h"
#include "http/rate_floor.h"
#include "http/transports.h"
#include "http/winhttp/winhttp_work.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kReqSize = 112;
constexpr DWORD kDefaultTimeoutMs = 60000;
constexpr DWORD kDefaultConnectMs = 15000;
constexpr DWORD kOptionDecompression = 118;  // WINHTTP_OPTION_DECOMPRESSION
constexpr DWORD kOptionResponseTimeout = 7;  // WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT
constexpr DWORD kDecompressGzipDeflate = 3;  // gzip | deflate
constexpr const wchar_t *kAgent = L"quorvex-http/1.0";

// What the response hands on to the request's sinks.
struct delivery {
    const quorvex_http_req *req;
    quorvex_buf headers;  // header-pairs list, UTF-8
    int status;
    bool flushed;
    bool stopped;
    quorvex_rate_floor floor;  // counting from the first send
    uint64_t received;         // header and body bytes so far
};

// A later failure replaces an earlier text (a failed 401 answer leaves one).
int fail_text(char **err, const char *text) {
    vq_free(*err);
    *err = vq_strdup(text);
    return -1;
}

int fail_call(char **err, const char *call) {
    DWORD code = GetLastError();
    char text[128];
    std::snprintf(text, sizeof text, "%s failed: %lu", call, static_cast<unsigned long>(code));
    return fail_text(err, text);
}

DWORD or_default(int32_t ms, DWORD fallback) { return ms > 0 ? static_cast<DWORD>(ms) : fallback; }

DWORD receive_limit(const quorvex_http_req *req) {
    bool keep = req->flags & QVX_HTTP_FLAG_NO_READ_TIMEOUT;
    return or_default(keep ? req->timeout_ms : req->read_timeout_ms, kDefaultTimeoutMs);
}

void set_dword(HINTERNET h, DWORD option, DWORD value) { WinHttpSetOption(h, option, &value, sizeof value); }

// Sets option to limit_ms, or to what is left until the deadline when that is
// less; false (nothing set) once the deadline has passed.
bool set_wait(HINTERNET h, DWORD option, DWORD limit_ms) {
    auto left = static_cast<DWORD>(quorvex_deadline_left(vqp::now_ms(), limit_ms));
    if (left == 0) return false;
    set_dword(h, option, left);
    return true;
}

// The waits of sending: connecting, the request going out, the response
// head. Headers that trickle in would hold the receive call for as long as
// the server likes: they must all be in within the receive limit.
bool set_send_waits(HINTERNET h, const quorvex_http_req *req) {
    return set_wait(h, WINHTTP_OPTION_CONNECT_TIMEOUT, or_default(req->connect_timeout_ms, kDefaultConnectMs)) &&
           set_wait(h, WINHTTP_OPTION_SEND_TIMEOUT, or_default(req->timeout_ms, kDefaultTimeoutMs)) &&
           set_wait(h, WINHTTP_OPTION_RECEIVE_TIMEOUT, receive_limit(req)) &&
           set_wait(h, kOptionResponseTimeout, receive_limit(req));
}

void wwork_free(wwork *w) {
    if (w->hrequest) WinHttpCloseHandle(w->hrequest);
    if (w->hconnect) WinHttpCloseHandle(w->hconnect);
    if (w->hsession) WinHttpCloseHandle(w->hsession);
    vq_free(w->wurl);
    vq_free(w->whost);
    vq_free(w->wpath);
    vq_free(w->wmethod);
    vq_free(w->wheaders);
    *w = wwork{};
}

wchar_t *wcopy(const wchar_t *a, size_t na, const wchar_t *b, size_t nb) {
    auto *s = static_cast<wchar_t *>(vq_malloc((na + nb + 1) * sizeof(wchar_t)));
    if (!s) return nullptr;
    if (na) std::wmemcpy(s, a, na);
    if (nb) std::wmemcpy(s + na, b, nb);
    s[na + nb] = L'\0';
    return s;
}

// Path and query as the request target. A fragment never goes on the wire, and
// a bare query still needs the root path in front of it.
wchar_t *request_target(const URL_COMPONENTS &uc) {
    size_t nq = uc.dwExtraInfoLength;
    const wchar_t *hash = nq ? std::wmemchr(uc.lpszExtraInfo, L'#', nq) : nullptr;
    if (hash) nq = static_cast<size_t>(hash - uc.lpszExtraInfo);
    if (uc.dwUrlPathLength == 0 && nq > 0) return wcopy(L"/", 1, uc.lpszExtraInfo, nq);
    return wcopy(uc.lpszUrlPath, uc.dwUrlPathLength, uc.lpszExtraInfo, nq);
}

// Steps up to the connection: URL split, session with its timeouts, connect.
int open_connection(wwork *w, const quorvex_http_req *req, bool *secure, char **err) {
    if (qvw::utf8_to_utf16(req->url, &w->wurl) != 0) return fail_text(err, "utf-8 url");
    URL_COMPONENTS uc{};
    uc.dwStructSize = sizeof uc;
    uc.dwHostNameLength = uc.dwUrlPathLength = uc.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(w->wurl, static_cast<DWORD>(std::wcslen(w->wurl)), 0, &uc))
        return fail_call(err, "WinHttpCrackUrl");
    w->whost = wcopy(uc.lpszHostName, uc.dwHostNameLength, nullptr, 0);
    w->wpath = request_target(uc);
    if (!w->whost || !w->wpath) return fail_text(err, "oom");
    *secure = uc.nScheme == INTERNET_SCHEME_HTTPS;
    w->hsession = WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
    if (!w->hsession) return fail_call(err, "WinHttpOpen");
    DWORD io_timeout = or_default(req->timeout_ms, kDefaultTimeoutMs);
    set_dword(w->hsession, WINHTTP_OPTION_CONNECT_TIMEOUT, or_default(req->connect_timeout_ms, kDefaultConnectMs));
    set_dword(w->hsession, WINHTTP_OPTION_RECEIVE_TIMEOUT, io_timeout);
    set_dword(w->hsession, WINHTTP_OPTION_SEND_TIMEOUT, io_timeout);
    w->hconnect = WinHttpConnect(w->hsession, w->whost, uc.nPort, 0);
    return w->hconnect ? 0 : fail_call(err, "WinHttpConnect");
}

int open_request(wwork *w, const quorvex_http_req *req, bool secure, char **err) {
    if (qvw::utf8_to_utf16(req->method, &w->wmethod) != 0) return fail_text(err, "bad method");
    w->hrequest = WinHttpOpenRequest(w->hconnect, w->wmethod, *w->wpath ? w->wpath : L"/", nullptr,
                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                     secure ? WINHTTP_FLAG_SECURE : 0);
    if (!w->hrequest) return fail_call(err, "WinHttpOpenRequest");
    set_dword(w->hrequest, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS);
    if (req->flags & QVX_HTTP_FLAG_COMPRESSION) set_dword(w->hrequest, kOptionDecompression, kDecompressGzipDeflate);
    return 0;
}

// Sends the request (with the header block on the first send only; WinHTTP
// keeps it on the handle) and waits for the response head, which the rate
// floor counts from.
int wwork_send(wwork *w, delivery *d, const wchar_t *headers, char **err) {
    const quorvex_http_req *req = d->req;
    DWORD len = req->body ? static_cast<DWORD>(req->body_len) : 0;
    void *body = req->body ? const_cast<void *>(req->body) : WINHTTP_NO_REQUEST_DATA;
    DWORD header_len = headers ? static_cast<DWORD>(std::wcslen(headers)) : 0;
    if (!set_send_waits(w->hrequest, req)) return fail_text(err, "deadline passed");
    if (!WinHttpSendRequest(w->hrequest, headers ? headers : WINHTTP_NO_ADDITIONAL_HEADERS, header_len, body, len,
                            len, 0))
        return fail_call(err, "WinHttpSendRequest");
    quorvex_rate_start(&d->floor, receive_limit(req), vqp::now_ms(), 0);
    if (!WinHttpReceiveResponse(w->hrequest, nullptr)) return fail_call(err, "WinHttpReceiveResponse");
    return 0;
}

void query_status(HINTERNET h, int *status) {
    DWORD code = 0;
    DWORD size = sizeof code;
    if (WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                            &code, &size, WINHTTP_NO_HEADER_INDEX))
        *status = static_cast<int>(code);
}

DWORD pick_scheme(HINTERNET h) {
    DWORD supported = 0, first = 0, target = 0;
    if (!WinHttpQueryAuthSchemes(h, &supported, &first, &target)) return 0;
    if (supported & WINHTTP_AUTH_SCHEME_DIGEST) return WINHTTP_AUTH_SCHEME_DIGEST;
    if (supported & WINHTTP_AUTH_SCHEME_BASIC) return WINHTTP_AUTH_SCHEME_BASIC;
    return 0;
}

bool set_credentials(HINTERNET h, DWORD scheme, const quorvex_http_req *req) {
    wchar_t *user = nullptr;
    wchar_t *pass = nullptr;
    bool ok = qvw::utf8_to_utf16(req->username, &user) == 0 &&
              qvw::utf8_to_utf16(req->password ? req->password : "", &pass) == 0 &&
              WinHttpSetCredentials(h, WINHTTP_AUTH_TARGET_SERVER, scheme, user, pass, nullptr);
    // The password's copy does not outlive its use.
    if (pass) SecureZeroMemory(pass, std::wcslen(pass) * sizeof(wchar_t));
    vq_free(user);
    vq_free(pass);
    return ok;
}

// One answer to a 401; none of its failures ends the request by itself.
void authenticate(wwork *w, delivery *d, char **err) {
    const quorvex_http_req *req = d->req;
    int *status = &d->status;
    if (*status != 401 || !req->username) return;
    DWORD scheme = pick_scheme(w->hrequest);
    if (scheme && set_credentials(w->hrequest, scheme, req) && wwork_send(w, d, nullptr, err) == 0)
        query_status(w->hrequest, status);
}

// The units of the raw block count as the header bytes received.
void read_headers(HINTERNET h, delivery *d) {
    quorvex_buf *list = &d->headers;
    DWORD size = 0;
    WinHttpQueryHeaders(h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
    d->received += size / sizeof(wchar_t);
    if (size == 0) return;
    auto *block = static_cast<wchar_t *>(vq_malloc(size + sizeof(wchar_t)));
    if (!block) return;
    if (WinHttpQueryHeaders(h, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, block, &size,
                            WINHTTP_NO_HEADER_INDEX))
        qvw::parse_raw_headers(block, size / sizeof(wchar_t), list);
    vq_free(block);
}

// Status first, then each header in arrival order; at most once per request.
void flush_headers(delivery *d) {
    if (d->flushed || !d->req->on_header) return;
    d->flushed = true;
    const quorvex_http_req *req = d->req;
    char text[24];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(d->status));
    if (req->on_header(req->user, ":status", text) != 0) {
        d->stopped = true;
        return;
    }
    for (size_t off = 0; off < d->headers.len;) {
        const char *name = d->headers.data + off;
        const char *value = name + std::strlen(name) + 1;
        off = static_cast<size_t>(value - d->headers.data) + std::strlen(value) + 1;
        if (req->on_header(req->user, name, value) != 0) {
            d->stopped = true;
            return;
        }
    }
}

// Hands one piece on; false when delivery is to stop.
bool deliver_piece(delivery *d, const void *piece, DWORD n) {
    flush_headers(d);
    if (d->stopped) return false;
    const quorvex_http_req *req = d->req;
    if (req->on_body && req->on_body(req->user, piece, n) != 0) d->stopped = true;
    return !d->stopped;
}

// The floor speaks after each piece, when bytes have just arrived; a server
// gone quiet runs into WinHTTP's receive timeout.
bool too_slow(delivery *d, DWORD got) {
    d->received += got;
    return quorvex_rate_too_slow(&d->floor, vqp::now_ms(), d->received);
}

int body_loop(wwork *w, delivery *d, char **err) {
    for (;;) {
        DWORD avail = 0;
        if (!set_wait(w->hrequest, WINHTTP_OPTION_RECEIVE_TIMEOUT, receive_limit(d->req)))
            return fail_text(err, "deadline passed");
        if (!WinHttpQueryDataAvailable(w->hrequest, &avail)) return fail_call(err, "WinHttpQueryDataAvailable");
        if (avail == 0) return 0;
        void *piece = vq_malloc(avail);
        if (!piece) return fail_text(err, "oom");
        DWORD got = 0;
        if (!WinHttpReadData(w->hrequest, piece, avail, &got)) {
            int rc = fail_call(err, "WinHttpReadData");
            vq_free(piece);
            return rc;
        }
        bool go_on = got > 0 && deliver_piece(d, piece, got);
        vq_free(piece);
        if (go_on && too_slow(d, got)) return fail_text(err, "receive failed: transfer too slow");
        if (!go_on) return 0;
    }
}

int exchange(wwork *w, delivery *d, char **err) {
    const quorvex_http_req *req = d->req;
    bool secure = false;
    if (open_connection(w, req, &secure, err) != 0 || open_request(w, req, secure, err) != 0) return -1;
    if (qvw::wwork_headers(w, req) != 0) return fail_text(err, "utf-8 headers");
    if (wwork_send(w, d, w->wheaders, err) != 0) return -1;
    query_status(w->hrequest, &d->status);
    authenticate(w, d, err);
    read_headers(w->hrequest, d);
    if (body_loop(w, d, err) != 0) return -1;
    flush_headers(d);
    return 0;
}

int winhttp_request(void *, const quorvex_http_req *req, int *status, char **err) {
    *status = 0;
    *err = nullptr;
    // WinHTTP takes a 32-bit body length; a longer body would go out cut short.
    if (!req || req->size < kReqSize || !req->method || !req->url || (req->body && req->body_len > MAXDWORD))
        return fail_text(err, "bad request");
    if (!quorvex_method_ok(req->method)) return fail_text(err, "bad method");
    wwork w{};
    delivery d{};
    d.req = req;
    int rc = exchange(&w, &d, err);
    if (rc == 0) *status = d.status;
    wwork_free(&w);
    quorvex_buf_free(&d.headers);
    return rc;
}

void winhttp_free_buf(void *, void *buf) { vq_free(buf); }

const quorvex_http g_winhttp = {32, 1, nullptr, winhttp_request, winhttp_free_buf};

}  // namespace

const quorvex_http *quorvex_http_winhttp() { return &g_winhttp; }
