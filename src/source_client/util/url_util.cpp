#include "source_client/util/url_util.h"

#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "common/byte_scan.h"
#include "platform/platform.h"

namespace vqc {

namespace {
bool is_scheme_char(char c) { return vq_is_alnum(c) || c == '+' || c == '-' || c == '.'; }

// End of the authority that starts at s: the first "/", "?", "#" or the end.
const char *authority_end(const char *s) { return s + std::strcspn(s, "/?#"); }

// Whether one of the n bytes is 0x01 to 0x1F or 0x7F.
bool holds_control(const char *s, size_t n) { return vqbytes::find_control(s, n) < n; }

// The first byte at or after p that ends an authority ("/", "?", "#") or
// spoils it (a space), or end.
const char *authority_stop(const char *p, const char *end) {
    return p + vqbytes::find_any<'/', '?', '#', ' '>(p, static_cast<size_t>(end - p));
}

// An authority (up to the first "/", "?", "#" or the end) that is not empty
// and holds no space.
bool authority_ok(const char *auth, const char *end) {
    const char *stop = authority_stop(auth, end);
    return stop > auth && (stop == end || *stop != ' ');
}

size_t scheme_len_n(const char *s, size_t n) {
    if (n == 0 || !vq_is_alpha(s[0])) return 0;
    size_t i = 1;
    while (i < n && is_scheme_char(s[i])) ++i;
    return i < n && s[i] == ':' ? i : 0;
}

// Appends bytes while room for the terminator remains.
struct Out {
    char *buf;
    size_t cap;
    size_t len = 0;
    void put(const char *s, size_t n) {
        for (size_t i = 0; i < n && len + 1 < cap; ++i) buf[len++] = s[i];
        buf[len] = '\0';
    }
};
}  // namespace

size_t scheme_len(const char *s) { return s ? scheme_len_n(s, std::strlen(s)) : 0; }

void vqiptv_fnv1a_x4(const char *const data[4], size_t n, uint64_t h[4]) {
    const char *p0 = data[0], *p1 = data[1], *p2 = data[2], *p3 = data[3];
    uint64_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (size_t i = 0; i < n; ++i) {
        a = (a ^ static_cast<unsigned char>(p0[i])) * kFnvPrime;
        b = (b ^ static_cast<unsigned char>(p1[i])) * kFnvPrime;
        c = (c ^ static_cast<unsigned char>(p2[i])) * kFnvPrime;
        d = (d ^ static_cast<unsigned char>(p3[i])) * kFnvPrime;
    }
    h[0] = a;
    h[1] = b;
    h[2] = c;
    h[3] = d;
}

uint64_t vqiptv_now_ms() { return vqp::now_ms(); }

int vqiptv_uri_is_absolute(const char *s) { return s ? vqiptv_uri_is_absolute_n(s, std::strlen(s)) : 0; }

namespace {
// Whether the n bytes at s, whose scheme is the first scheme bytes, are an
// absolute URI; has_authority tells whether "//" follows the scheme.
bool absolute_with_scheme(const char *s, size_t len, size_t scheme, bool has_authority) {
    if (scheme == 0 || scheme + 1 == len || holds_control(s, len)) return false;
    return !has_authority || authority_ok(s + scheme + 3, s + len);
}

bool authority_follows(const char *s, size_t len, size_t scheme) {
    return len >= scheme + 3 && s[scheme + 1] == '/' && s[scheme + 2] == '/';
}
}  // namespace

int vqiptv_uri_is_absolute_n(const char *s, size_t len) {
    size_t n = scheme_len_n(s, len);
    return absolute_with_scheme(s, len, n, authority_follows(s, len, n));
}

// Every network stream names its host after "//" (rtp://@239.0.0.1:5000
// too); a local file, a torrent or an Ace Stream id may go without one.
// Called once for every entry of a playlist, so the scheme is read once.
int vqiptv_uri_is_playable_n(const char *s, size_t len) {
    size_t n = scheme_len_n(s, len);
    bool authority = authority_follows(s, len, n);
    if (!absolute_with_scheme(s, len, n, authority)) return 0;
    if (authority) return 1;
    for (std::string_view opaque : {"file", "magnet", "acestream"})
        if (vq_ieq({s, n}, opaque)) return 1;
    return 0;
}

int vqiptv_url_is_http(const char *s) {
    size_t n = scheme_len(s);
    if (n != 4 && n != 5) return 0;
    bool http = vq_ieq({s, n}, n == 4 ? "http" : "https");
    if (!http || s[n + 1] != '/' || s[n + 2] != '/') return 0;
    return vqiptv_uri_is_absolute(s);
}

void vqiptv_redact_url(const char *url, char *out, size_t cap) {
    if (!out || cap == 0) return;
    Out o{out, cap};
    out[0] = '\0';
    if (!url) return;
    const char *rest = url;
    size_t n = scheme_len(url);
    if (n && url[n + 1] == '/' && url[n + 2] == '/') {
        const char *auth = url + n + 3;
        const char *end = authority_end(auth);
        o.put(url, n + 3);
        const char *host = auth;
        for (const char *p = auth; p < end; ++p) {
            if (*p == '@') host = p + 1;
        }
        o.put(host, static_cast<size_t>(end - host));
        rest = end;
    }
    size_t keep = std::strcspn(rest, "?#");
    o.put(rest, keep);
    if (rest[keep]) o.put("?<redacted>", 11);
}

}  // namespace vqc
