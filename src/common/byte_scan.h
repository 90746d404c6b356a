// Looking at many bytes a step: eight in a 64-bit word or sixteen in one of
// the compiler's generic vectors (SSE2 on x86-64, NEON on ARM, plain words
// where there is neither). Playlists are mostly ASCII and their lines long, so
// the scans that run over every byte use these instead of byte loops.
//
// Every scan comes as a pair: the wide one, which steps over whole words or
// vectors while none of their bytes can be the one sought, and beside it its
// plain twin, the byte loop that answers the same from any index on. The wide
// one ends by handing the twin the index where it stopped, so the twin is the
// definition and the wide steps only a way to get there sooner; the tests hold
// the two equal at every offset and length.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vqbytes {

// first_marked and last_marked read byte order from the bit order of a
// little-endian word; every target the library builds for is little-endian.
static_assert(std::endian::native == std::endian::little, "byte_scan.h reads words as little-endian");

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;
constexpr uint64_t kLows = 0x7F7F7F7F7F7F7F7Full;

inline uint64_t load8(const void *p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The high bit of every byte of x that is zero, and no other bit (exact, so
// that the last such byte can be trusted as well as the first).
inline uint64_t zero_bytes(uint64_t x) { return ~(((x & kLows) + kLows) | x | kLows); }

// The high bit of every byte of w equal to c.
inline uint64_t bytes_equal(uint64_t w, unsigned char c) { return zero_bytes(w ^ (kOnes * c)); }

// Where in memory the first and the last byte lie whose high bit is set in
// mask (not zero), as an index 0 to 7.
inline size_t first_marked(uint64_t mask) { return static_cast<size_t>(std::countr_zero(mask)) / 8; }
inline size_t last_marked(uint64_t mask) { return 7 - static_cast<size_t>(std::countl_zero(mask)) / 8; }

// The eight bytes of w with A to Z in lower case, the others kept.
inline uint64_t lower8(uint64_t w) {
    uint64_t seven = w & kLows;
    uint64_t from_a = seven + kOnes * (0x80 - 'A');      // high bit set from 'A' on
    uint64_t past_z = seven + kOnes * (0x80 - 'Z' - 1);  // and from the byte after 'Z' on
    uint64_t upper = from_a & ~past_z & ~w & kHighs;
    return w | (upper >> 2);
}

using vec16 = unsigned char __attribute__((vector_size(16)));

inline vec16 load16(const void *p) {
    vec16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Whether any bit of a sixteen-byte vector (or comparison result) is set.
template <class V>
bool any_set(V v) {
    uint64_t w[2];
    static_assert(sizeof v == sizeof w);
    std::memcpy(w, &v, sizeof w);
    return (w[0] | w[1]) != 0;
}

inline const unsigned char *bytes(const void *p) { return static_cast<const unsigned char *>(p); }

// The scans. Each answers an index into the n bytes at p: where the first
// byte sought lies, or n when none does.

// The first byte from 0x80 up (a run of ASCII ends there).
inline size_t ascii_run_plain(const void *p, size_t n, size_t i) {
    while (i < n && bytes(p)[i] < 0x80) ++i;
    return i;
}
inline size_t ascii_run(const void *p, size_t n) {
    size_t i = 0;
    while (i + 32 <= n && !any_set((load16(bytes(p) + i) | load16(bytes(p) + i + 16)) & 0x80)) i += 32;
    while (i + 8 <= n && !(load8(bytes(p) + i) & kHighs)) i += 8;
    return ascii_run_plain(p, n, i);
}

// ascii_run that also sets *nul (never clears it) when a NUL lies before the
// byte it answers: the decoder learns both in one pass over a playlist.
inline size_t ascii_run_noting_nul_plain(const void *p, size_t n, size_t i, bool *nul) {
    for (; i < n && bytes(p)[i] < 0x80; ++i) *nul |= bytes(p)[i] == 0;
    return i;
}
inline size_t ascii_run_noting_nul(const void *p, size_t n, bool *nul) {
    size_t i = 0;
    bool z = false;
    for (; i + 32 <= n; i += 32) {
        vec16 a = load16(bytes(p) + i), b = load16(bytes(p) + i + 16);
        if (any_set((a | b) & 0x80)) break;
        z |= any_set((a == 0) | (b == 0));
    }
    for (uint64_t w; i + 8 <= n && !((w = load8(bytes(p) + i)) & kHighs); i += 8) z |= zero_bytes(w) != 0;
    *nul |= z;
    return ascii_run_noting_nul_plain(p, n, i, nul);
}

// The first byte that is not printable ASCII (0x20 to 0x7E).
inline size_t printable_run_plain(const void *p, size_t n, size_t i) {
    while (i < n && bytes(p)[i] >= 0x20 && bytes(p)[i] <= 0x7E) ++i;
    return i;
}
inline bool all_printable(vec16 v) { return !any_set((v < 0x20) | (v > 0x7E)); }
inline size_t printable_run(const void *p, size_t n) {
    size_t i = 0;
    while (i + 16 <= n && all_printable(load16(bytes(p) + i))) i += 16;
    return printable_run_plain(p, n, i);
}

// The first control byte other than NUL: 0x01 to 0x1F or 0x7F.
inline size_t find_control_plain(const void *p, size_t n, size_t i) {
    while (i < n && !((bytes(p)[i] >= 0x01 && bytes(p)[i] <= 0x1F) || bytes(p)[i] == 0x7F)) ++i;
    return i;
}
inline bool no_control(vec16 v) {
    vec16 below = v - 1;  // a NUL wraps to 0xFF
    return !any_set((below < 0x1F) | (v == 0x7F));
}
inline size_t find_control(const void *p, size_t n) {
    size_t i = 0;
    while (i + 16 <= n && no_control(load16(bytes(p) + i))) i += 16;
    return find_control_plain(p, n, i);
}

// The first byte equal to one of Cs.
template <unsigned char... Cs>
size_t find_any_plain(const void *p, size_t n, size_t i) {
    while (i < n && ((bytes(p)[i] != Cs) && ...)) ++i;
    return i;
}
template <unsigned char... Cs>
size_t find_any(const void *p, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w = load8(bytes(p) + i);
        if (uint64_t hit = (bytes_equal(w, Cs) | ...)) return i + first_marked(hit);
    }
    return find_any_plain<Cs...>(p, n, i);
}

// The first byte below 0x21 (a space or a control byte) or equal to c.
inline size_t find_blank_or_plain(const void *p, size_t n, size_t i, unsigned char c) {
    while (i < n && bytes(p)[i] > 0x20 && bytes(p)[i] != c) ++i;
    return i;
}
inline size_t find_blank_or(const void *p, size_t n, unsigned char c) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w = load8(bytes(p) + i);
        // Only the lowest byte the first test flags is exact, the one asked for.
        if (uint64_t hit = (((w - kOnes * 0x21) & ~w) & kHighs) | bytes_equal(w, c)) return i + first_marked(hit);
    }
    return find_blank_or_plain(p, n, i, c);
}

