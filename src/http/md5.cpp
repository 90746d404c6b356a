// MD5 message digest (RFC 1321), incremental and one-shot.
#include <algorithm>
#include <cstring>

#include "http/md5.h"

namespace {
// Per-step left rotations, four per round repeated four times.
constexpr unsigned R[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// floor(|sin(i + 1)| * 2^32).
constexpr uint32_t K[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t rotl(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

uint32_t load_le(const unsigned char *p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void store_le(unsigned char *p, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// The round function of step i and the message word it reads.
uint32_t mix(unsigned i, uint32_t b, uint32_t c, uint32_t d, unsigned *word) {
    switch (i / 16) {
    case 0: *word = i; return (b & c) | (~b & d);
    case 1: *word = (5 * i + 1) % 16; return (d & b) | (~d & c);
    case 2: *word = (3 * i + 5) % 16; return b ^ c ^ d;
    default: *word = (7 * i) % 16; return c ^ (b | ~d);
    }
}

void md5_block(uint32_t state[4], const unsigned char block[64]) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = load_le(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (unsigned i = 0; i < 64; ++i) {
        unsigned g = 0;
        uint32_t f = mix(i, b, c, d, &g) + a + K[i] + m[g];
        a = d;
        d = c;
        c = b;
        b += rotl(f, R[i]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}
}  // namespace

void quorvex_md5_init(quorvex_md5_ctx *ctx) {
    *ctx = quorvex_md5_ctx{{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476}, 0, {}, 0};
}

void quorvex_md5_update(quorvex_md5_ctx *ctx, const void *data, size_t n) {
    auto *p = static_cast<const unsigned char *>(data);
    ctx->total += n;
    while (n) {
        size_t take = std::min<size_t>(n, 64 - ctx->fill);
        std::memcpy(ctx->block + ctx->fill, p, take);
        ctx->fill += take;
        p += take;
        n -= take;
        if (ctx->fill == 64) {
            md5_block(ctx->state, ctx->block);
            ctx->fill = 0;
        }
    }
}

void quorvex_md5_final(quorvex_md5_ctx *ctx, unsigned char out[16]) {
    uint64_t bits = ctx->total * 8;
    const unsigned char one = 0x80, zero = 0;
    quorvex_md5_update(ctx, &one, 1);
    while (ctx->fill != 56) quorvex_md5_update(ctx, &zero, 1);
    store_le(ctx->block + 56, bits, 8);
    md5_block(ctx->state, ctx->block);
    ctx->fill = 0;
    for (int i = 0; i < 4; ++i) store_le(out + 4 * i, ctx->state[i], 4);
}

void quorvex_md5(const void *data, size_t n, unsigned char out[16]) {
    quorvex_md5_ctx ctx;
    quorvex_md5_init(&ctx);
    quorvex_md5_update(&ctx, data, n);
    quorvex_md5_final(&ctx, out);
}
