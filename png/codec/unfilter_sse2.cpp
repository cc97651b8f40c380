#include "codec/unfilter.h"
#include "format.h"

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>

#include <cstring>

// The 32-bit Windows build targets any x86, so SSE2 code is compiled per
// function and chosen at run time; on x86-64 SSE2 is always there.
#define FLT_SSE2 __attribute__((target("sse2")))

namespace png {
namespace {

// One pixel in the low lanes of a register. load_wide reads a whole 4 or 8
// bytes while the row has them (the lanes past the pixel then hold the next
// pixel's first bytes, which the lane-wise arithmetic never mixes into the
// pixel's own); load_tail assembles the last pixel from its own bytes.
// Stores write exactly the pixel, so no load overlaps an earlier store in
// part.
template <size_t BPP>
FLT_SSE2 inline __m128i load_wide(const uint8_t *p) {
    if (BPP > 4) return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p));
    uint32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <size_t BPP>
FLT_SSE2 inline __m128i load_tail(const uint8_t *p) {
    uint32_t lo = 0, hi = 0;
    std::memcpy(&lo, p, BPP < 4 ? BPP : 4);
    if (BPP > 4) std::memcpy(&hi, p + 4, BPP - 4);
    return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(lo)),
                              _mm_cvtsi32_si128(static_cast<int>(hi)));
}

FLT_SSE2 inline uint32_t low_word(__m128i v) {
    return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

template <size_t BPP>
FLT_SSE2 inline void store_pixel(uint8_t *p, __m128i v) {
    if (BPP == 8) return _mm_storel_epi64(reinterpret_cast<__m128i *>(p), v);
    const uint32_t x = low_word(v);
    if (BPP == 3) {
        p[0] = static_cast<uint8_t>(x);
        p[1] = static_cast<uint8_t>(x >> 8);
        p[2] = static_cast<uint8_t>(x >> 16);
        return;
    }
    std::memcpy(p, &x, 4);
    if (BPP == 6) {
        const uint32_t y = low_word(_mm_srli_si128(v, 4));
        p[4] = static_cast<uint8_t>(y);
        p[5] = static_cast<uint8_t>(y >> 8);
    }
}

// The host's 24-bit pixel of an unfiltered RGB or RGBA pixel: the high
// (first) bytes of red, green and blue in the order blue, green, red. Four
// bytes are stored; the next pixel overwrites the fourth.
template <size_t BPP>
FLT_SSE2 inline void put_bgr(uint8_t *out, __m128i v) {
    if (BPP >= 6) v = _mm_packus_epi16(_mm_and_si128(v, _mm_set1_epi16(0xFF)), v);
    const uint32_t x = __builtin_bswap32(low_word(v)) >> 8;
    std::memcpy(out, &x, 4);
}

FLT_SSE2 void up_sse2(uint8_t *row, const uint8_t *prior, size_t size) {
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(prior + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(row + i), _mm_add_epi8(x, b));
    }
    for (; i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

// Sub is a running sum per channel: within 16 bytes two shifted additions
// give every pixel the sum of those before it, and the last pixel of the
// block, repeated, carries into the next block.
FLT_SSE2 void sub4_sse2(uint8_t *row, size_t size) {
    __m128i carry = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + i));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
        x = _mm_add_epi8(x, carry);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(row + i), x);
        carry = _mm_shuffle_epi32(x, 0xFF);
    }
    for (; i < size; i += 4) {
        carry = _mm_add_epi8(load_wide<4>(row + i), carry);
        store_pixel<4>(row + i, carry);
    }
}

// Three-byte pixels: four of them (12 bytes) per block; the last four bytes
// loaded are written back unchanged.
FLT_SSE2 void sub3_sse2(uint8_t *row, size_t size) {
    const __m128i low12 = _mm_srli_si128(_mm_set1_epi8(-1), 4);
    const __m128i low3 = _mm_cvtsi32_si128(0xFFFFFF);
    __m128i carry = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 16 <= size; i += 12) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + i));
        __m128i x = _mm_and_si128(in, low12);
        x = _mm_add_epi8(x, _mm_slli_si128(x, 3));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 6));
        x = _mm_and_si128(_mm_add_epi8(x, carry), low12);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(row + i),
                         _mm_or_si128(x, _mm_andnot_si128(low12, in)));
        const __m128i last = _mm_and_si128(_mm_srli_si128(x, 9), low3);
        carry = _mm_or_si128(last, _mm_slli_si128(last, 3));
        carry = _mm_or_si128(carry, _mm_slli_si128(carry, 6));
    }
    for (; i < size; i += 3) {
        carry = _mm_add_epi8(load_tail<3>(row + i), carry);
        store_pixel<3>(row + i, carry);
    }
}

