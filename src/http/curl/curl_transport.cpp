// The network transport on platforms without WinHTTP, built on libcurl and
// keeping the same rules: one synchronous exchange per request on the
// caller's thread with an easy handle of its own, redirects delivered rather
// than followed, one 401 answered with the request's credentials (Digest
// before Basic), only http and https spoken, and every failure reported as a
// text naming the failed stage and libcurl's error, never the URL.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "common/alloc.h"
#include "common/ascii.h"
#include "http/buf.h"
#include "http/curl/curl_shared.h"
#include "http/curl/curl_work.h"
#include "http/headers.h"
#include "http/transports.h"
#include "platform/platform.h"

namespace {

constexpr int k_default_connect_ms = 15000;
constexpr const char *k_agent = "quorvex-http/1.0";
constexpr const char *k_protocols = "http,https";

vqp::Lock g_init_lock;
bool g_init_done;
std::atomic<const char *> g_test_ca;  // tests only: the CA file trusted instead of the system's

// Failed allocations of libcurl on this thread. libcurl also answers "out of
// memory" when a header line outgrows its cap, which is no shortage at all.
thread_local unsigned long t_shortages;

template <class T>
T *counted(T *p) {
    if (!p) ++t_shortages;
    return p;
}
void *curl_malloc(size_t n) { return counted(vq_malloc(n)); }
void *curl_realloc(void *p, size_t n) { return counted(vq_realloc(p, n)); }
char *curl_strdup(const char *s) { return counted(vq_strdup(s)); }
void *curl_calloc(size_t count, size_t n) { return counted(vq_calloc(count, n)); }

int fail(char **err, const char *text) {
    *err = vq_strdup(text);
    return -1;
}

struct stage_of_code {
    CURLcode code;
    const char *stage;
};

// Failures before a connection is up, by libcurl's code.
constexpr stage_of_code k_early[] = {
    {CURLE_UNSUPPORTED_PROTOCOL, "url"},          {CURLE_URL_MALFORMAT, "url"},
    {CURLE_COULDNT_RESOLVE_PROXY, "resolve proxy"}, {CURLE_COULDNT_RESOLVE_HOST, "resolve"},
    {CURLE_SSL_CONNECT_ERROR, "tls"},             {CURLE_PEER_FAILED_VERIFICATION, "tls"},
    {CURLE_SSL_CERTPROBLEM, "tls"},               {CURLE_SSL_CIPHER, "tls"},
    {CURLE_SSL_CACERT_BADFILE, "tls"},            {CURLE_SSL_ISSUER_ERROR, "tls"},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, "tls"},      {CURLE_SSL_INVALIDCERTSTATUS, "tls"},
};

// Where the exchange broke: the idle timeouts know their stage; before a
// connection was up it was naming, connecting or securing it; afterwards it
// was sending the request or waiting for and reading the response.
const char *stage(const curl_work &w, CURLcode rc) {
    if (w.idle_stage) return w.idle_stage;
    if (w.connected) return rc == CURLE_SEND_ERROR ? "send" : "receive";
    for (const stage_of_code &s : k_early)
        if (s.code == rc) return s.stage;
    return "connect";
}

// A proxy from the environment that could not be reached, or that answered
// the tunnel's CONNECT with a failure, would otherwise pass for the server.
// A tunnel that stood (2xx) leaves the failure to the server.
const char *proxy_stage(const curl_work &w, CURLcode rc) {
    if (!w.via_proxy || w.connected) return nullptr;
    long tunnel = 0;
    curl_easy_getinfo(w.easy, CURLINFO_HTTP_CONNECTCODE, &tunnel);
    if (tunnel >= 200 && tunnel <= 299) return nullptr;
    if (tunnel) return "proxy tunnel";
    if (rc == CURLE_COULDNT_CONNECT || rc == CURLE_OPERATION_TIMEDOUT || rc == CURLE_PROXY) return "connect to proxy";
    return nullptr;
}

// libcurl says which proxy it takes from the environment only in its verbose
// text ("Uses proxy env variable https_proxy == '...'"; the same words
// announce a no_proxy it read). Only the start of a line is looked at; nothing
// of it is kept, as it may hold the proxy's credentials.
int on_debug(CURL *, curl_infotype type, char *text, size_t n, void *user) {
    constexpr std::string_view k_uses = "Uses proxy env variable ";
    std::string_view line(text, n);
    if (type != CURLINFO_TEXT || !line.starts_with(k_uses)) return 0;
    if (!vq_istarts_with(line.substr(k_uses.size()), "no_proxy ")) static_cast<curl_work *>(user)->via_proxy = true;
    return 0;
}

bool needs_escape(unsigned char c) { return c == ' ' || c >= 0x80; }

// Where path, query or fragment begin: after the authority.
size_t rest_of(const char *url) {
    const char *sep = std::strstr(url, "://");
    if (!sep) return 0;
    return static_cast<size_t>(sep + 3 - url) + std::strcspn(sep + 3, "/?#");
}