// The last byte equal to c (n when there is none), read from the end.
inline size_t find_last_plain(const void *p, size_t n, size_t end, unsigned char c) {
    while (end > 0)
        if (bytes(p)[--end] == c) return end;
    return n;
}
inline size_t find_last(const void *p, size_t n, unsigned char c) {
    size_t end = n;
    for (; end >= 8; end -= 8)
        if (uint64_t hit = bytes_equal(load8(bytes(p) + end - 8), c)) return end - 8 + last_marked(hit);
    return find_last_plain(p, n, end, c);
}

// The first byte a JSON string cannot hold as it is (below 0x20, '"' or '\\')
// or equal to one of Cs.
template <unsigned char... Cs>
constexpr bool json_escaped_or(unsigned char c) {
    return c < 0x20 || c == '"' || c == '\\' || ((c == Cs) || ...);
}
template <unsigned char... Cs>
size_t find_json_escape_plain(const void *p, size_t n, size_t i) {
    while (i < n && !json_escaped_or<Cs...>(bytes(p)[i])) ++i;
    return i;
}
template <unsigned char... Cs>
size_t find_json_escape(const void *p, size_t n) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        vec16 v = load16(bytes(p) + i);
        if (any_set((((v < 0x20) | (v == '"') | (v == '\\')) | ... | (v == Cs)))) break;
    }
    for (; i + 8 <= n; i += 8) {
        uint64_t w = load8(bytes(p) + i);
        // Only the lowest byte the first test flags is exact, the one asked for.
        uint64_t below = (w - kOnes * 0x20) & ~w & kHighs;
        if (uint64_t hit = ((below | bytes_equal(w, '"') | bytes_equal(w, '\\')) | ... | bytes_equal(w, Cs)))
            return i + first_marked(hit);
    }
    return find_json_escape_plain<Cs...>(p, n, i);
}

}  // namespace vqbytes
