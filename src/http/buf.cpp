// Growable, always NUL-terminated byte buffers and heap string copies.
#include <cstdint>
#include <cstring>

#include "common/alloc.h"
#include "http/buf.h"

namespace {
constexpr size_t kFirstCap = 64;
constexpr size_t kCapLimit = size_t{1} << 63;  // a size with the sign bit set is refused

// The capacity that holds `need` bytes, doubling from the current one; 0 when
// the doubling would reach the sign bit.
size_t grown_cap(size_t cap, size_t need) {
    size_t c = cap ? cap : kFirstCap;
    while (c < need) {
        c *= 2;
        if (c >= kCapLimit) return 0;
    }
    return c;
}

// Makes room for n more bytes and the NUL; leaves the buffer untouched on failure.
int reserve(quorvex_buf *b, size_t n) {
    if (n > SIZE_MAX - 1 - b->len) return -1;
    size_t need = b->len + n + 1;
    if (b->data && b->cap >= need) return 0;
    size_t cap = grown_cap(b->cap, need);
    if (!cap) return -1;
    void *p = vq_realloc(b->data, cap);
    if (!p) return -1;
    b->data = static_cast<char *>(p);
    b->cap = cap;
    return 0;
}
}  // namespace

int quorvex_buf_add(quorvex_buf *b, const void *src, size_t n) {
    if (!b || (n && !src) || reserve(b, n) != 0) return -1;
    if (n) std::memcpy(b->data + b->len, src, n);
    b->len += n;
    b->data[b->len] = '\0';
    return 0;
}

int quorvex_buf_addc(quorvex_buf *b, char c) { return quorvex_buf_add(b, &c, 1); }

int quorvex_buf_adds(quorvex_buf *b, const char *s) {
    return s ? quorvex_buf_add(b, s, std::strlen(s)) : -1;
}

void quorvex_buf_free(quorvex_buf *b) {
    if (!b) return;
    vq_free(b->data);
    *b = quorvex_buf{};
}

char *quorvex_strdup(const char *s) { return vq_strdup(s); }

// Copies n bytes as they are, NUL bytes included, and terminates the copy.
char *quorvex_strndup(const char *src, size_t n) { return vq_strndup(src, n); }
