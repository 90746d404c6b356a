#include "common/shared_buf.h"

#include <atomic>
#include <cstring>

#include "common/alloc.h"
#include "platform/platform.h"

// The header and the bytes are one heap block, moved by realloc while it is
// being filled: the count is a plain integer reached through atomic_ref.
struct alignas(16) shared_buf {
    unsigned refs;
    size_t len;
    size_t cap;
};

namespace {
char *bytes_of(shared_buf *b) { return reinterpret_cast<char *>(b + 1); }
}  // namespace

bool sbuf_reserve(shared_buf **b, size_t cap) {
    bool fresh = *b == nullptr;
    if (cap > static_cast<size_t>(-1) - sizeof(shared_buf)) return false;
    auto *grown = static_cast<shared_buf *>(vq_realloc(*b, sizeof(shared_buf) + cap));
    if (!grown) return false;
    // Faulting in a big body page by page costs more than receiving it.
    vqp::advise_huge_pages(grown, sizeof(shared_buf) + cap);
    if (fresh) {
        *grown = shared_buf{1, 0, 0};
        bytes_of(grown)[0] = '\0';
    }
    grown->cap = cap;
    *b = grown;
    return true;
}

void sbuf_append(shared_buf *b, const void *data, size_t n) {
    if (n) std::memcpy(bytes_of(b) + b->len, data, n);
    b->len += n;
    bytes_of(b)[b->len] = '\0';
}

shared_buf *sbuf_copy(const void *data, size_t n) {
    shared_buf *b = nullptr;
    if (n == static_cast<size_t>(-1) || !sbuf_reserve(&b, n + 1)) return nullptr;  // n + 1 would wrap to 0
    sbuf_append(b, data, n);
    return b;
}

const char *sbuf_data(const shared_buf *b) { return reinterpret_cast<const char *>(b + 1); }
size_t sbuf_len(const shared_buf *b) { return b->len; }
size_t sbuf_cap(const shared_buf *b) { return b->cap; }

shared_buf *sbuf_ref(shared_buf *b) {
    if (b) std::atomic_ref<unsigned>(b->refs).fetch_add(1, std::memory_order_relaxed);
    return b;
}

void sbuf_unref(shared_buf *b) {
    if (b && std::atomic_ref<unsigned>(b->refs).fetch_sub(1, std::memory_order_acq_rel) == 1) vq_free(b);
}

void sbuf_unref_any(void *b) { sbuf_unref(static_cast<shared_buf *>(b)); }
