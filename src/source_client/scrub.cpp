// Scrubbing of transport failure texts: a transport may quote the URL it was
// given, credentials and tokens included.
#include "source_client/scrub.h"

#include <cstring>
#include <string_view>

namespace {

using sv = std::string_view;
constexpr const char *kMark = "<redacted>";

// Copies piece (cut to 255 bytes) into a terminated buffer of kScrubCap bytes.
void copy_piece(sv piece, char *out) {
    size_t n = piece.size() < kScrubCap - 1 ? piece.size() : kScrubCap - 1;
    std::memcpy(out, piece.data(), n);
    out[n] = '\0';
}

// Replaces every occurrence of piece in text (kScrubCap bytes, in place).
void redact(char *text, sv piece) {
    char from[kScrubCap], tmp[kScrubCap];
    copy_piece(piece, from);
    replace_all(text, from, kMark, tmp);
    std::memcpy(text, tmp, kScrubCap);
}

// The user information of url ("user:password" before the authority's last
// "@"), empty when there is none.
sv user_info(sv url) {
    size_t at = url.find("://");
    if (at == sv::npos) return {};
    sv auth = url.substr(at + 3);
    auth = auth.substr(0, auth.find_first_of("/?#"));
    size_t last = auth.rfind('@');
    return last == sv::npos ? sv{} : auth.substr(0, last);
}

void redact_credentials(char *text, sv url) {
    sv info = user_info(url);
    if (info.empty()) return;
    redact(text, info);
    size_t colon = info.find(':');
    if (colon != sv::npos && colon + 1 < info.size()) redact(text, info.substr(colon + 1));
}

// Everything after the first "?" or "#", then each "key=value" value in it.
void redact_query(char *text, sv url) {
    size_t q = url.find_first_of("?#");
    if (q == sv::npos || q + 1 >= url.size()) return;
    sv tail = url.substr(q + 1);
    redact(text, tail);
    while (!tail.empty()) {
        size_t end = tail.find_first_of("&#");
        sv piece = tail.substr(0, end);
        size_t eq = piece.find('=');
        if (eq != sv::npos && piece.size() - eq - 1 >= 1 && piece.size() - eq - 1 <= kScrubCap - 1)
            redact(text, piece.substr(eq + 1));
        tail.remove_prefix(end == sv::npos ? tail.size() : end + 1);
    }
}

}  // namespace

void replace_all(const char *text, const char *from, const char *to, char *out) {
    size_t n = 0, flen = std::strlen(from), tlen = std::strlen(to);
    for (const char *p = text; *p && n < kScrubCap - 1;) {
        if (flen && std::strncmp(p, from, flen) == 0) {
            size_t k = tlen < kScrubCap - 1 - n ? tlen : kScrubCap - 1 - n;
            std::memcpy(out + n, to, k);
            n += k;
            p += flen;
        } else {
            out[n++] = *p++;
        }
    }
    out[n] = '\0';
}

void scrub_failure(const char *text, const char *current_url, const char *shown_url, char *out) {
    char start[kScrubCap];
    copy_piece(text ? text : "transport failure", start);
    replace_all(start, current_url, shown_url, out);
    redact_credentials(out, current_url);
    redact_query(out, current_url);
}