// The path and query go out as written, with spaces and bytes beyond ASCII
// escaped as WinHTTP sends them; control characters are left for libcurl
// to refuse, so no line break can reach the request line.
char *escaped(const char *url) {
    size_t from = rest_of(url), n = std::strlen(url), size = n + 1;
    for (size_t i = from; i < n; ++i) size += needs_escape(static_cast<unsigned char>(url[i])) ? 2 : 0;
    char *out = static_cast<char *>(vq_malloc(size));
    if (!out) return nullptr;
    char *o = out;
    for (size_t i = 0; i < n; ++i) {
        auto c = static_cast<unsigned char>(url[i]);
        if (i < from || !needs_escape(c)) {
            *o++ = url[i];
            continue;
        }
        *o++ = '%';
        *o++ = vq_hex_upper(c >> 4);
        *o++ = vq_hex_upper(c);
    }
    *o = '\0';
    return out;
}

// "<stage> failed: <libcurl's text> (<code>)". libcurl's texts carry neither
// the URL nor its credentials.
int fail_stage(char **err, const char *stage, const char *text, int code) {
    char line[CURL_ERROR_SIZE + 64];
    std::snprintf(line, sizeof line, "%s failed: %s (%d)", stage, text, code);
    return fail(err, line);
}

int fail_curl(char **err, const char *stage, CURLcode rc) {
    if (rc == CURLE_OUT_OF_MEMORY) return fail(err, "oom");
    return fail_stage(err, stage, curl_easy_strerror(rc), static_cast<int>(rc));
}

int fail_url(char **err, CURLUcode rc) {
    if (rc == CURLUE_OUT_OF_MEMORY) return fail(err, "oom");
    return fail_stage(err, "url", curl_url_strerror(rc), static_cast<int>(rc));
}


// HTTP/1.1 as WinHTTP speaks it by default, so header names arrive in the
// server's letter case (the playlist fetch looks for "ETag" exactly). A proxy
// comes from the environment as libcurl reads it, the counterpart of
// WinHTTP's default proxy configuration.
void set_wire(quorvex_curl_options &o, const curl_work &w) {
    const quorvex_http_req *req = w.req;
    o.set(CURLOPT_CURLU, w.url)
        .set(CURLOPT_PROTOCOLS_STR, k_protocols)
        .set(CURLOPT_REDIR_PROTOCOLS_STR, k_protocols)
        .set(CURLOPT_FOLLOWLOCATION, 0L)
        .set(CURLOPT_NOSIGNAL, 1L)
        .set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1))
        .set(CURLOPT_SSL_VERIFYPEER, 1L)  // against the system's CA store
        .set(CURLOPT_SSL_VERIFYHOST, 2L)
        .set(CURLOPT_USERAGENT, k_agent)
        .set(CURLOPT_HTTPHEADER, w.headers)
        .set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(req->connect_timeout_ms > 0 ? req->connect_timeout_ms
                                                                                       : k_default_connect_ms));
    // "" offers every encoding the linked libcurl decodes: gzip and deflate,
    // br and zstd where it was built with them.
    if (req->flags & QVX_HTTP_FLAG_COMPRESSION)
        o.set(CURLOPT_ACCEPT_ENCODING, "");
    else
        o.set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
    if (const char *ca = g_test_ca.load()) o.set(CURLOPT_CAINFO, ca).set(CURLOPT_CAPATH, nullptr);
}

// libcurl's own account of a failure (which certificate check failed, which
// proxy could not be reached) and its verbose text, read for the proxy only.
void set_diagnostics(quorvex_curl_options &o, curl_work &w) {
    o.set(CURLOPT_ERRORBUFFER, w.detail).set(CURLOPT_DEBUGFUNCTION, on_debug).set(CURLOPT_DEBUGDATA, &w)
        .set(CURLOPT_VERBOSE, 1L);
}

// A HEAD is sent as libcurl's own so that it does not wait for a body.
void set_method(quorvex_curl_options &o, const quorvex_http_req *req) {
    if (std::strcmp(req->method, "HEAD") == 0) {
        o.set(CURLOPT_NOBODY, 1L);
        return;
    }
    o.set(CURLOPT_CUSTOMREQUEST, req->method);
    if (quorvex_curl_sends_body(req))
        o.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(req->body_len)).set(CURLOPT_POSTFIELDS, req->body);
}

void set_auth(quorvex_curl_options &o, const quorvex_http_req *req) {
    if (!req->username) return;
    o.set(CURLOPT_USERNAME, req->username)
        .set(CURLOPT_PASSWORD, req->password ? req->password : "")
        .set(CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_DIGEST | CURLAUTH_BASIC));
}

