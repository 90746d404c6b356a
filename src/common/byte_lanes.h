// Sixteen bytes compared at once, each comparison answered as a bit mask (bit
// k for byte k): the one header that names vector instructions. The build
// chooses the kind: SSE2, which every x86-64 processor has (Linux and the
// Windows DLL alike), and elsewhere the same masks made by a byte loop, which
// the tests hold equal to SSE2's for every byte value in every lane.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vqbytes {

// Byte loops standing in for vector instructions.
class PlainLanes {
public:
    static PlainLanes load(const void *p) {
        PlainLanes l;
        std::memcpy(l.b_, p, sizeof l.b_);
        return l;
    }
    uint32_t equal(unsigned char c) const {
        return mask([c](unsigned char x) { return x == c; });
    }
    // The bytes below c (an unsigned comparison).
    uint32_t below(unsigned char c) const {
        return mask([c](unsigned char x) { return x < c; });
    }
    // The bytes from 0x80 up.
    uint32_t high() const { return below(0x80) ^ 0xFFFFu; }

private:
    template <class Pred>
    uint32_t mask(Pred pred) const {
        uint32_t m = 0;
        for (size_t k = 0; k < sizeof b_; ++k) m |= static_cast<uint32_t>(pred(b_[k])) << k;
        return m;
    }
    unsigned char b_[16];
};

#if defined(__SSE2__)
class Sse2Lanes {
public:
    static Sse2Lanes load(const void *p) { return Sse2Lanes(_mm_loadu_si128(static_cast<const __m128i *>(p))); }
    uint32_t equal(unsigned char c) const { return bits(_mm_cmpeq_epi8(v_, splat(c))); }
    // SSE2 compares bytes as signed only; x < c unsigned is min(x, c - 1) == x.
    uint32_t below(unsigned char c) const {
        return c == 0 ? 0 : bits(_mm_cmpeq_epi8(_mm_min_epu8(v_, splat(static_cast<unsigned char>(c - 1))), v_));
    }
    uint32_t high() const { return bits(v_); }

private:
    explicit Sse2Lanes(__m128i v) : v_(v) {}
    static __m128i splat(unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); }
    static uint32_t bits(__m128i v) { return static_cast<uint32_t>(_mm_movemask_epi8(v)); }
    __m128i v_;
};
using Lanes = Sse2Lanes;
#else
using Lanes = PlainLanes;
#endif

}  // namespace vqbytes
