// Turning an unfiltered scanline into the row the host receives: 2-bit
// samples widened to 4 bits, 16-bit samples cut to their high byte, colour
// reordered to blue, green, red, or one plane (grey, alpha) picked out.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/layout.h"

namespace png {

enum class ConversionKind {
    kNone,     // the scanline is the row
    kExpand2,  // 2-bit samples to 4-bit
    kRgb8,     // RGB 8 to BGR
    kRgba8,    // RGBA 8 to BGR
    kPick      // any other: chosen samples' high bytes
};

struct Conversion {
    ConversionKind kind;
    int channels;     // samples per stored pixel
    int sampleBytes;  // 1 or 2
    int outCount;     // samples delivered per pixel (1 or 3)
    int pick[3];      // index of each delivered sample within the pixel
};

// The conversion for a header's colour type and depth and the plane to deliver.
Conversion plan_conversion(const PngHeader &header, const Layout &layout);

// Whether the conversion takes the high bytes of red, green and blue of RGB
// or RGBA pixels to blue, green, red (what unfilter_row_bgr can write).
bool converts_to_bgr(const Conversion &conversion);

// Converts `width` pixels from `scanline` into `out` (the layout's row bytes).
// `out` must not overlap `scanline` unless the kind is kNone. Both buffers
// need one spare byte after their last pixel (8-bit RGB is moved a word at a
// time).
void convert_row(const Conversion &conversion, const uint8_t *scanline, uint8_t *out,
                 uint32_t width);

}  // namespace png