void set_sinks(quorvex_curl_options &o, curl_work &w) {
    o.set(CURLOPT_HEADERFUNCTION, quorvex_curl_on_header)
        .set(CURLOPT_HEADERDATA, &w)
        .set(CURLOPT_WRITEFUNCTION, quorvex_curl_on_body)
        .set(CURLOPT_WRITEDATA, &w);
}

int prepare(curl_work &w, char **err) {
    if (!(w.easy = curl_easy_init())) return fail(err, "oom");
    CURLUcode bad = quorvex_curl_parse_url(w.req->url, &w.url);
    if (bad != CURLUE_OK) return fail_url(err, bad);
    if (quorvex_curl_headers(&w) != 0) return fail(err, "oom");
    quorvex_curl_options o{w.easy};
    set_wire(o, w);
    set_method(o, w.req);
    set_auth(o, w.req);
    set_sinks(o, w);
    set_diagnostics(o, w);
    return o.rc == CURLE_OK ? 0 : fail_curl(err, "setup", o.rc);
}

// The deadline, the rate floor and libcurl's cap on a header line end a
// transfer with codes that would tell of a timeout or a shortage. Where a
// proxy or a certificate check failed, libcurl's own words say which.
int fail_transfer(const curl_work &w, CURLcode rc, bool short_of_memory, char **err) {
    if (w.past_deadline) return fail(err, "deadline passed");
    if (w.too_slow) return fail(err, "receive failed: transfer too slow");
    if (rc == CURLE_OUT_OF_MEMORY && !short_of_memory && w.connected && !w.delivered)
        return fail(err, "receive failed: header line too long");
    if (rc == CURLE_OUT_OF_MEMORY) return fail(err, "oom");
    const char *proxy = proxy_stage(w, rc);
    const char *where = proxy ? proxy : stage(w, rc);
    bool detailed = std::strstr(where, "proxy") || std::strcmp(where, "tls") == 0;
    return fail_stage(err, where, detailed && w.detail[0] ? w.detail : curl_easy_strerror(rc), static_cast<int>(rc));
}

int exchange(curl_work &w, int *status, char **err) {
    if (prepare(w, err) != 0) return -1;
    unsigned long shortages = t_shortages;
    CURLcode rc = quorvex_curl_pump(&w);
    if (w.oom) return fail(err, "oom");
    if (rc != CURLE_OK && !w.stopped) return fail_transfer(w, rc, t_shortages != shortages, err);
    quorvex_curl_flush(&w);
    *status = static_cast<int>(w.status);
    return 0;
}

void release(curl_work &w) {
    if (w.easy) curl_easy_cleanup(w.easy);
    curl_url_cleanup(w.url);
    curl_slist_free_all(w.headers);
    quorvex_buf_free(&w.pairs);
}

int curl_request(void *, const quorvex_http_req *req, int *status, char **err) {
    if (!status || !err) return -1;
    *status = 0;
    *err = nullptr;
    if (!req || req->size < sizeof(quorvex_http_req) || !req->method || !req->url) return fail(err, "bad request");
    if (!quorvex_method_ok(req->method)) return fail(err, "bad method");
    CURLcode rc = quorvex_curl_global_init();
    if (rc != CURLE_OK) return fail_curl(err, "init", rc);
    curl_work w{};
    w.req = req;
    int result = exchange(w, status, err);
    release(w);
    return result;
}

void curl_free_buf(void *, void *buf) { vq_free(buf); }

constexpr quorvex_http g_curl = {32, 1, nullptr, curl_request, curl_free_buf};

}  // namespace

// libcurl's own allocations go through the allocation seam too, so the
// fault-injection tests reach its out-of-memory paths.
CURLcode quorvex_curl_global_init() {
    vqp::Guard guard(g_init_lock);
    if (g_init_done) return CURLE_OK;
    CURLcode rc = curl_global_init_mem(CURL_GLOBAL_DEFAULT, curl_malloc, vq_free, curl_realloc, curl_strdup,
                                       curl_calloc);
    g_init_done = rc == CURLE_OK;
    return rc;
}

CURLUcode quorvex_curl_parse_url(const char *url, CURLU **out) {
    if (!(*out = curl_url())) return CURLUE_OUT_OF_MEMORY;
    char *text = escaped(url);
    CURLUcode rc = text ? curl_url_set(*out, CURLUPART_URL, text, CURLU_PATH_AS_IS) : CURLUE_OUT_OF_MEMORY;
    vq_free(text);
    for (CURLUPart part : {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_OPTIONS})
        if (rc == CURLUE_OK) rc = curl_url_set(*out, part, nullptr, 0);
    if (rc == CURLUE_OK) return rc;
    curl_url_cleanup(*out);
    *out = nullptr;
    return rc;
}

const quorvex_http *quorvex_http_curl() { return &g_curl; }

void quorvex_curl_trust_for_tests(const char *ca_file) { g_test_ca = ca_file; }
