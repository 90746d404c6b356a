// The POSIX conversion backend: one iconv() call over the whole input.
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

}  // namespace

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
    size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || src_left != 0) {
        vq_free(buf);
        return VQPLP_CHARSET_FAIL;
    }
    *dst = '\0';
    size_t used = static_cast<size_t>(dst - buf);
    *out = shrink(buf, used + 1);
    *out_len = used;
    return VQPLP_CHARSET_OK;
}
