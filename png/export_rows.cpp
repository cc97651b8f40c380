#include "export_rows.h"

#include <utility>

#include "codec/scanline.h"
#include "common/checked.h"
#include "common/delivery.h"

namespace png {

uint32_t store_first_plane(FilterRecord *record, ExportState *state) {
    uint32_t width = static_cast<uint32_t>(record->width);
    int32_t depth = record->bitsPerPixel;
    size_t stride = host_stride(width, depth), bytes = 0;
    if (stride == 0 || !flt::checked_mul(stride, static_cast<size_t>(record->height), &bytes))
        return FERR_NO_MEMORY;
    flt::heap_release(state->firstPlane);
    state->firstPlane = static_cast<uint8_t *>(flt::heap_alloc_zero(bytes));
    if (!state->firstPlane) return FERR_NO_MEMORY;
    for (int32_t y = 0; y < record->height; ++y) {
        uint8_t *row = state->firstPlane + static_cast<size_t>(y) * stride;
        flt::fetch_row(record, row, y, record->width);
        if (state->mapGrey) map_bytes(row, width, state->greyMap);
    }
    state->firstPlaneDepth = depth;
    state->firstPlaneWidth = record->width;
    state->firstPlaneHeight = record->height;
    state->firstPlaneStride = stride;
    return 0;
}

ScanlineSource::ScanlineSource(FilterRecord *record, const ExportState &state)
    : record_(record),
      state_(state),
      width_(static_cast<uint32_t>(record->width)),
      height_(static_cast<uint32_t>(record->height)),
      depth_(record->bitsPerPixel),
      merge_(state.firstPlane && record->imageIndex == 2) {
    size_t bytes = png_row_bytes(width_, merge_ ? state.firstPlaneDepth : depth_, merge_);
    stride_ = host_stride(width_, depth_);
    if (bytes != 0 && stride_ != 0 && bytes < SIZE_MAX) scanline_ = bytes + 1;
}

uint32_t ScanlineSource::open() {
    if (scanline_ == 0) return FERR_NO_MEMORY;
    line_ = flt::HeapBlock(scanline_);
    host_ = flt::HeapBlock(stride_);
    return line_ && host_ ? 0 : FERR_NO_MEMORY;
}

void ScanlineSource::fetch(uint32_t png_row) {
    flt::fetch_row(record_, host_.get(), static_cast<int32_t>(height_ - 1 - png_row),
                   record_->width);
    if (!merge_ && state_.mapGrey) map_bytes(host_.get(), width_, state_.greyMap);
}

const uint8_t *ScanlineSource::colour_row(uint32_t png_row) const {
    return state_.firstPlane + static_cast<size_t>(height_ - 1 - png_row) * state_.firstPlaneStride;
}

const uint8_t *ScanlineSource::row(uint32_t r) {
    fetch(r);
    uint8_t *out = line_.get() + 1;  // byte 0 stays the filter type 0
    if (merge_)
        merge_row(colour_row(r), host_.get(), out, width_, state_.firstPlaneDepth);
    else
        host_row_to_png(host_.get(), out, width_, depth_);
    return line_.get();
}

uint32_t ScanlineSource::pass_image(int pass, flt::HeapBlock *image, size_t *size) {
    *size = 0;
    uint32_t pw = adam7_pass_width(pass, width_), ph = adam7_pass_height(pass, height_);
    if (pw == 0 || ph == 0) return 0;
    size_t bytes = png_row_bytes(pw, merge_ ? state_.firstPlaneDepth : depth_, merge_) + 1;
    size_t total = 0;
    if (scanline_ == 0 || !flt::checked_mul(bytes, ph, &total)) return FERR_NO_MEMORY;
    *image = flt::HeapBlock(total);
    flt::HeapBlock host(stride_);
    if (!*image || !host) return FERR_NO_MEMORY;
    host_ = std::move(host);
    for (uint32_t i = 0; i < ph; ++i) {
        uint32_t y = kAdam7[pass].row + i * kAdam7[pass].rowStep;
        fetch(y);
        uint8_t *line = image->get() + static_cast<size_t>(i) * bytes;
        pass_row(host_.get(), merge_ ? colour_row(y) : nullptr, line + 1, pass, pw, depth_,
                 state_.firstPlaneDepth);
    }
    host_ = flt::HeapBlock();
    *size = total;
    return 0;
}

}  // namespace png
