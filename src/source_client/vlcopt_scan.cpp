// The per-entry VLC options ("#EXTVLCOPT:http-user-agent=..." and the
// referrer) that the parser does not keep: a second pass over its decoded text
// that hands them to the items by position. Only lines starting with "#" are
// looked at closely; line breaks are found eight bytes at a time.
#include <cstring>

#include "common/alloc.h"
#include "source_client/model_build.h"

namespace {
constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr char kOptionTag[] = "#EXTVLCOPT";
constexpr size_t kOptionTagLen = sizeof kOptionTag - 1;

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_stop(char c) { return c == '\n' || c == '\r' || c == '\0'; }

// The first NUL, LF or CR at or after s, or end.
const char *next_stop(const char *s, const char *end) {
    for (uint64_t w; end - s >= 8; s += 8) {
        std::memcpy(&w, s, 8);
        // Any byte below 14 sets its high bit here; the three stops are among them.
        if (((w - kOnes * 14) & ~w & kHighBits) == 0) continue;
        for (int i = 0; i < 8; i++)
            if (is_stop(s[i])) return s + i;
    }
    while (s < end && !is_stop(*s)) s++;
    return s;
}

// The start of the line after the break at s ("\r\n" is one break).
const char *after_break(const char *s, const char *end) {
    if (s == end) return end;
    return *s == '\r' && s + 1 < end && s[1] == '\n' ? s + 2 : s + 1;
}

struct scan {
    playlist *p;
    int32_t n;
    int32_t entries;  // entry lines seen so far
    bool header_passed;
    uint32_t user_agent;  // pending for the next entry line
    uint32_t referrer;
    entry_opts *opts;
};

// The next entry line takes what is pending.
bool on_entry(scan *st) {
    if (st->entries < st->n && (st->user_agent || st->referrer)) {
        if (!st->opts) st->opts = static_cast<entry_opts *>(vq_calloc(static_cast<size_t>(st->n), sizeof(entry_opts)));
        if (!st->opts) return false;
        st->opts[st->entries] = entry_opts{st->user_agent, st->referrer};
    }
    st->user_agent = st->referrer = 0;
    st->entries++;
    return true;
}

// An option line's text after "#EXTVLCOPT": [":"] key "=" value.
bool on_option(scan *st, const char *b, const char *e) {
    while (b < e && is_space(*b)) b++;
    if (b < e && *b == ':') b++;
    const char *eq = static_cast<const char *>(std::memchr(b, '=', static_cast<size_t>(e - b)));
    if (!eq) return true;
    const char *key_end = eq;
    while (b < key_end && is_space(*b)) b++;
    while (key_end > b && is_space(key_end[-1])) key_end--;
    const char *v = eq + 1;
    while (v < e && is_space(*v)) v++;
    if (e - v >= 2 && *v == '"' && e[-1] == '"') {
        v++;
        e--;
    }
    if (v == e) return true;
    size_t klen = static_cast<size_t>(key_end - b);
    uint32_t *slot = nullptr;
    if (ieq_n(b, klen, "http-user-agent")) slot = &st->user_agent;
    else if (ieq_n(b, klen, "http-referrer") || ieq_n(b, klen, "http-referer")) slot = &st->referrer;
    if (!slot) return true;
    *slot = arena_add_n(st->p, v, static_cast<size_t>(e - v));
    return *slot != kArenaFull;
}

// One line's content [b, e); false when memory runs out.
bool on_line(scan *st, const char *b, const char *e) {
    while (b < e && is_space(*b)) b++;
    while (e > b && is_space(e[-1])) e--;
    if (b == e) return true;
    if (!st->header_passed) {
        st->header_passed = true;
        return true;
    }
    if (*b != '#') return on_entry(st);
    if (static_cast<size_t>(e - b) >= kOptionTagLen && ieq_n(b, kOptionTagLen, kOptionTag))
        return on_option(st, b + kOptionTagLen, e);
    return true;
}
}  // namespace

int vlcopt_scan(playlist *p, const char *text, size_t len, int32_t n, entry_opts **opts, bool *mismatch) {
    scan st{p, n, 0, false, 0, 0, nullptr};
    const char *end = text ? text + len : text;
    for (const char *s = text; s < end;) {
        const char *stop = next_stop(s, end);
        const char *content_end = stop;  // a NUL ends the content, not the line
        while (stop < end && *stop == '\0') stop = next_stop(stop + 1, end);
        if (!on_line(&st, s, content_end)) {
            vq_free(st.opts);
            *opts = nullptr;
            return -1;
        }
        s = after_break(stop, end);
    }
    *opts = st.opts;
    *mismatch = !text || len == 0 || st.entries != n;
    return 0;
}
