// Looking at many bytes a step: eight in a 64-bit word or sixteen in one of
// the compiler's generic vectors (SSE2 on x86-64, NEON on ARM, plain words
// where there is neither). Playlists are mostly ASCII and their lines long, so
// the scans that run over every byte use these instead of byte loops.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vqbytes {

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

// Where in memory the first and the last byte lie whose high bit is set in
// mask (not zero), as an index 0 to 7.
constexpr bool kLittle = std::endian::native == std::endian::little;
inline size_t first_marked(uint64_t mask) {
    return static_cast<size_t>(kLittle ? std::countr_zero(mask) : std::countl_zero(mask)) / 8;
}
inline size_t last_marked(uint64_t mask) {
    return 7 - static_cast<size_t>(kLittle ? std::countl_zero(mask) : std::countr_zero(mask)) / 8;
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

// Length of the run of ASCII bytes (below 0x80) at the start of the n bytes
// at p: 32 bytes a step, then eight, then one.
inline size_t ascii_run(const unsigned char *p, size_t n) {
    size_t i = 0;
    while (i + 32 <= n && !any_set((load16(p + i) | load16(p + i + 16)) & 0x80)) i += 32;
    while (i + 8 <= n && !(load8(p + i) & kHighs)) i += 8;
    while (i < n && p[i] < 0x80) i++;
    return i;
}

}  // namespace vqbytes
