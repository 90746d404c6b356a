// Growable NUL-terminated byte buffers and heap copies of texts. Every block
// comes from the allocation seam (common/alloc.h).
#pragma once
#include <cstddef>

// A zero-filled record is an empty buffer; after every successful append
// data[len] is 0. Appends answer 0 or -1 (buffer unchanged on -1).
struct quorvex_buf {
    char *data;
    size_t len;
    size_t cap;
};
int quorvex_buf_add(quorvex_buf *b, const void *src, size_t n);
int quorvex_buf_addc(quorvex_buf *b, char c);
int quorvex_buf_adds(quorvex_buf *b, const char *s);
void quorvex_buf_free(quorvex_buf *b);

char *quorvex_strdup(const char *s);
char *quorvex_strndup(const char *src, size_t n);
