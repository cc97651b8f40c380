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

// One pixel in the low lanes of a register. Four bytes are read while the
// row has them (for 3-byte pixels the fourth lane then holds the next
// pixel's first byte, which the byte-wise arithmetic never mixes into the
// others); the last 3-byte pixel is assembled from its own bytes. Stores
// write exactly the pixel, so no load overlaps an earlier store in part.
template <size_t BPP>
FLT_SSE2 inline __m128i load_pixel(const uint8_t *p, size_t i, size_t size) {
    uint32_t v;
    if (BPP == 4 || i + 4 <= size)
        std::memcpy(&v, p + i, 4);
    else
        v = p[i] | p[i + 1] << 8 | static_cast<uint32_t>(p[i + 2]) << 16;
    return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <size_t BPP>
FLT_SSE2 inline void store_pixel(uint8_t *p, __m128i v) {
    const uint32_t x = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
    if (BPP == 4) {
        std::memcpy(p, &x, 4);
        return;
    }
    p[0] = static_cast<uint8_t>(x);
    p[1] = static_cast<uint8_t>(x >> 8);
    p[2] = static_cast<uint8_t>(x >> 16);
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
        carry = _mm_add_epi8(load_pixel<4>(row, i, size), carry);
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
        carry = _mm_add_epi8(load_pixel<3>(row, i, size), carry);
        store_pixel<3>(row + i, carry);
    }
}

// Average: the left pixel is needed unfiltered, so one pixel at a time.
// _mm_avg_epu8 rounds up; subtracting the low bit of a ^ b makes it floor.
template <size_t BPP>
FLT_SSE2 void average_sse2(uint8_t *row, const uint8_t *prior, size_t size) {
    const __m128i one = _mm_set1_epi8(1);
    __m128i a = _mm_setzero_si128();
    for (size_t i = 0; i + BPP <= size; i += BPP) {
        const __m128i b = load_pixel<BPP>(prior, i, size);
        const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), one);
        const __m128i avg = _mm_sub_epi8(_mm_avg_epu8(a, b), odd);
        a = _mm_add_epi8(load_pixel<BPP>(row, i, size), avg);
        store_pixel<BPP>(row + i, a);
    }
}

FLT_SSE2 inline __m128i abs_epi16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

FLT_SSE2 inline __m128i select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Paeth in 16-bit lanes, one pixel at a time: a when |p - a| is the
// smallest, else b when |p - b| <= |p - c|, else c (p = a + b - c).
template <size_t BPP>
FLT_SSE2 void paeth_sse2(uint8_t *row, const uint8_t *prior, size_t size) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero, c = zero;
    for (size_t i = 0; i + BPP <= size; i += BPP) {
        const __m128i b = _mm_unpacklo_epi8(load_pixel<BPP>(prior, i, size), zero);
        const __m128i x = _mm_unpacklo_epi8(load_pixel<BPP>(row, i, size), zero);
        const __m128i from_b = _mm_sub_epi16(b, c), from_a = _mm_sub_epi16(a, c);
        const __m128i pa = abs_epi16(from_b), pb = abs_epi16(from_a);
        const __m128i pc = abs_epi16(_mm_add_epi16(from_a, from_b));
        const __m128i b_or_c = select(_mm_cmpgt_epi16(pb, pc), c, b);
        const __m128i pred = select(_mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc)), b_or_c, a);
        const __m128i sum = _mm_add_epi8(_mm_packus_epi16(x, x), _mm_packus_epi16(pred, pred));
        store_pixel<BPP>(row + i, sum);
        a = _mm_unpacklo_epi8(sum, zero);
        c = b;
    }
}

template <size_t BPP>
FLT_SSE2 void sub_sse2(uint8_t *row, size_t size) {
    if (BPP == 3)
        sub3_sse2(row, size);
    else
        sub4_sse2(row, size);
}

template <size_t BPP>
FLT_SSE2 bool unfilter_pixels_sse2(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size) {
    switch (type) {
        case kFilterSub:
            sub_sse2<BPP>(row, size);
            return true;
        case kFilterAverage:
            average_sse2<BPP>(row, prior, size);
            return true;
        case kFilterPaeth:
            paeth_sse2<BPP>(row, prior, size);
            return true;
        default:
            return false;
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

bool unfilter_row_simd(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size, size_t bpp) {
    if (type == kFilterUp) {
        up_sse2(row, prior, size);
        return true;
    }
    if (bpp == 3) return unfilter_pixels_sse2<3>(type, row, prior, size);
    if (bpp == 4) return unfilter_pixels_sse2<4>(type, row, prior, size);
    return false;
}

}  // namespace png

#else  // no x86: the scalar loops serve every row

namespace png {

bool unfilter_simd_available() {
    return false;
}

bool unfilter_row_simd(uint8_t, uint8_t *, const uint8_t *, size_t, size_t) {
    return false;
}

}  // namespace png

#endif
