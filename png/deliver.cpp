#include "deliver.h"

#include "common/checked.h"
#include "common/delivery.h"
#include "common/muldiv.h"

namespace png {

RowDelivery::RowDelivery(FilterRecord *record, DeliveryMode mode, const FilterRect &rect,
                         bool interlaced)
    : record_(record),
      mode_(mode),
      rect_(rect),
      interlaced_(interlaced),
      width_(record->width),
      height_(record->height),
      bpp_(record->bitsPerPixel) {
    outWidth_ = width_;
    outRows_ = height_;
    if (mode != DeliveryMode::kWhole) {
        outWidth_ = rect.right - rect.left + 1;
        outRows_ = rect.bottom - rect.top + 1;
    }
    outBytes_ = static_cast<int32_t>(flt::row_bytes(outWidth_, bpp_));
    next_ = mode == DeliveryMode::kCrop ? rect.top : 0;
}

uint32_t RowDelivery::prepare() {
    size_t size = 0;
    if (mode_ == DeliveryMode::kFit) {
        // Room for a host resampler that writes whole 32-bit words.
        size = static_cast<size_t>(flt::row_bytes_dword(outWidth_, bpp_)) + 4;
    } else if (mode_ == DeliveryMode::kCrop && bpp_ < 8 && (int64_t{rect_.left} * bpp_) % 8) {
        size = static_cast<size_t>(outBytes_) + 1;
    }
    if (size == 0) return 0;
    out_ = flt::HeapBlock(size);
    return out_ ? 0 : FERR_NO_MEMORY;
}

int32_t RowDelivery::fit_source(int32_t k) const {
    return static_cast<int32_t>(static_cast<int64_t>(k) * height_ / outRows_);
}

uint32_t RowDelivery::deliver(const uint8_t *row, int32_t k, int32_t width, int32_t percent) {
    if (flt::deliver_row(record_, row, outRows_ - 1 - k, width, outBytes_, percent)) {
        ++delivered_;
        return 0;
    }
    return flt::refusal_code(record_, FERR_TRANSFER);
}

uint32_t RowDelivery::take(int32_t n, const uint8_t *row) {
    if (next_ < 0 || n != next_) return 0;
    switch (mode_) {
        case DeliveryMode::kWhole: {
            const int32_t percent = flt::MulDiv(n + (interlaced_ ? 1 : 0), 100, height_);
            next_ = n + 1 < height_ ? n + 1 : -1;
            return deliver(row, n, width_, percent);
        }
        case DeliveryMode::kCrop:
            return take_crop(row);
        case DeliveryMode::kFit:
            return take_fit(n, row);
    }
    return 0;
}

uint32_t RowDelivery::take_crop(const uint8_t *row) {
    const int32_t k = k_++;
    next_ = k_ < outRows_ ? rect_.top + k_ : -1;
    const int32_t percent = flt::MulDiv(k + (interlaced_ ? 1 : 0), 100, outRows_);
    const size_t first_bit = static_cast<size_t>(rect_.left) * bpp_;
    const uint8_t *start = row + first_bit / 8;
    if (out_) {
        flt::crop_row(row, out_.get(), rect_.left, outWidth_, bpp_);
        start = out_.get();
    }
    return deliver(start, k, outWidth_, percent);
}

// Every output row whose source is row n gets the same resampled row.
uint32_t RowDelivery::take_fit(int32_t n, const uint8_t *row) {
    record_->stretchProc(row, out_.get(), width_, outWidth_, bpp_);
    while (k_ < outRows_ && fit_source(k_) == n) {
        const int32_t k = k_++;
        if (uint32_t e = deliver(out_.get(), k, outWidth_, flt::MulDiv(k + 1, 100, outRows_)))
            return e;
    }
    next_ = k_ < outRows_ ? fit_source(k_) : -1;
    return 0;
}

}  // namespace png
