// How a PNG header maps to the rows the host receives: delivered depth, the
// byte counts of a stored scanline and of a delivered row, and the palette.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/chunk.h"

namespace png {

enum class PaletteSource { kNone, kGreyRamp, kPlte };

struct Layout {
    int32_t bitsPerPixel;      // delivered: 1, 4, 8 or 24
    int32_t fileBitsPerPixel;  // bit depth, times 3 for RGB and RGB + alpha
    int32_t channels;          // samples per stored pixel
    int32_t rawRowBytes;       // one unfiltered scanline, without the filter byte
    int32_t rowBytes;          // one delivered row
    PaletteSource palette;
    int32_t paletteCount;
    bool alphaPlane;    // the file has alpha: the host may ask for plane 2
    bool deliverAlpha;  // plane 2 asked for and present
};

enum class LayoutStatus {
    kOk,
    kUnsupported,  // colour type / depth combination the module does not read
    kEmpty,        // width or height 0
    kTooLarge      // a row's byte count would not fit 32 bits
};

// Derives the layout of `header` for plane `imageIndex` (2 = alpha plane of a
// file with alpha; any other value = the colour image).
[[nodiscard]] LayoutStatus derive_layout(const PngHeader &header, int32_t imageIndex, Layout *out);

// Bits of one stored sample: grey + alpha and RGB + alpha of any depth but 16
// are read as 8 bits.
inline int sample_depth(const PngHeader &h) {
    if (h.colorType == kColorGreyAlpha || h.colorType == kColorRgbAlpha)
        return h.bitDepth == 16 ? 16 : 8;
    return h.bitDepth;
}

// Bytes of one stored scanline of `width` pixels (no filter byte).
uint64_t stored_row_bytes(uint64_t width, int bitDepth, int channels);

// Bytes between a sample and the same sample of the pixel before it, for the
// row filters: whole pixel bytes, at least 1.
inline size_t filter_bpp(int bitDepth, int channels) {
    size_t bits = static_cast<size_t>(bitDepth) * static_cast<size_t>(channels);
    return bits >= 8 ? bits / 8 : 1;
}

}  // namespace png
