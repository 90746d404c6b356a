#include "playlist_parser/text.h"

#include <cstring>

#include "common/byte_scan.h"

namespace vqplp {

LineCursor lines_begin(const char *text, size_t len, bool has_nul) {
    return LineCursor{text, text + len, nullptr, nullptr, has_nul};
}

bool lines_next(LineCursor &cur, std::string_view &line) {
    if (cur.pos >= cur.end) return false;
    // The next line feed and carriage return are remembered: with lines ended
    // by one of them alone, searching for the other anew on every line would
    // read the rest of the text each time.
    size_t left = static_cast<size_t>(cur.end - cur.pos);
    if (!cur.next_lf || cur.next_lf < cur.pos) {
        const char *nl = static_cast<const char *>(std::memchr(cur.pos, '\n', left));
        cur.next_lf = nl ? nl : cur.end;
    }
    if (!cur.next_cr || cur.next_cr < cur.pos) {
        const char *cr = static_cast<const char *>(std::memchr(cur.pos, '\r', left));
        cur.next_cr = cr ? cr : cur.end;
    }
    const char *stop = cur.next_cr < cur.next_lf ? cur.next_cr : cur.next_lf;
    size_t n = static_cast<size_t>(stop - cur.pos);
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

std::string_view strip_quotes(std::string_view s) {
    if (s.empty() || s.front() != '"') return s;
    size_t last = s.rfind('"');
    if (last == 0) return s.substr(1);
    return s.substr(1, last - 1);
}

int str_ieq(const char *a, const char *b) {
    if (!a || !b) return a == b;
    for (; lower(*a) == lower(*b); ++a, ++b)
        if (!*a) return 1;
    return 0;
}

bool ieq(std::string_view a, std::string_view b) { return a.size() == b.size() && istarts_with(a, b); }

bool icontains(std::string_view s, std::string_view needle) {
    for (size_t i = 0; i + needle.size() <= s.size(); ++i)
        if (lower(s[i]) == needle[0] && istarts_with(s.substr(i), needle)) return true;
    return false;
}

bool has_stream_scheme(std::string_view s) {
    return icontains(s, "http://") || icontains(s, "https://") || icontains(s, "rtsp://");
}

int32_t read_number(std::string_view s, size_t *i) {
    if (*i >= s.size() || !is_digit(s[*i])) return -1;
    int32_t v = 0;
    for (; *i < s.size() && is_digit(s[*i]); ++*i)
        if (v <= 99999999) v = v * 10 + (s[*i] - '0');
    return v;
}

std::string_view head_window(const char *text, size_t len, size_t n) {
    if (!text) return {};
    if (len > n) len = n;
    const char *z = static_cast<const char *>(std::memchr(text, '\0', len));
    return std::string_view(text, z ? static_cast<size_t>(z - text) : len);
}

namespace {

using namespace vqbytes;

// Length of the sequence a lead byte starts, 0 for a byte that cannot lead.
size_t seq_len(unsigned char c) {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xF8) == 0xF0) return 4;
    return 0;
}

bool continuation_ok(const unsigned char *p, size_t k) {
    for (size_t j = 1; j < k; ++j)
        if ((p[j] & 0xC0) != 0x80) return false;
    return true;
}

bool strict_seq(const unsigned char *p, size_t k) {
    unsigned char c = p[0], d = p[1];
    if (k == 2) return c >= 0xC2;
    if (k == 3) return (c != 0xE0 || d >= 0xA0) && (c != 0xED || d <= 0x9F);
    return c <= 0xF4 && (c != 0xF0 || d >= 0x90) && (c != 0xF4 || d <= 0x8F);
}

}  // namespace

bool utf8_wellformed(const unsigned char *p, size_t n, bool *has_nul, bool *strict) {
    bool nul = false, all_strict = true;
    size_t i = 0;
    while (i < n) {
        // ASCII fast path, 64 and then eight bytes at a time.
        while (i + 64 <= n) {
            vec16 a = load16(p + i), b = load16(p + i + 16), c = load16(p + i + 32), d = load16(p + i + 48);
            if (any_set((a | b | c | d) & 0x80)) break;
            nul |= any_set((a == 0) | (b == 0) | (c == 0) | (d == 0));
            i += 64;
        }
        for (uint64_t v; i + 8 <= n && !((v = load8(p + i)) & kHighs); i += 8) nul |= zero_bytes(v) != 0;
        if (i >= n) break;
        size_t k = seq_len(p[i]);
        if (k == 0 || k > n - i || !continuation_ok(p + i, k)) return false;
        nul |= p[i] == 0;
        all_strict = all_strict && (k == 1 || strict_seq(p + i, k));
        i += k;
    }
    *has_nul = nul;
    *strict = all_strict;
    return true;
}

}  // namespace vqplp
