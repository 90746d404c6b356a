// The POSIX conversion backend: one iconv() call over the whole input, and one
// to flush what a stateful converter holds back.
#include <iconv.h>

#include <cstdint>

#include "common/alloc.h"
#include "platform/platform.h"
#include "playlist_parser/charset.h"

namespace {

// Gives back the unused tail of a buffer sized for the worst case; keeps the
// big block when the shrink cannot be done.
char *shrink(char *buf, size_t used) {
    void *p = vq_realloc(buf, used);
    return p ? static_cast<char *>(p) : buf;
}

constexpr size_t kIconvError = static_cast<size_t>(-1);

// Writes what the converter still holds: CP1255 keeps a letter back until it
// knows whether a vowel point follows, and gives it out only here.
bool flush(iconv_t cd, char **dst, size_t *dst_left) {
    return iconv(cd, nullptr, nullptr, dst, dst_left) != kIconvError;
}

// The code point of one byte, 0 when the set refuses it or gives no single
// character for it.
uint32_t high_char(iconv_t cd, unsigned char byte) {
    unsigned char out[8];
    char *src = reinterpret_cast<char *>(&byte), *dst = reinterpret_cast<char *>(out);
    size_t src_left = 1, dst_left = sizeof out;
    bool ok = iconv(cd, &src, &src_left, &dst, &dst_left) != kIconvError && flush(cd, &dst, &dst_left);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state for the next byte
    if (!ok || sizeof out - dst_left != 4) return 0;
    return uint32_t{out[0]} | uint32_t{out[1]} << 8 | uint32_t{out[2]} << 16 | uint32_t{out[3]} << 24;
}

}  // namespace

bool vqplp_charset_high_chars(const char *source_name, uint32_t chars[128]) {
    if (!source_name || !*source_name) return false;
    iconv_t cd = iconv_open("UTF-32LE", source_name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    for (unsigned b = 0; b < 128; ++b) chars[b] = high_char(cd, static_cast<unsigned char>(0x80 + b));
    iconv_close(cd);
    return true;
}

bool vqplp_charset_known(const char *source_name) {
    if (!source_name || !*source_name) return false;
    iconv_t cd = iconv_open("UTF-8", source_name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

int vqplp_charset_to_utf8(const char *source_name, const unsigned char *in, size_t len, char **out, size_t *out_len) {
    *out = nullptr;
    *out_len = 0;
    // glibc takes "" as the locale's own character set; a caller never means that.
    if (!source_name || !*source_name) return VQPLP_CHARSET_FAIL;
    if (len > (SIZE_MAX - 16) / 4) return VQPLP_CHARSET_NOMEM;
    iconv_t cd = iconv_open("UTF-8", source_name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return VQPLP_CHARSET_FAIL;
    // Four output bytes per input byte covers every source character set; the
    // last byte is kept for the terminator.
    size_t cap = 4 * len + 16;
    char *buf = static_cast<char *>(vq_malloc(cap));
    if (!buf) {
        iconv_close(cd);
        return VQPLP_CHARSET_NOMEM;
    }
    vqp::advise_huge_pages(buf, cap);
    char *src = const_cast<char *>(reinterpret_cast<const char *>(in));
    size_t src_left = len;
    char *dst = buf;
    size_t dst_left = cap - 1;
    bool ok = iconv(cd, &src, &src_left, &dst, &dst_left) != kIconvError && src_left == 0 && flush(cd, &dst, &dst_left);
    iconv_close(cd);
    if (!ok) {
        vq_free(buf);
        return VQPLP_CHARSET_FAIL;
    }
    *dst = '\0';
    size_t used = static_cast<size_t>(dst - buf);
    *out = shrink(buf, used + 1);
    *out_len = used;
    return VQPLP_CHARSET_OK;
}
