// PNG scanline preparation over plain row buffers: host rows (bottom-up
// numbering, blue-green-red pixels, 1/4/8/24 bits) become PNG rows (filter
// byte 0, red-green-blue, alpha last), whole or cut into Adam7 passes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format.h"

namespace png {

// Pixels per row and rows of Adam7 pass 0..6 of a width x height image.
uint32_t adam7_pass_width(int pass, uint32_t width);
uint32_t adam7_pass_height(int pass, uint32_t height);

// Bytes of `pixels` pixels of a PNG row (without the filter byte) at the host
// depth `depth` (1, 4, 8 or 24); with `alpha` one alpha byte per pixel is
// added to the 8- or 24-bit colour. 0 when the count does not fit size_t.
size_t png_row_bytes(uint32_t pixels, int32_t depth, bool alpha);

// Host stride: the row's bytes at `depth` rounded up to a multiple of 4 (any
// depth other than 1, 4 and 8 counts as 24). 0 on overflow.
size_t host_stride(uint32_t width, int32_t depth);

// One PNG row from one host row: the bytes copied, 24-bit pixels turned from
// blue-green-red into red-green-blue. `out` receives png_row_bytes(width).
void host_row_to_png(const uint8_t *host, uint8_t *out, uint32_t width, int32_t depth);

// One PNG row of grey+alpha (colour_depth 8) or truecolour+alpha (24) from
// the colour row and the 8-bit alpha row.
void merge_row(const uint8_t *colour, const uint8_t *alpha, uint8_t *out, uint32_t width,
               int32_t colour_depth);

// The pixels of one pass row, sampled from a host row: pixel j is source
// pixel x_start + j * x_step. Without `colour` the row is `src` at `depth`;
// with `colour` (merge) the colour row at colour_depth is joined with the
// alpha bytes in `src`. `out` must be zero-filled (sub-byte pixels are ORed).
void pass_row(const uint8_t *src, const uint8_t *colour, uint8_t *out, int pass,
              uint32_t pass_width, int32_t depth, int32_t colour_depth);

// Replaces every byte of row by map[byte].
void map_bytes(uint8_t *row, size_t count, const uint8_t map[256]);

}  // namespace png