// Sub, Average and Paeth of one pixel need the pixel to its left
// unfiltered, so these go one pixel at a time: Step takes the stored pixel
// and the one above and gives the unfiltered pixel, which is stored and,
// with Fuse, also written to `bgr` as the host's pixel.
template <size_t BPP, bool Fuse, typename Step>
FLT_SSE2 inline void each_pixel(uint8_t *row, const uint8_t *prior, size_t size, uint8_t *bgr,
                                Step step) {
    constexpr size_t kWide = BPP <= 4 ? 4 : 8;
    size_t i = 0;
    for (; i + kWide <= size; i += BPP) {
        const __m128i v = step(load_wide<BPP>(row + i), load_wide<BPP>(prior + i));
        store_pixel<BPP>(row + i, v);
        if (Fuse) {
            put_bgr<BPP>(bgr, v);
            bgr += 3;
        }
    }
    if (i < size) {  // 3- and 6-byte pixels: the last one
        const __m128i v = step(load_tail<BPP>(row + i), load_tail<BPP>(prior + i));
        store_pixel<BPP>(row + i, v);
        if (Fuse) put_bgr<BPP>(bgr, v);
    }
}

struct SubStep {
    __m128i a;
    FLT_SSE2 SubStep() : a(_mm_setzero_si128()) {}
    FLT_SSE2 __m128i operator()(__m128i x, __m128i) { return a = _mm_add_epi8(x, a); }
};

// _mm_avg_epu8 rounds up; subtracting the low bit of a ^ b makes it floor.
struct AverageStep {
    __m128i a, one;
    FLT_SSE2 AverageStep() : a(_mm_setzero_si128()), one(_mm_set1_epi8(1)) {}
    FLT_SSE2 __m128i operator()(__m128i x, __m128i b) {
        const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), one);
        return a = _mm_add_epi8(x, _mm_sub_epi8(_mm_avg_epu8(a, b), odd));
    }
};

FLT_SSE2 inline __m128i abs_epi16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

FLT_SSE2 inline __m128i select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Paeth in 16-bit lanes: a when |p - a| is the smallest, else b when
// |p - b| <= |p - c|, else c (p = a + b - c).
struct PaethStep {
    __m128i a, c;
    FLT_SSE2 PaethStep() : a(_mm_setzero_si128()), c(_mm_setzero_si128()) {}
    FLT_SSE2 __m128i operator()(__m128i stored, __m128i above) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i b = _mm_unpacklo_epi8(above, zero);
        const __m128i from_b = _mm_sub_epi16(b, c), from_a = _mm_sub_epi16(a, c);
        const __m128i pa = abs_epi16(from_b), pb = abs_epi16(from_a);
        const __m128i pc = abs_epi16(_mm_add_epi16(from_a, from_b));
        const __m128i b_or_c = select(_mm_cmpgt_epi16(pb, pc), c, b);
        const __m128i pred = select(_mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc)), b_or_c, a);
        const __m128i sum = _mm_add_epi8(stored, _mm_packus_epi16(pred, pred));
        a = _mm_unpacklo_epi8(sum, zero);
        c = b;
        return sum;
    }
};

template <size_t BPP, typename Step>
FLT_SSE2 UnfilterResult run_pixels(uint8_t *row, const uint8_t *prior, size_t size, uint8_t *bgr) {
    if (!bgr) {
        each_pixel<BPP, false>(row, prior, size, bgr, Step());
        return UnfilterResult::kRow;
    }
    each_pixel<BPP, true>(row, prior, size, bgr, Step());
    return UnfilterResult::kRowAndBgr;
}

// Runs filter `type` on pixels of BPP bytes; `bgr` as unfilter_row_simd.
template <size_t BPP>
FLT_SSE2 UnfilterResult unfilter_pixels_sse2(uint8_t type, uint8_t *row, const uint8_t *prior,
                                             size_t size, uint8_t *bgr) {
    switch (type) {
        case kFilterSub:
            // Whole blocks of 3- and 4-byte pixels at once, without the host's row.
            if (BPP == 3) sub3_sse2(row, size);
            if (BPP == 4) sub4_sse2(row, size);
            if (BPP <= 4) return UnfilterResult::kRow;
            return run_pixels<BPP, SubStep>(row, prior, size, bgr);
        case kFilterAverage:
            return run_pixels<BPP, AverageStep>(row, prior, size, bgr);
        case kFilterPaeth:
            return run_pixels<BPP, PaethStep>(row, prior, size, bgr);
        default:
            return UnfilterResult::kNotCovered;
    }
}

}  // namespace

bool unfilter_simd_available() {
#if defined(__SSE2__)
    return true;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
#endif
}

UnfilterResult unfilter_row_simd(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size,
                                 size_t bpp, uint8_t *bgr) {
    if (type == kFilterUp) {
        up_sse2(row, prior, size);
        return UnfilterResult::kRow;
    }
    switch (bpp) {
        case 3:
            return unfilter_pixels_sse2<3>(type, row, prior, size, bgr);
        case 4:
            return unfilter_pixels_sse2<4>(type, row, prior, size, bgr);
        case 6:
            return unfilter_pixels_sse2<6>(type, row, prior, size, bgr);
        case 8:
            return unfilter_pixels_sse2<8>(type, row, prior, size, bgr);
        default:
            return UnfilterResult::kNotCovered;
    }
}

}  // namespace png

#else  // no x86: the scalar loops serve every row

namespace png {

bool unfilter_simd_available() {
    return false;
}

UnfilterResult unfilter_row_simd(uint8_t, uint8_t *, const uint8_t *, size_t, size_t, uint8_t *) {
    return UnfilterResult::kNotCovered;
}

}  // namespace png

#endif
