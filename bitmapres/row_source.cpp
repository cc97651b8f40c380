#include "row_source.h"

#include <algorithm>
#include <cstring>

#include "common/checked.h"
#include "common/filter.h"
#include "format.h"

namespace rsrc {

RowSource::RowSource(const uint8_t *data, size_t size, const DibInfo &info, uint8_t *scratch)
    : data_(data),
      size_(size),
      info_(info),
      scratch_(scratch),
      pos_(info.pixelOffset),
      stride_(static_cast<size_t>(flt::row_bytes_dword(info.width, info.bitCount))) {
    if (has_pixel_values(info)) masks_ = normalise_masks(info);
}

size_t RowSource::scratch_bytes(const DibInfo &info) {
    const uint64_t in = flt::row_bytes_dword(info.width, info.bitCount);
    const uint64_t out = flt::row_bytes_dword(info.width, info.outputDepth);
    return static_cast<size_t>(std::max(in, out) + 4);
}

uint32_t RowSource::next(bool needed, const uint8_t **row) {
    switch (info_.compression) {
        case kBiRle8:
        case kBiRle4: {
            RleResult r =
                rle_decode_row(data_, size_, &pos_, &rle_, info_.bitCount, scratch_, info_.width);
            if (r == RleResult::kRunTooLong) return FERR_DECODE;
            if (r == RleResult::kTruncated) return FERR_CORRUPT;
            *row = scratch_;
            return 0;
        }
        default:
            // The parse checked that every stored row lies inside the data.
            if (!has_pixel_values(info_)) {
                *row = data_ + pos_;
                break;
            }
            if (needed) convert_bitfield_row(data_ + pos_, info_.width, masks_, scratch_);
            *row = scratch_;
            break;
    }
    pos_ += stride_;
    return 0;
}

const uint8_t *RowSource::in_scratch(const uint8_t *row) const {
    if (row != scratch_) std::memcpy(scratch_, row, stride_);
    return scratch_;
}

}  // namespace rsrc
