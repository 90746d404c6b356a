// Small pure helpers on URLs and identifiers: no allocation, no state, no lock.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vqc {

constexpr uint64_t kFnvOffsetBasis = 14695981039346656037ull;

// Length of the leading URI scheme when a colon follows it, else 0.
size_t scheme_len(const char *s);
constexpr uint64_t kFnvPrime = 1099511628211ull;

// 64-bit FNV-1a over n bytes, continued from h (inline: ids hash a short
// text after every location).
inline uint64_t vqiptv_fnv1a(const void *bytes, size_t n, uint64_t h) {
    const auto *p = static_cast<const unsigned char *>(bytes);
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * kFnvPrime;
    return h;
}
// Four of them at once, over n bytes at each data[k], continued from h[k]
// (updated in place): a hash is one chain of dependent multiplies, and four
// chains run side by side in about the time of one.
void vqiptv_fnv1a_x4(const char *const data[4], size_t n, uint64_t h[4]);
// Monotonic milliseconds.
uint64_t vqiptv_now_ms();
int vqiptv_uri_is_absolute(const char *s);
// The same over the n bytes at s (which need no terminator).
int vqiptv_uri_is_absolute_n(const char *s, size_t n);
// Whether the n bytes at s are a playlist location players open: an absolute
// URI whose scheme "//" follows, or one of file:, magnet: and acestream:,
// which players also open without. A ClearKey "keyid:key" line, or another
// word before a colon, is none.
int vqiptv_uri_is_playable_n(const char *s, size_t n);
int vqiptv_url_is_http(const char *s);
// Copy of url without user information, query and fragment ("?<redacted>"
// marks where they were); always terminated within cap bytes.
void vqiptv_redact_url(const char *url, char *out, size_t cap);

}  // namespace vqc
