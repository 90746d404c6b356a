// Scrubbing of transport failure texts.
#include "source_client/fetch/scrub.h"

#include <cstring>
#include <string_view>

#include "source_client/fetch/url_credentials.h"

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

void consider_credentials(match &m, sv url) {
    sv info = url_userinfo(url);
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

// The pieces a failure text must not show, and what shows in their place.
struct secrets_of {
    const char *const *urls;
    size_t count;
    sv shown;
    const char *const *texts;
    size_t text_count;
};

// What replaces the text at its start; len 0 when nothing does.
match longest_secret(sv here, const secrets_of &s) {
    match m{here, 0, {}};
    if (s.count) m.consider(s.urls[s.count - 1], s.shown);
    for (size_t i = 0; i < s.count; ++i) {
        consider_credentials(m, s.urls[i]);
        consider_query(m, s.urls[i]);
    }
    for (size_t i = 0; i < s.text_count; ++i)
        if (s.texts[i]) m.consider(s.texts[i], kMark);
    return m;
}

}  // namespace

void scrub_failure(const char *text, const char *const *urls, size_t count, const char *shown_url,
                   const char *const *secrets, size_t secret_count, char *out, size_t cap) {
    if (cap == 0) return;
    const secrets_of all{urls, count, shown_url, secrets, secret_count};
    sv rest = text ? text : "transport failure";
    size_t n = 0;
    while (!rest.empty() && n + 1 < cap) {
        match m = longest_secret(rest, all);
        sv put = m.len ? m.to : rest.substr(0, 1);
        size_t k = put.size() < cap - 1 - n ? put.size() : cap - 1 - n;
        std::memcpy(out + n, put.data(), k);
        n += k;
        rest.remove_prefix(m.len ? m.len : 1);
    }
    out[n] = '\0';
}

}  // namespace vqc
