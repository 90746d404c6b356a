// MD5 (RFC 1321).
#pragma once
#include <cstddef>
#include <cstdint>

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
