// Receiving a body: plain bytes straight into the shared buffer, a gzip file
// through the inflater into it. The buffer grows from the announced length
// (or 64 KiB) by doubling and never past the limit and its NUL.
#include "source_client/fetch/body.h"

#include <algorithm>

#include "source_client/fetch/gunzip.h"
#include "source_client/util/limits.h"

namespace vqc {

namespace {

constexpr size_t kFirstBodyCap = 65536;

// A body of announced length fits at once.
bool grow(body_in &b, size_t need) {
    constexpr size_t kMaxCap = kMaxBodyBytes + 1;
    size_t had = b.buf ? sbuf_cap(b.buf) : 0;
    size_t cap = had ? had : b.expected ? std::min(b.expected + 1, kMaxCap) : kFirstBodyCap;
    while (cap < need) cap = std::min(cap * 2, kMaxCap);
    return cap == had || sbuf_reserve(&b.buf, cap);
}

// Appends decoded bytes; the check cannot wrap, as the length never exceeds
// the limit.
int keep(body_in &b, const void *data, size_t n) {
    size_t len = body_len(b);
    if (n > kMaxBodyBytes - len) {
        b.too_large = true;
        return 1;
    }
    if (!grow(b, len + n + 1)) {
        b.out_of_memory = true;
        return 1;
    }
    sbuf_append(b.buf, data, n);
    return 0;
}

int keep_sink(void *user, const void *data, size_t n) { return keep(*static_cast<body_in *>(user), data, n); }

int inflate_piece(body_in &b, const void *data, size_t n) {
    switch (gunzip_feed(b.gz, data, n, keep_sink, &b)) {
        case gunzip_status::more: return 0;
        case gunzip_status::stopped: return 1;
        case gunzip_status::corrupt: b.corrupt = true; return 1;
        case gunzip_status::out_of_memory: b.out_of_memory = true; return 1;
    }
    return 1;
}

// The decoded bytes of a piece whose kind is known.
int take_known(body_in &b, const unsigned char *data, size_t n) {
    if (b.gz) return inflate_piece(b, data, n);
    // A plain body announced over the limit fails before it costs any memory.
    if (!b.encoded && b.expected > kMaxBodyBytes) {
        b.too_large = true;
        return 1;
    }
    return keep(b, data, n);
}

// Looks at the first two bytes: a gzip file gets an inflater.
int sniff(body_in &b, const unsigned char *data) {
    b.sniffed = true;
    unsigned char first = b.has_lead ? b.lead : data[0];
    unsigned char second = b.has_lead ? data[0] : data[1];
    if (first == kGzipMagic[0] && second == kGzipMagic[1] && !(b.gz = gunzip_new())) {
        b.out_of_memory = true;
        return 1;
    }
    if (!b.has_lead) return 0;
    b.has_lead = false;
    return take_known(b, &b.lead, 1);
}

}  // namespace

int body_take(body_in &b, const void *data, size_t n) {
    if (n == 0) return 0;
    // What arrives is held to the limit too: an inflater is never handed more.
    if (n > kMaxBodyBytes - b.received) {
        b.too_large = true;
        return 1;
    }
    b.received += n;
    auto *bytes = static_cast<const unsigned char *>(data);
    if (!b.sniffed && !b.has_lead && n == 1) {
        b.lead = bytes[0];
        b.has_lead = true;
        return 0;
    }
    if (!b.sniffed && sniff(b, bytes) != 0) return 1;
    return take_known(b, bytes, n);
}

bool body_finish(body_in &b) {
    if (b.has_lead) {
        b.has_lead = false;
        b.sniffed = true;
        take_known(b, &b.lead, 1);
    }
    if (b.gz && !gunzip_whole(b.gz)) b.corrupt = true;
    // The buffer may stay as long as its playlist is cached: the room it grew
    // beyond the body goes back (a refused trim keeps it as it is).
    if (b.buf && sbuf_cap(b.buf) > body_len(b) + 1) sbuf_reserve(&b.buf, body_len(b) + 1);
    return !b.corrupt;
}

size_t body_len(const body_in &b) { return b.buf ? sbuf_len(b.buf) : 0; }

void body_clear(body_in &b) {
    sbuf_unref(b.buf);
    gunzip_free(b.gz);
    b = body_in{};
}

}  // namespace vqc
