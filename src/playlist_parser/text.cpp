#include "playlist_parser/text.h"

#include <cstring>

#include "common/byte_scan.h"
#include "common/utf8.h"

namespace vqplp {

std::string_view strip_quotes(std::string_view s) {
    if (s.empty() || s.front() != '"') return s;
    size_t last = s.rfind('"');
    if (last == 0) return s.substr(1);
    return s.substr(1, last - 1);
}

int str_ieq(const char *a, const char *b) {
    if (!a || !b) return a == b;
    return vq_ieq(a, b) ? 1 : 0;
}

bool icontains(std::string_view s, std::string_view needle) {
    for (size_t i = 0; i + needle.size() <= s.size(); ++i)
        if (vq_lower(s[i]) == needle[0] && vq_istarts_with(s.substr(i), needle)) return true;
    return false;
}

bool has_stream_scheme(std::string_view s) {
    return icontains(s, "http://") || icontains(s, "https://") || icontains(s, "rtsp://");
}

int32_t read_number(std::string_view s, size_t *i) {
    if (*i >= s.size() || !vq_is_digit(s[*i])) return -1;
    int32_t v = 0;
    for (; *i < s.size() && vq_is_digit(s[*i]); ++*i)
        if (v <= 99999999) v = v * 10 + (s[*i] - '0');
    return v;
}

std::string_view head_window(const char *text, size_t len, size_t n) {
    if (!text) return {};
    if (len > n) len = n;
    const char *z = static_cast<const char *>(std::memchr(text, '\0', len));
    return std::string_view(text, z ? static_cast<size_t>(z - text) : len);
}

// One pass over the whole text: ASCII runs (and the NULs in them) many bytes
// a step, then the run of other sequences after each, strictly and when that
// fails by its form. Text in most scripts is such a run, read through without
// going back to the ASCII scan after every character.
bool utf8_wellformed(const unsigned char *p, size_t n, bool *has_nul, bool *strict) {
    bool nul = false, all_strict = true;
    for (size_t i = vqbytes::ascii_run_noting_nul(p, n, &nul); i < n;
         i += vqbytes::ascii_run_noting_nul(p + i, n - i, &nul)) {
        while (i < n && p[i] >= 0x80) {
            size_t k = vq_utf8_seq(p + i, n - i);
            if (k == 0) {
                k = vq_utf8_form_len(p + i, n - i);
                if (k == 0) return false;
                all_strict = false;
            }
            i += k;
        }
    }
    *has_nul = nul;
    *strict = all_strict;
    return true;
}

}  // namespace vqplp
