#include "codec/unfilter.h"

#include "format.h"

namespace png {
namespace {

// Sub, Average and Paeth depend on the unfiltered byte one pixel to the
// left. With the pixel size known at compile time the left pixel stays in
// registers, BPP independent chains, instead of a store and reload per byte.

template <size_t BPP>
void unfilter_sub(uint8_t *row, size_t size) {
    if (size < BPP) return;
    unsigned a[BPP];
    for (size_t k = 0; k < BPP; ++k) a[k] = row[k];
    for (size_t i = BPP; i + BPP <= size; i += BPP) {
#pragma GCC unroll 8
        for (size_t k = 0; k < BPP; ++k) row[i + k] = static_cast<uint8_t>(a[k] += row[i + k]);
    }
}

template <size_t BPP>
void unfilter_average(uint8_t *row, const uint8_t *prior, size_t size) {
    if (size < BPP) return;
    unsigned a[BPP];
    for (size_t k = 0; k < BPP; ++k) a[k] = row[k] = static_cast<uint8_t>(row[k] + (prior[k] >> 1));
    for (size_t i = BPP; i + BPP <= size; i += BPP) {
#pragma GCC unroll 8
        for (size_t k = 0; k < BPP; ++k) {
            a[k] = static_cast<uint8_t>(row[i + k] + ((a[k] + prior[i + k]) >> 1));
            row[i + k] = static_cast<uint8_t>(a[k]);
        }
    }
}

template <size_t BPP>
void unfilter_paeth(uint8_t *row, const uint8_t *prior, size_t size) {
    if (size < BPP) return;
    int a[BPP], c[BPP];
    for (size_t k = 0; k < BPP; ++k) {
        a[k] = row[k] = static_cast<uint8_t>(row[k] + prior[k]);
        c[k] = prior[k];
    }
    for (size_t i = BPP; i + BPP <= size; i += BPP) {
#pragma GCC unroll 8
        for (size_t k = 0; k < BPP; ++k) {
            const int b = prior[i + k];
            a[k] = static_cast<uint8_t>(row[i + k] + paeth_predictor(a[k], b, c[k]));
            row[i + k] = static_cast<uint8_t>(a[k]);
            c[k] = b;
        }
    }
}

// Any other pixel size: the plain byte loops.
void unfilter_sub_any(uint8_t *row, size_t size, size_t bpp) {
    for (size_t i = bpp; i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
}

void unfilter_average_any(uint8_t *row, const uint8_t *prior, size_t size, size_t bpp) {
    for (size_t i = 0; i < size; ++i) {
        const unsigned a = i >= bpp ? row[i - bpp] : 0;
        row[i] = static_cast<uint8_t>(row[i] + ((a + prior[i]) >> 1));
    }
}

void unfilter_paeth_any(uint8_t *row, const uint8_t *prior, size_t size, size_t bpp) {
    for (size_t i = 0; i < size; ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0, c = i >= bpp ? prior[i - bpp] : 0;
        row[i] = static_cast<uint8_t>(row[i] + paeth_predictor(a, prior[i], c));
    }
}

void unfilter_up(uint8_t *row, const uint8_t *prior, size_t size) {
    for (size_t i = 0; i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

template <size_t BPP>
void unfilter_fixed(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size) {
    switch (type) {
        case kFilterSub:
            return unfilter_sub<BPP>(row, size);
        case kFilterUp:
            return unfilter_up(row, prior, size);
        case kFilterAverage:
            return unfilter_average<BPP>(row, prior, size);
        case kFilterPaeth:
            return unfilter_paeth<BPP>(row, prior, size);
        default:
            return;  // None, and unknown types: the row stays as stored
    }
}

}  // namespace

void unfilter_row(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size, size_t bpp) {
    unfilter_row_bgr(type, row, prior, size, bpp, nullptr);
}

UnfilterResult unfilter_row_bgr(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size,
                                size_t bpp, uint8_t *bgr) {
    if (type == kFilterNone || type > kFilterPaeth) return UnfilterResult::kRow;
    static const bool simd = unfilter_simd_available();
    if (simd) {
        const UnfilterResult r = unfilter_row_simd(type, row, prior, size, bpp, bgr);
        if (r != UnfilterResult::kNotCovered) return r;
    }
    unfilter_row_scalar(type, row, prior, size, bpp);
    return UnfilterResult::kRow;
}

void unfilter_row_scalar(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size,
                         size_t bpp) {
    // Scanline sizes are whole pixels at these sizes (sub-byte rows have bpp 1).
    switch (bpp) {
        case 1:
            return unfilter_fixed<1>(type, row, prior, size);
        case 2:
            return unfilter_fixed<2>(type, row, prior, size);
        case 3:
            return unfilter_fixed<3>(type, row, prior, size);
        case 4:
            return unfilter_fixed<4>(type, row, prior, size);
        case 6:
            return unfilter_fixed<6>(type, row, prior, size);
        case 8:
            return unfilter_fixed<8>(type, row, prior, size);
        default:
            break;
    }
    switch (type) {
        case kFilterSub:
            return unfilter_sub_any(row, size, bpp);
        case kFilterUp:
            return unfilter_up(row, prior, size);
        case kFilterAverage:
            return unfilter_average_any(row, prior, size, bpp);
        case kFilterPaeth:
            return unfilter_paeth_any(row, prior, size, bpp);
        default:
            return;
    }
}

}  // namespace png
