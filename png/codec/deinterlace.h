// Adam7: the seven reduced images of an interlaced PNG and the rebuilding of
// full-width scanlines from them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format.h"

namespace png {

struct PassImage {
    uint32_t width;   // pixels of one pass row (0: the pass is empty)
    uint32_t height;  // rows of the pass
    size_t rowBytes;  // stored bytes of one pass row, without the filter byte
    uint8_t *pixels;  // height rows of 1 + rowBytes (filter byte first)
};

// Size of pass p (0-based) of a width x height image.
PassImage pass_geometry(int pass, uint32_t width, uint32_t height, int bitDepth, int channels);

// Bytes one pass image takes: height * (rowBytes + 1), 0 when empty.
uint64_t pass_image_bytes(const PassImage &pass);

// Row `r` as the last pass holds it whole (every odd row), in place in the
// pass image and followed by at least one byte of the block; nullptr for the
// rows the other passes share.
const uint8_t *whole_pass_row(const PassImage passes[kAdam7Passes], uint32_t r);

// Rebuilds full row `r` (width pixels, `rawRowBytes` bytes, no filter byte)
// from the unfiltered pass images, taking each pixel from the pass the Adam7
// pattern assigns it.
void assemble_row(const PassImage passes[kAdam7Passes], uint32_t r, int bitDepth, int channels,
                  uint8_t *out, size_t rawRowBytes);

}  // namespace png
