// The scans that run over every byte of a playlist, sixteen or sixty-four
// bytes a step in vectors (byte_lanes.h), and the eight-byte words the slot
// hashes fold.
// Playlists are mostly ASCII and their lines long, so the scans step over
// whole vectors while none of their bytes can be the one sought.
//
// Every scan comes as a pair: the wide one and beside it its plain twin, the
// byte loop that answers the same from any index on. The twin is the
// definition and the wide steps only a way to get there sooner; a text
// shorter than a vector is the twin's alone, and a longer one ends with a
// vector that overlaps the one before. The tests hold the two equal at every
// offset and length, and whole parses equal with the twins alone
// (g_force_plain).
#pragma once
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/byte_lanes.h"

namespace vqbytes {

// Set by tests only: every wide scan then runs its plain twin from the start.
inline std::atomic<bool> g_force_plain{false};
inline bool force_plain() { return g_force_plain.load(std::memory_order_relaxed); }

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;
constexpr uint64_t kLows = 0x7F7F7F7F7F7F7F7Full;

inline uint64_t load8(const void *p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline uint32_t load4(const void *p) {
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Whether the n bytes at a match the n bytes at b, word by word as equal
// tells (the last two words overlapping), instead of a library call: the
// keys compared so are short.
template <class Equal>
bool same_words(const void *a, const void *b, size_t n, Equal equal) {
    auto *x = static_cast<const char *>(a), *y = static_cast<const char *>(b);
    if (n >= 8) {
        for (size_t i = 0; i + 8 < n; i += 8)
            if (!equal(load8(x + i), load8(y + i))) return false;
        return equal(load8(x + n - 8), load8(y + n - 8));
    }
    if (n >= 4) return equal(load4(x), load4(y)) && equal(load4(x + n - 4), load4(y + n - 4));
    for (size_t i = 0; i < n; ++i)
        if (!equal(static_cast<unsigned char>(x[i]), static_cast<unsigned char>(y[i]))) return false;
    return true;
}

// Whether the n bytes at a and at b are the same.
inline bool same_bytes(const void *a, const void *b, size_t n) {
    return same_words(a, b, n, [](uint64_t x, uint64_t y) { return x == y; });
}

// The eight bytes of w with A to Z in lower case, the others kept.
inline uint64_t lower8(uint64_t w) {
    uint64_t seven = w & kLows;
    uint64_t from_a = seven + kOnes * (0x80 - 'A');      // high bit set from 'A' on
    uint64_t past_z = seven + kOnes * (0x80 - 'Z' - 1);  // and from the byte after 'Z' on
    uint64_t upper = from_a & ~past_z & ~w & kHighs;
    return w | (upper >> 2);
}

// Whether the n bytes at a, A to Z taken in lower case, are the n bytes at
// lower, which hold no upper-case letter.
// Keys are nearly always written in lower case, so a word is folded only
// when it differs.
inline bool same_folded(const void *a, const void *lower, size_t n) {
    return same_words(a, lower, n, [](uint64_t x, uint64_t y) { return x == y || lower8(x) == y; });
}

inline const unsigned char *bytes(const void *p) { return static_cast<const unsigned char *>(p); }

// The marks mask (a function of sixteen lanes, see byte_lanes.h) gives the
// bytes from i to n (fewer than sixteen, n at least sixteen): the vector that
// ends at n overlaps the one before, whose bytes are shifted out.
template <class Mask>
uint32_t tail_marks(const void *p, size_t n, size_t i, Mask mask) {
    return mask(Lanes::load(bytes(p) + n - 16)).marks() >> (16 - (n - i));
}

// The marks of the sixty-four bytes at p, four vectors gathered in one word.
template <class Mask>
uint64_t marks64(const unsigned char *p, Mask mask) {
    uint64_t m = 0;
    for (unsigned k = 0; k < 4; ++k) m |= uint64_t{mask(Lanes::load(p + 16 * k)).marks()} << (16 * k);
    return m;
}

// The first byte that mask marks: sixty-four bytes a step when Step is 64
// (for what lies far off, such as the end of a line), then sixteen. Fewer
// than sixteen bytes in all, or everything when force_plain, are the plain
// twin's.
template <size_t Step, class Mask, class Plain>
size_t scan(const void *p, size_t n, Mask mask, Plain plain) {
    static_assert(Step == 16 || Step == 64);
    if (n < 16 || force_plain()) return plain(p, n, 0);
    size_t i = 0;
    if constexpr (Step == 64)
        for (; i + 64 <= n; i += 64)
            if (uint64_t m = marks64(bytes(p) + i, mask)) return i + static_cast<size_t>(std::countr_zero(m));
    for (; i + 16 <= n; i += 16)
        if (uint32_t m = mask(Lanes::load(bytes(p) + i)).marks()) return i + static_cast<size_t>(std::countr_zero(m));
    uint32_t m = tail_marks(p, n, i, mask);
    return m ? i + static_cast<size_t>(std::countr_zero(m)) : n;
}

// The scans. Each answers an index into the n bytes at p: where the first
// byte sought lies, or n when none does.

// The first byte from 0x80 up (a run of ASCII ends there): its top bit, which
// marks() reads from the bytes as they are.
inline size_t ascii_run_plain(const void *p, size_t n, size_t i) {
    while (i < n && bytes(p)[i] < 0x80) ++i;
    return i;
}
inline size_t ascii_run(const void *p, size_t n) {
    return scan<64>(p, n, [](Lanes l) { return l; }, ascii_run_plain);
}

// ascii_run that also sets *nul (never clears it) when a NUL lies before the
// byte it answers: the decoder learns both in one pass over a playlist, which
// it reads sixty-four bytes a step until a high byte, then sixteen to find it.
inline size_t ascii_run_noting_nul_plain(const void *p, size_t n, size_t i, bool *nul) {
    for (; i < n && bytes(p)[i] < 0x80; ++i) *nul |= bytes(p)[i] == 0;
    return i;
}
inline size_t ascii_run_noting_nul(const void *p, size_t n, bool *nul) {
    if (force_plain()) return ascii_run_noting_nul_plain(p, n, 0, nul);
    size_t i = 0;
    uint32_t zeros = 0;
    for (; i + 64 <= n; i += 64) {
        Lanes a = Lanes::load(bytes(p) + i), b = Lanes::load(bytes(p) + i + 16);
        Lanes c = Lanes::load(bytes(p) + i + 32), d = Lanes::load(bytes(p) + i + 48);
        if ((a | b | c | d).marks()) break;
        zeros |= (a.equal(0) | b.equal(0) | c.equal(0) | d.equal(0)).marks();
    }
    for (; i + 16 <= n; i += 16) {
        Lanes l = Lanes::load(bytes(p) + i);
        uint32_t high = l.marks(), zero = l.equal(0).marks();
        if (high) {
            *nul |= (zeros | (zero & ((high & -high) - 1))) != 0;  // the NULs before the first high byte
            return i + static_cast<size_t>(std::countr_zero(high));
        }
        zeros |= zero;
    }
    *nul |= zeros != 0;
    return ascii_run_noting_nul_plain(p, n, i, nul);
}

// The first byte that is not printable ASCII (0x20 to 0x7E).
inline size_t printable_run_plain(const void *p, size_t n, size_t i) {
    while (i < n && bytes(p)[i] >= 0x20 && bytes(p)[i] <= 0x7E) ++i;
    return i;
}
inline size_t printable_run(const void *p, size_t n) {
    return scan<16>(p, n, [](Lanes l) { return l.below(0x20) | l.at_least(0x7F); }, printable_run_plain);
}

// The first control byte other than NUL: 0x01 to 0x1F or 0x7F.
inline size_t find_control_plain(const void *p, size_t n, size_t i) {
    while (i < n && !((bytes(p)[i] >= 0x01 && bytes(p)[i] <= 0x1F) || bytes(p)[i] == 0x7F)) ++i;
    return i;
}
inline size_t find_control(const void *p, size_t n) {
    return scan<16>(
        p, n, [](Lanes l) { return (l.below(0x20) & l.at_least(0x01)) | l.equal(0x7F); }, find_control_plain);
}

// The first byte equal to one of Cs: a quote, a URL's delimiter.
template <unsigned char... Cs>
size_t find_any_plain(const void *p, size_t n, size_t i) {
    while (i < n && ((bytes(p)[i] != Cs) && ...)) ++i;
    return i;
}
template <unsigned char... Cs>
size_t find_any(const void *p, size_t n) {
    return scan<16>(p, n, [](Lanes l) { return (l.equal(Cs) | ...); }, find_any_plain<Cs...>);
}

// The first line break ("\n" or "\r"), sixty-four bytes a step: most lines
// are longer than a vector.
inline size_t find_line_break(const void *p, size_t n) {
    return scan<64>(p, n, [](Lanes l) { return l.equal('\n') | l.equal('\r'); }, find_any_plain<'\n', '\r'>);
}

// The first byte below 0x21 (a space or a control byte) or equal to c.
inline size_t find_blank_or_plain(const void *p, size_t n, size_t i, unsigned char c) {
    while (i < n && bytes(p)[i] > 0x20 && bytes(p)[i] != c) ++i;
    return i;
}
inline size_t find_blank_or(const void *p, size_t n, unsigned char c) {
    return scan<16>(
        p, n, [c](Lanes l) { return l.below(0x21) | l.equal(c); },
        [c](const void *q, size_t m, size_t i) { return find_blank_or_plain(q, m, i, c); });
}

// The last byte equal to c (n when there is none), read from the end.
inline size_t find_last_plain(const void *p, size_t n, size_t end, unsigned char c) {
    while (end > 0)
        if (bytes(p)[--end] == c) return end;
    return n;
}
inline size_t find_last(const void *p, size_t n, unsigned char c) {
    if (n < 16 || force_plain()) return find_last_plain(p, n, n, c);
    size_t end = n;
    for (; end >= 16; end -= 16)
        if (uint32_t m = Lanes::load(bytes(p) + end - 16).equal(c).marks())
            return end - 1 - static_cast<size_t>(std::countl_zero(m) - 16);
    // The first sixteen bytes, of which those before end are left.
    uint32_t m = Lanes::load(p).equal(c).marks() & ((1u << end) - 1);
    return m ? 31 - static_cast<size_t>(std::countl_zero(m)) : n;
}

// Whether c occurs an odd number of times (a quote left open), from i on.
// The wide one folds the marks of all its vectors into one, whose bits have
// the same parity as the count.
inline bool odd_count_plain(const void *p, size_t n, size_t i, unsigned char c) {
    bool odd = false;
    for (; i < n; ++i) odd ^= bytes(p)[i] == c;
    return odd;
}
inline bool odd_count(const void *p, size_t n, unsigned char c) {
    if (n < 16 || force_plain()) return odd_count_plain(p, n, 0, c);
    auto quotes = [c](Lanes l) { return l.equal(c); };
    size_t i = 0;
    uint32_t folded = 0;
    for (; i + 16 <= n; i += 16) folded ^= quotes(Lanes::load(bytes(p) + i)).marks();
    folded ^= tail_marks(p, n, i, quotes);
    for (unsigned shift = 8; shift; shift /= 2) folded ^= folded >> shift;
    return (folded & 1) != 0;
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
    return scan<16>(
        p, n, [](Lanes l) { return ((l.below(0x20) | l.equal('"') | l.equal('\\')) | ... | l.equal(Cs)); },
        find_json_escape_plain<Cs...>);
}

}  // namespace vqbytes
