// Text helpers shared by the format parsers. They work on views into the
// decoded text; nothing here allocates or writes into the text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "common/byte_scan.h"

namespace vqplp {

// Walks the lines of a text: a line ends at LF, CR or CR LF; a text ending
// with a line break has no empty last line; an embedded NUL ends the line's
// content early (the rest of that line is skipped).
struct LineCursor {
    const char *pos;
    const char *end;
    bool has_nul;
};
inline LineCursor lines_begin(const char *text, size_t len, bool has_nul) { return LineCursor{text, text + len, has_nul}; }

// Inline: it runs once a line, and a call costs a fair part of what it does.
inline bool lines_next(LineCursor &cur, std::string_view &line) {
    if (cur.pos >= cur.end) return false;
    size_t n = vqbytes::find_line_break(cur.pos, static_cast<size_t>(cur.end - cur.pos));
    const char *stop = cur.pos + n;
    if (cur.has_nul) {
        const char *z = static_cast<const char *>(std::memchr(cur.pos, '\0', n));
        if (z) n = static_cast<size_t>(z - cur.pos);
    }
    line = std::string_view(cur.pos, n);
    cur.pos = stop;
    if (stop < cur.end) {
        bool crlf = *stop == '\r' && stop + 1 < cur.end && stop[1] == '\n';
        cur.pos += crlf ? 2 : 1;
    }
    return true;
}

// The helpers below run for nearly every byte of a playlist, so they are
// inline.
inline void trim_inplace(std::string_view &s) {
    size_t b = 0;
    while (b < s.size() && vq_is_space(s[b])) ++b;
    size_t e = s.size();
    while (e > b && vq_is_space(s[e - 1])) --e;
    s = s.substr(b, e - b);
}

inline std::string_view trimmed(std::string_view s) {
    trim_inplace(s);
    return s;
}

inline void skip_ws(std::string_view s, size_t *i) {
    while (*i < s.size() && vq_is_space(s[*i])) ++*i;
}

// The double quote that follows the "=" at s[eq] after white space, or npos:
// where the value of an attribute written name = "value" starts.
inline size_t quote_after(std::string_view s, size_t eq) {
    size_t i = eq + 1;
    skip_ws(s, &i);
    return i < s.size() && s[i] == '"' ? i : std::string_view::npos;
}

// "" for empty; unchanged without a leading quote; otherwise the text between
// the first and the last quote (or after the only one).
std::string_view strip_quotes(std::string_view s);
// 1 when equal ignoring ASCII case (two nulls are equal), else 0.
int str_ieq(const char *a, const char *b);
// Whether s, lowered, contains needle (given in lower case).
bool icontains(std::string_view s, std::string_view needle);
bool has_stream_scheme(std::string_view s);  // http://, https:// or rtsp://, any case

// Reads up to 9 significant decimal digits at s[*i] (further digits are
// skipped); *i moves past every digit. Returns -1 when there is no digit.
int32_t read_number(std::string_view s, size_t *i);

// The first n bytes of text (fewer when shorter), cut at an embedded NUL.
std::string_view head_window(const char *text, size_t len, size_t n);

// Structural UTF-8 check (lead and continuation bytes only); reports whether
// a NUL byte occurs.
// *strict tells, when the answer is true, whether every sequence is also
// well-formed (no overlong form, surrogate or code point above U+10FFFF).
bool utf8_wellformed(const unsigned char *p, size_t n, bool *has_nul, bool *strict);

}  // namespace vqplp
