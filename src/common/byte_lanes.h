// Sixteen bytes compared at once: the one header that names vector
// instructions. A comparison answers lanes of 0xFF (true) or 0x00 (false),
// which combine with | and & before marks() gathers the top bit of each lane
// into bit k for byte k. The build chooses the kind: SSE2, which every x86-64
// processor has (Linux and the Windows DLL alike), and elsewhere byte loops
// that do the same, which the tests hold equal to SSE2 for every byte value
// in every lane.
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
    PlainLanes equal(unsigned char c) const {
        return each([c](unsigned char x) { return x == c; });
    }
    // An unsigned comparison, as are all.
    PlainLanes below(unsigned char c) const {
        return each([c](unsigned char x) { return x < c; });
    }
    PlainLanes at_least(unsigned char c) const {
        return each([c](unsigned char x) { return x >= c; });
    }
    PlainLanes operator|(PlainLanes o) const {
        return zip(o, [](unsigned char x, unsigned char y) { return static_cast<unsigned char>(x | y); });
    }
    PlainLanes operator&(PlainLanes o) const {
        return zip(o, [](unsigned char x, unsigned char y) { return static_cast<unsigned char>(x & y); });
    }
    uint32_t marks() const {
        uint32_t m = 0;
        for (size_t k = 0; k < sizeof b_; ++k) m |= static_cast<uint32_t>(b_[k] >> 7) << k;
        return m;
    }

private:
    template <class Pred>
    PlainLanes each(Pred pred) const {
        PlainLanes l;
        for (size_t k = 0; k < sizeof b_; ++k) l.b_[k] = pred(b_[k]) ? 0xFF : 0x00;
        return l;
    }
    template <class Op>
    PlainLanes zip(PlainLanes o, Op op) const {
        PlainLanes l;
        for (size_t k = 0; k < sizeof b_; ++k) l.b_[k] = op(b_[k], o.b_[k]);
        return l;
    }
    unsigned char b_[16];
};

#if defined(__SSE2__)
class Sse2Lanes {
public:
    static Sse2Lanes load(const void *p) { return Sse2Lanes(_mm_loadu_si128(static_cast<const __m128i *>(p))); }
    Sse2Lanes equal(unsigned char c) const { return Sse2Lanes(_mm_cmpeq_epi8(v_, splat(c))); }
    // SSE2 compares bytes as signed only: x < c is min(x, c - 1) == x, and
    // x >= c is max(x, c) == x.
    Sse2Lanes below(unsigned char c) const {
        if (c == 0) return Sse2Lanes(_mm_setzero_si128());
        return Sse2Lanes(_mm_cmpeq_epi8(_mm_min_epu8(v_, splat(static_cast<unsigned char>(c - 1))), v_));
    }
    Sse2Lanes at_least(unsigned char c) const { return Sse2Lanes(_mm_cmpeq_epi8(_mm_max_epu8(v_, splat(c)), v_)); }
    Sse2Lanes operator|(Sse2Lanes o) const { return Sse2Lanes(_mm_or_si128(v_, o.v_)); }
    Sse2Lanes operator&(Sse2Lanes o) const { return Sse2Lanes(_mm_and_si128(v_, o.v_)); }
    uint32_t marks() const { return static_cast<uint32_t>(_mm_movemask_epi8(v_)); }

private:
    explicit Sse2Lanes(__m128i v) : v_(v) {}
    static __m128i splat(unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); }
    __m128i v_;
};
using Lanes = Sse2Lanes;
#else
using Lanes = PlainLanes;
#endif

}  // namespace vqbytes
