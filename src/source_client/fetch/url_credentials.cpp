// The user information of a URL and the origin it belongs to.
#include "source_client/fetch/url_credentials.h"

#include <cstring>

#include "common/alloc.h"
#include "common/ascii.h"

namespace vqc {

namespace {

using sv = std::string_view;

// The authority of url (after "://", up to the first "/", "?" or "#").
sv authority_of(sv url) {
    size_t at = url.find("://");
    if (at == sv::npos) return {};
    sv auth = url.substr(at + 3);
    return auth.substr(0, auth.find_first_of("/?#"));
}

// Hands each byte of text to take with each "%XX" decoded; a "%" without two
// hexadecimal digits stays.
template <class F>
void each_decoded(sv text, F take) {
    for (size_t i = 0; i < text.size(); ++i) {
        int hi = i + 2 < text.size() ? vq_hex_digit(text[i + 1]) : -1;
        int lo = hi >= 0 ? vq_hex_digit(text[i + 2]) : -1;
        bool escape = text[i] == '%' && lo >= 0;
        take(escape ? static_cast<char>(hi << 4 | lo) : text[i]);
        i += escape ? 2 : 0;
    }
}

// A decoded heap copy of text; null when memory is short.
char *decoded(sv text) {
    char *out = static_cast<char *>(vq_malloc(text.size() + 1));
    if (!out) return nullptr;
    size_t n = 0;
    each_decoded(text, [&](char c) { out[n++] = c; });
    out[n] = '\0';
    return out;
}

bool holds_control(sv text) {
    bool found = false;
    each_decoded(text, [&](char c) { found = found || vq_is_control(c); });
    return found;
}

struct origin {
    sv scheme, host, port;
};

// Scheme, host and port of url; a port left out is the scheme's own.
origin origin_of(sv url) {
    origin o;
    o.scheme = url.substr(0, url.find("://"));
    sv auth = authority_of(url);
    if (size_t at = auth.rfind('@'); at != sv::npos) auth.remove_prefix(at + 1);
    // An IPv6 literal holds colons of its own: the port comes after its "]".
    size_t colon = auth.rfind(':');
    size_t bracket = auth.rfind(']');
    if (colon != sv::npos && (bracket == sv::npos || colon > bracket)) {
        o.host = auth.substr(0, colon);
        o.port = auth.substr(colon + 1);
    } else {
        o.host = auth;
    }
    while (o.port.size() > 1 && o.port.front() == '0') o.port.remove_prefix(1);
    if (o.port.empty()) o.port = vq_ieq(o.scheme, "https") ? "443" : vq_ieq(o.scheme, "http") ? "80" : "";
    return o;
}

}  // namespace

sv url_userinfo(sv url) {
    sv auth = authority_of(url);
    size_t last = auth.rfind('@');
    if (last == sv::npos) return url.substr(url.size());
    return auth.substr(0, last);
}

url_part credentials_control(sv url) {
    sv info = url_userinfo(url);
    size_t colon = info.find(':');
    if (holds_control(info.substr(0, colon))) return url_part::user;
    if (colon != sv::npos && holds_control(info.substr(colon + 1))) return url_part::password;
    return url_part::none;
}

int credentials_of(const char *url, url_credentials *out) {
    *out = url_credentials{};
    sv info = url_userinfo(url);
    if (info.data() == url + std::strlen(url) || credentials_control(url) != url_part::none) return 0;
    size_t colon = info.find(':');
    out->user = decoded(info.substr(0, colon));
    if (out->user && colon != sv::npos) out->password = decoded(info.substr(colon + 1));
    bool short_of_memory = !out->user || (colon != sv::npos && !out->password);
    if (short_of_memory) credentials_clear(out);
    return short_of_memory ? -1 : 0;
}

void credentials_clear(url_credentials *c) {
    if (c->password) {
        // A compiler may not drop stores through a volatile pointer.
        volatile char *p = c->password;
        while (*p) *p++ = '\0';
    }
    vq_free(c->user);
    vq_free(c->password);
    *c = url_credentials{};
}

bool same_origin(sv a, sv b) {
    if (a.find("://") == sv::npos || b.find("://") == sv::npos) return false;
    origin x = origin_of(a), y = origin_of(b);
    return vq_ieq(x.scheme, y.scheme) && vq_ieq(x.host, y.host) && x.port == y.port;
}

}  // namespace vqc
