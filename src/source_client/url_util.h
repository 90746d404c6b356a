// Small pure helpers on URLs and identifiers: no allocation, no state, no lock.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint64_t kFnvOffsetBasis = 14695981039346656037ull;

// Length of the leading URI scheme when a colon follows it, else 0.
size_t scheme_len(const char *s);
// 64-bit FNV-1a over n bytes, continued from h.
uint64_t vqiptv_fnv1a(const void *bytes, size_t n, uint64_t h);
// Monotonic milliseconds.
uint64_t vqiptv_now_ms();
int vqiptv_uri_is_absolute(const char *s);
int vqiptv_url_is_http(const char *s);
// Copy of url without user information, query and fragment ("?<redacted>"
// marks where they were); always terminated within cap bytes.
void vqiptv_redact_url(const char *url, char *out, size_t cap);
