// The scanline source of the writer: host rows fetched through getRowsProc
// and prepared as PNG scanlines (filter byte 0), in sequence or as Adam7 pass
// sub-images, with the stored colour plane joined to the alpha rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/filter.h"
#include "common/heap.h"
#include "export_state.h"

namespace png {

// Fetches the whole colour plane (host rows 0 .. height - 1) into the state.
// Returns 0 or FERR_NO_MEMORY.
uint32_t store_first_plane(FilterRecord *record, ExportState *state);

class ScanlineSource {
  public:
    // The record describes the plane being exported; with a stored colour
    // plane and imageIndex 2 its rows are the alpha values (merge mode).
    ScanlineSource(FilterRecord *record, const ExportState &state);

    // Allocates the scanline and host row of the sequential variant; 0 or
    // FERR_NO_MEMORY.
    uint32_t open();
    // The scanline of PNG row r (0 = top), scanline_bytes() long, valid until
    // the next call.
    const uint8_t *row(uint32_t r);
    size_t scanline_bytes() const { return scanline_; }

    // The sub-image of Adam7 pass 0..6: pass-height scanlines, *size bytes in
    // all, in *image; *size 0 when the pass is empty. 0 or FERR_NO_MEMORY.
    uint32_t pass_image(int pass, flt::HeapBlock *image, size_t *size);

  private:
    void fetch(uint32_t png_row);
    const uint8_t *colour_row(uint32_t png_row) const;

    FilterRecord *record_;
    const ExportState &state_;
    uint32_t width_, height_;
    int32_t depth_;
    bool merge_;
    size_t scanline_ = 0;  // 0 when the sizes overflow
    size_t stride_ = 0;
    flt::HeapBlock line_, host_;
};

}  // namespace png
