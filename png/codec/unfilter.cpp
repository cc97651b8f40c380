#include "codec/unfilter.h"

#include "format.h"

namespace png {
namespace {

void unfilter_sub(uint8_t *row, size_t size, size_t bpp) {
    for (size_t i = bpp; i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
}

void unfilter_up(uint8_t *row, const uint8_t *prior, size_t size) {
    for (size_t i = 0; i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

void unfilter_average(uint8_t *row, const uint8_t *prior, size_t size, size_t bpp) {
    size_t first = bpp < size ? bpp : size;
    for (size_t i = 0; i < first; ++i) row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
    for (size_t i = bpp; i < size; ++i)
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - bpp] + prior[i]) >> 1));
}

// Paeth with the pixel size known at compile time, so that the compiler can
// keep a pixel's samples in registers; BPP 0 takes the size at run time.
template <size_t BPP>
void unfilter_paeth_fixed(uint8_t *row, const uint8_t *prior, size_t size, size_t bpp_rt) {
    const size_t bpp = BPP ? BPP : bpp_rt;
    size_t first = bpp < size ? bpp : size;
    for (size_t i = 0; i < first; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
    for (size_t i = bpp; i < size; ++i) {
        row[i] =
            static_cast<uint8_t>(row[i] + paeth_predictor(row[i - bpp], prior[i], prior[i - bpp]));
    }
}

void unfilter_paeth(uint8_t *row, const uint8_t *prior, size_t size, size_t bpp) {
    switch (bpp) {
        case 1:
            return unfilter_paeth_fixed<1>(row, prior, size, bpp);
        case 3:
            return unfilter_paeth_fixed<3>(row, prior, size, bpp);
        case 4:
            return unfilter_paeth_fixed<4>(row, prior, size, bpp);
        default:
            return unfilter_paeth_fixed<0>(row, prior, size, bpp);
    }
}

}  // namespace

void unfilter_row(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size, size_t bpp) {
    switch (type) {
        case kFilterSub:
            return unfilter_sub(row, size, bpp);
        case kFilterUp:
            return unfilter_up(row, prior, size);
        case kFilterAverage:
            return unfilter_average(row, prior, size, bpp);
        case kFilterPaeth:
            return unfilter_paeth(row, prior, size, bpp);
        default:
            return;  // None, and unknown types: the row stays as stored
    }
}

}  // namespace png
