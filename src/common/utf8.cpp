#include "common/utf8.h"

#include <cstring>

#include "common/byte_scan.h"

namespace {
bool in_range(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }
}  // namespace

size_t vq_utf8_seq(const unsigned char *p, size_t left) {
    if (left == 0) return 0;
    unsigned char c = p[0];
    if (c < 0x80) return 1;
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (in_range(c, 0xC2, 0xDF)) {
        len = 2;
    } else if (in_range(c, 0xE0, 0xEF)) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (in_range(c, 0xF0, 0xF4)) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (left < len || !in_range(p[1], lo, hi)) return 0;
    for (size_t i = 2; i < len; ++i) {
        if (!in_range(p[i], 0x80, 0xBF)) return 0;
    }
    return len;
}

size_t vq_utf8_decode(const unsigned char *p, size_t left, uint32_t *cp) {
    size_t len = vq_utf8_seq(p, left);
    if (len == 0) return 0;
    uint32_t v = len == 1 ? p[0] : p[0] & (0x7Fu >> len);
    for (size_t i = 1; i < len; ++i) v = (v << 6) | (p[i] & 0x3Fu);
    *cp = v;
    return len;
}

size_t vq_utf8_form_len(const unsigned char *p, size_t left) {
    size_t len = left ? vq_utf8_lead_len(p[0]) : 0;
    if (len > left) return 0;
    for (size_t i = 1; i < len; ++i) {
        if (!vq_utf8_continues(p[i])) return 0;
    }
    return len;
}

size_t vq_utf8_valid_prefix(const unsigned char *p, size_t n) {
    size_t i = vqbytes::ascii_run(p, n);
    while (i < n) {
        size_t k = vq_utf8_seq(p + i, n - i);
        if (k == 0) break;
        i += k;
        i += vqbytes::ascii_run(p + i, n - i);
    }
    return i;
}

void vq_utf8_repair(char *s, size_t n) {
    auto *p = reinterpret_cast<unsigned char *>(s);
    for (size_t i = vq_utf8_valid_prefix(p, n); i < n; i += vq_utf8_valid_prefix(p + i, n - i)) p[i++] = '?';
}

size_t vq_utf8_copy_repaired(char *out, const unsigned char *s, size_t n) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t run = vq_utf8_valid_prefix(s + i, n - i);
        std::memcpy(out + o, s + i, run);
        o += run;
        i += run;
        if (i == n) break;
        std::memcpy(out + o, kReplacement, 3);
        o += 3;
    }
    return o;
}
