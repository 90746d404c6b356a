#include "common/alloc.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
std::atomic<long> g_calls{0};
std::atomic<long> g_fail_at{0};   // absolute call number that fails, 0 = none
std::atomic<bool> g_fail_sticky{false};
std::atomic<bool> g_fired{false};

bool should_fail() {
    long n = g_calls.fetch_add(1, std::memory_order_relaxed) + 1;
    long at = g_fail_at.load(std::memory_order_relaxed);
    if (at == 0) return false;
    bool fail = g_fail_sticky.load(std::memory_order_relaxed) ? n >= at : n == at;
    if (fail) g_fired.store(true, std::memory_order_relaxed);
    return fail;
}
}  // namespace

void *vq_malloc(size_t n) {
    if (should_fail()) return nullptr;
    return std::malloc(n ? n : 1);
}

void *vq_calloc(size_t count, size_t size) {
    if (should_fail()) return nullptr;
    return std::calloc(count ? count : 1, size ? size : 1);
}

void *vq_realloc(void *p, size_t n) {
    if (should_fail()) return nullptr;
    return std::realloc(p, n ? n : 1);
}

void vq_free(void *p) { std::free(p); }

char *vq_strndup(const char *s, size_t n) {
    if (!s) return nullptr;
    char *d = static_cast<char *>(vq_malloc(n + 1));
    if (!d) return nullptr;
    std::memcpy(d, s, n);
    d[n] = '\0';
    return d;
}

char *vq_strdup(const char *s) { return s ? vq_strndup(s, std::strlen(s)) : nullptr; }

void vq_alloc_fail_nth(long k) {
    g_fired = false;
    g_fail_sticky = false;
    g_fail_at = k > 0 ? g_calls.load() + k : 0;
}

void vq_alloc_fail_from(long k) {
    g_fired = false;
    g_fail_sticky = true;
    g_fail_at = k > 0 ? g_calls.load() + k : 0;
}

void vq_alloc_disarm() {
    g_fail_at = 0;
    g_fail_sticky = false;
}

long vq_alloc_count() { return g_calls.load(); }

bool vq_alloc_fault_hit() { return g_fired.load(); }
