#include "common/alloc.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

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

std::atomic<bool> g_tracking{false};
std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

bool tracking() { return g_tracking.load(std::memory_order_relaxed); }

void add_live(long long delta) {
    long long now = g_live.fetch_add(delta, std::memory_order_relaxed) + delta;
    long long peak = g_peak.load(std::memory_order_relaxed);
    while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

long long size_of(void *p) { return p ? static_cast<long long>(vqp::heap_block_size(p)) : 0; }

void *counted(void *p) {
    if (p && tracking()) add_live(size_of(p));
    return p;
}
}  // namespace

void *vq_malloc(size_t n) {
    if (should_fail()) return nullptr;
    return counted(std::malloc(n ? n : 1));
}

void *vq_calloc(size_t count, size_t size) {
    if (should_fail()) return nullptr;
    return counted(std::calloc(count ? count : 1, size ? size : 1));
}

void *vq_realloc(void *p, size_t n) {
    if (should_fail()) return nullptr;
    bool track = tracking();
    long long before = track ? size_of(p) : 0;
    void *q = std::realloc(p, n ? n : 1);
    if (q && track) add_live(size_of(q) - before);
    return q;
}

void vq_free(void *p) {
    if (tracking()) add_live(-size_of(p));
    std::free(p);
}

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

void vq_mem_track(bool on) {
    g_tracking = false;
    g_live = 0;
    g_peak = 0;
    g_tracking = on;
}

long long vq_mem_live() { return g_live.load(); }

long long vq_mem_peak() { return g_peak.load(); }

void vq_mem_peak_reset() { g_peak = g_live.load(); }
