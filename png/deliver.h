// Hands converted source rows to the host in one of the three import modes:
// the whole image, a crop of it, or the image fitted to the size of a region.
#pragma once

#include <cstdint>

#include "common/filter.h"
#include "common/heap.h"

namespace png {

enum class DeliveryMode { kWhole, kCrop, kFit };

class RowDelivery {
  public:
    // `rect`: for kCrop the region clipped to the image; for kFit only its
    // size counts. `interlaced` selects the progress counting of the
    // interlaced routine (one row ahead in whole and crop mode).
    RowDelivery(FilterRecord *record, DeliveryMode mode, const FilterRect &rect, bool interlaced);

    // Allocates the mode's buffers; 0 or FERR_NO_MEMORY.
    uint32_t prepare();
    // The next source row (from the top) that delivery needs, -1 when done.
    int32_t next_wanted() const { return next_; }
    // Takes converted source row `n` (which must be next_wanted(); others are
    // ignored). The row needs one spare byte after its pixels at 1 and 4
    // bits. 0, or FERR_TRANSFER / FERR_CANCELLED when the host refused.
    uint32_t take(int32_t n, const uint8_t *row);
    // Rows the host has taken so far.
    int32_t delivered() const { return delivered_; }

  private:
    uint32_t deliver(const uint8_t *row, int32_t k, int32_t width, int32_t percent);
    uint32_t take_crop(const uint8_t *row);
    uint32_t take_fit(int32_t n, const uint8_t *row);
    int32_t fit_source(int32_t k) const;

    FilterRecord *record_;
    DeliveryMode mode_;
    FilterRect rect_;
    bool interlaced_;
    int32_t width_;     // source width
    int32_t height_;    // source height
    int32_t bpp_;       // delivered bits per pixel
    int32_t outWidth_;  // pixels of a delivered row
    int32_t outRows_;   // rows delivered in all
    int32_t outBytes_;  // bytes of a delivered row
    int32_t k_ = 0;     // next output row
    int32_t next_ = 0;  // next wanted source row
    int32_t delivered_ = 0;
    flt::HeapBlock out_;  // cropped sub-byte row or fitted row
};

}  // namespace png
