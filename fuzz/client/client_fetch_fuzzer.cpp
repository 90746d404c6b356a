// Feeds the playlist fetch a caller's URL and the answers of a scripted
// server, all taken from the input. The input:
//   - a flags byte: bit 0 makes the URL fuzz_secret::url_around(the URL
//     text), whose password and query values no message may show; otherwise
//     the URL is the text itself;
//   - the URL text;
//   - up to 20 answers, one per request: a flags byte (bit 0: the transport
//     fails with the first body piece as its text), a 16-bit status, a byte
//     whose low 3 bits count the headers, each a name byte (its low 3 bits
//     pick Location, ETag, Last-Modified, Content-Length, location or etag,
//     6 and 7 a name text that follows) and a value text, then a byte whose
//     low 3 bits count the body pieces, each a text.
// A text is a length byte and that many bytes with their runs expanded
// (runs.h), so a 5,000-byte path or a 20,000-byte Location is five bytes of
// input. Two fetches run, so stored validators and 304 answers are reached.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../runs.h"
#include "common/shared_buf.h"
#include "quorvex_iptv.h"
#include "secret_url.h"
#include "source_client/fetch/fetch.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/util/limits.h"
#include "source_client/util/message.h"
#include "source_client/util/url_util.h"

using namespace vqc;

namespace {

struct reader {
    const uint8_t *p;
    size_t left;
    unsigned byte() {
        if (!left) return 0;
        --left;
        return *p++;
    }
    std::string text() {
        size_t n = byte();
        n = n < left ? n : left;
        std::string_view raw(reinterpret_cast<const char *>(p), n);
        p += n;
        left -= n;
        return fuzz_runs::expand(raw);
    }
};

// Header names and values are texts: cut at a NUL like a transport would.
std::string c_text(const std::string &s) { return s.substr(0, s.find('\0')); }

const char *const kNames[] = {"Location", "ETag", "Last-Modified", "Content-Length", "location", "etag"};
constexpr unsigned kNameCount = sizeof kNames / sizeof kNames[0];

std::string header_name(reader &r) {
    unsigned pick = r.byte() % 8;
    return pick < kNameCount ? kNames[pick] : c_text(r.text());
}

struct answer {
    bool fail;
    int status;
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<std::string> pieces;
};

// Bodies and failure texts are left out: a failure text is scrubbed of the
// caller's secrets wherever they stand, so only a header (a Location) may
// bring their text into a message.
std::string header_values(const std::vector<answer> &script) {
    std::string all;
    for (const answer &a : script)
        for (const auto &h : a.headers) all += h.second + '\n';
    return all;
}

answer read_answer(reader &r) {
    answer a;
    a.fail = r.byte() & 1;
    a.status = static_cast<int>(r.byte() << 8 | r.byte());
    for (unsigned n = r.byte() % 8; n; --n) {
        std::string name = header_name(r);
        a.headers.emplace_back(name, c_text(r.text()));
    }
    for (unsigned n = r.byte() % 8; n; --n) a.pieces.push_back(r.text());
    return a;
}

std::vector<answer> g_script;
std::string g_header_values;  // of g_script, one per line
size_t g_next;
size_t g_asked;  // requests of the fetch under way

int deliver(const answer &a, const quorvex_http_req *req, int *status) {
    *status = a.status;
    std::string code = std::to_string(a.status);
    if (req->on_header(req->user, ":status", code.c_str())) return 0;
    for (const auto &h : a.headers)
        if (req->on_header(req->user, h.first.c_str(), h.second.c_str())) return 0;
    for (const auto &p : a.pieces)
        if (req->on_body(req->user, p.data(), p.size())) return 0;
    return 0;
}

// A URL a redirect led to: absolute, without a fragment, within the
// library's limit; and no fetch asks more than nine times.
void check_redirect_target(const char *url) {
    if (scheme_len(url) == 0 || std::strchr(url, '#') || std::strlen(url) > kMaxUrlBytes || g_asked > 9)
        std::abort();
}

int request(void *, const quorvex_http_req *req, int *status, char **err) {
    *status = 0;
    *err = nullptr;
    if (g_asked++ > 0) check_redirect_target(req->url);
    if (g_next >= g_script.size()) return deliver(answer{false, 404, {}, {}}, req, status);
    const answer &a = g_script[g_next++];
    if (!a.fail) return deliver(a, req, status);
    *err = a.pieces.empty() ? nullptr : strdup(c_text(a.pieces[0]).c_str());
    return -1;
}

void free_text(void *, void *p) { std::free(p); }

const quorvex_http kHttp = {32, 1, nullptr, request, free_text};
quorvex_http_ctx g_ctx = {QVX_HTTP_CTX_MAGIC, 24, &kHttp, nullptr};
const quorvex_io kIo = {&g_ctx, nullptr, nullptr, free_text};

void fetch_once(const std::string &url, bool secrets) {
    fetch_result got{};
    char msg[kMsgSize] = "";
    g_asked = 0;
    int rc = fetch(&kIo, url.c_str(), &got, msg);
    if (rc < -6 || rc > 0) std::abort();
    if (rc == 0 && (!got.body || sbuf_data(got.body)[sbuf_len(got.body)] != '\0')) std::abort();
    if (rc != 0 && (got.body || !msg[0])) std::abort();
    // The caller's URL is in every chain, so its secrets are gone whatever
    // the transport quotes and however many redirects came first.
    if (secrets) fuzz_secret::require_hidden(msg, url.c_str(), g_header_values);
    sbuf_unref(got.body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    reader r{data, size};
    bool secrets = r.byte() & 1;
    std::string url = c_text(r.text());
    if (secrets) url = fuzz_secret::url_around(url);
    g_script.clear();
    g_next = 0;
    while (r.left && g_script.size() < 20) g_script.push_back(read_answer(r));
    g_header_values = header_values(g_script);
    vqiptv_curl_reset();
    fetch_once(url, secrets);
    fetch_once(url, secrets);
    return 0;
}
