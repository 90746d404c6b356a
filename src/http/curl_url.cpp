// The URL as the libcurl transport hands it over: parsed once into w->url,
// with any user information dropped (only the request's own user name and
// password are credentials), the path kept as written, and spaces and bytes
// beyond ASCII in path and query escaped, as WinHTTP sends them. Control
// characters are left for libcurl to refuse, so no line break can reach the
// request line.
#include <cstring>
#include <initializer_list>

#include "common/alloc.h"
#include "http/curl_work.h"

namespace {

bool needs_escape(unsigned char c) { return c == ' ' || c >= 0x80; }

// Where path, query or fragment begin: after the authority.
size_t rest_of(const char *url) {
    const char *sep = std::strstr(url, "://");
    if (!sep) return 0;
    return static_cast<size_t>(sep + 3 - url) + std::strcspn(sep + 3, "/?#");
}

char *escaped(const char *url) {
    static constexpr char hex[] = "0123456789ABCDEF";
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
        *o++ = hex[c >> 4];
        *o++ = hex[c & 15];
    }
    *o = '\0';
    return out;
}

}  // namespace

CURLUcode quorvex_curl_url(curl_work *w) {
    if (!(w->url = curl_url())) return CURLUE_OUT_OF_MEMORY;
    char *text = escaped(w->req->url);
    if (!text) return CURLUE_OUT_OF_MEMORY;
    CURLUcode rc = curl_url_set(w->url, CURLUPART_URL, text, CURLU_PATH_AS_IS);
    vq_free(text);
    for (CURLUPart part : {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_OPTIONS})
        if (rc == CURLUE_OK) rc = curl_url_set(w->url, part, nullptr, 0);
    return rc;
}
