// Scrubbing of transport failure texts.
#include "source_client/fetch/scrub.h"

#include <cstring>
#include <string_view>

namespace vqc {

namespace {

using sv = std::string_view;
constexpr sv kMark = "<redacted>";

// The longest piece found so far at one place of the text, and what it
// becomes.
struct match {
    sv here;  // the text from that place on
    size_t len = 0;
    sv to;

    void consider(sv piece, sv replacement) {
        if (!piece.empty() && piece.size() > len && here.starts_with(piece)) {
            len = piece.size();
            to = replacement;
        }
    }
};

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

void consider_credentials(match &m, sv url) {
    sv info = user_info(url);
    m.consider(info, kMark);
    size_t colon = info.find(':');
    if (colon != sv::npos) m.consider(info.substr(colon + 1), kMark);
}

// Everything after the first "?" or "#", and each "key=value" value in it.
void consider_query(match &m, sv url) {
    size_t q = url.find_first_of("?#");
    if (q == sv::npos) return;
    sv tail = url.substr(q + 1);
    m.consider(tail, kMark);
    while (!tail.empty()) {
        size_t end = tail.find_first_of("&#");
        sv piece = tail.substr(0, end);
        size_t eq = piece.find('=');
        if (eq != sv::npos) m.consider(piece.substr(eq + 1), kMark);
        tail.remove_prefix(end == sv::npos ? tail.size() : end + 1);
    }
}

// What replaces the text at its start; len 0 when nothing does.
match longest_secret(sv here, const char *const *urls, size_t count, sv shown) {
    match m{here, 0, {}};
    m.consider(urls[count - 1], shown);
    for (size_t i = 0; i < count; ++i) {
        consider_credentials(m, urls[i]);
        consider_query(m, urls[i]);
    }
    return m;
}

}  // namespace

void scrub_failure(const char *text, const char *const *urls, size_t count, const char *shown_url, char *out,
                   size_t cap) {
    if (cap == 0) return;
    sv rest = text ? text : "transport failure";
    size_t n = 0;
    while (!rest.empty() && n + 1 < cap) {
        match m = count ? longest_secret(rest, urls, count, shown_url) : match{rest, 0, {}};
        sv put = m.len ? m.to : rest.substr(0, 1);
        size_t k = put.size() < cap - 1 - n ? put.size() : cap - 1 - n;
        std::memcpy(out + n, put.data(), k);
        n += k;
        rest.remove_prefix(m.len ? m.len : 1);
    }
    out[n] = '\0';
}

}  // namespace vqc
