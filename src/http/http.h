// The HTTP layer's internal interface: byte buffers and header helpers, the
// record checks, the I/O-over-HTTP adapter, the transport factories, the
// scriptable fake transport and MD5. Every heap block comes from the allocation
// seam (common/alloc.h); texts handed out through a record's free_buf are
// released with vq_free.
#pragma once
#include <cstddef>
#include <cstdint>

#include "quorvex_iptv.h"

// ---- byte buffer -----------------------------------------------------------
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

// ---- header helpers ---------------------------------------------------------
int quorvex_method_ok(const char *m);
int quorvex_header_line(const char *name, const char *value, char *out, size_t size);
const char *quorvex_header_get(const quorvex_http_req *req, const char *name);
// list: a header-pairs buffer ("name\0value\0" back to back).
const char *quorvex_hdrs_get(const quorvex_buf *list, const char *name);
int quorvex_content_range(const char *text, int64_t *first, int64_t *last, int64_t *total);

// ---- collector and ranged GET -------------------------------------------------
struct quorvex_collect {
    quorvex_buf body;
    quorvex_buf headers;
    int32_t status;
    uint64_t limit;
    int32_t truncated;
};
void quorvex_collect_init(quorvex_collect *col, uint64_t limit);
void quorvex_collect_free(quorvex_collect *col);
int quorvex_collect_body(void *col, const void *data, size_t n);
int quorvex_collect_header(void *col, const char *name, const char *value);
int quorvex_http_range(const quorvex_http *http, const char *url, int64_t first, int64_t last,
                       quorvex_collect *col, int *status, char **err);

// ---- record checks, adapter, factories ----------------------------------------
const quorvex_http *quorvex_http_from_ctx(const void *ctx);
const quorvex_http *quorvex_http_of(const quorvex_io *io);
// Re-binds the one process-wide adapter record to http (callers serialise).
const quorvex_io *quorvex_io_over_http(const quorvex_http *http, void *opaque);
const quorvex_http *quorvex_http_curl();    // the libcurl transport, or null
const quorvex_http *quorvex_http_winhttp(); // the WinHTTP transport, or null
const quorvex_http *quorvex_http_fake();

// ---- fake transport ---------------------------------------------------------
int quorvex_fake_set(const char *method, const char *url, int status, const char *headers, const void *body,
                     size_t body_len);
int quorvex_fake_file(const char *url, const void *data, size_t size, int ranges);
int quorvex_fake_drip(const char *url, int status, const void *data, size_t size, int chunks);
int quorvex_fake_fail(const char *method, const char *url, const char *message);
void quorvex_fake_reset();
int quorvex_fake_calls(const char *method, const char *url);
int quorvex_fake_calls_method(const char *method);
int quorvex_fake_writes_sent();
const char *quorvex_fake_last_request();

// ---- MD5 (RFC 1321) -------------------------------------------------------------
struct quorvex_md5_ctx {
    uint32_t state[4];
    uint64_t total;
    unsigned char block[64];
    uint64_t fill;
};
void quorvex_md5_init(quorvex_md5_ctx *ctx);
void quorvex_md5_update(quorvex_md5_ctx *ctx, const void *data, size_t n);
void quorvex_md5_final(quorvex_md5_ctx *ctx, unsigned char out[16]);
void quorvex_md5(const void *data, size_t n, unsigned char out[16]);
