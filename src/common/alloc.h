// The library's one allocation seam: every heap block the library makes comes
// from here, so tests can make the k-th allocation fail and check that each
// out-of-memory path gives a clean error and leaks nothing.
#pragma once
#include <cstddef>

void *vq_malloc(size_t n);
void *vq_calloc(size_t count, size_t size);
void *vq_realloc(void *p, size_t n);
void vq_free(void *p);
// Heap copies; null when s is null or memory is short.
char *vq_strdup(const char *s);
char *vq_strndup(const char *s, size_t n);

// Test hooks. vq_alloc_fail_nth(k) makes the k-th allocation from now (k >= 1)
// fail once; 0 disarms. vq_alloc_fail_from(k) makes every allocation from the
// k-th on fail until disarmed. vq_alloc_count() counts allocations since load.
void vq_alloc_fail_nth(long k);
void vq_alloc_fail_from(long k);
void vq_alloc_disarm();
long vq_alloc_count();
bool vq_alloc_fault_hit(); // true once an armed fault has fired

// Byte counts for tests that bound memory. From vq_mem_track(true) on, every
// block the seam makes, resizes or releases moves a live count (bytes made
// minus bytes released since then, in the allocator's usable block sizes, so
// negative when older blocks go) and its high-water mark. Off, as at load, the
// counting costs one relaxed load per call.
void vq_mem_track(bool on);  // also sets both counts to 0
long long vq_mem_live();
long long vq_mem_peak();
void vq_mem_peak_reset();  // the mark restarts from the live count
