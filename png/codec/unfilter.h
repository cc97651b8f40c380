// Undoing the PNG row filters on one scanline, in place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace png {

// Reverses filter `type` on row[0, size) given the previous unfiltered
// scanline `prior` (all zero for the first row of an image or pass). `bpp` is
// the distance in bytes to the same sample of the pixel before (at least 1).
// Types above 4 leave the row as stored. Uses the SIMD loops where the CPU
// has them, the scalar ones otherwise; both give the same bytes.
void unfilter_row(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size, size_t bpp);

enum class UnfilterResult { kNotCovered, kRow, kRowAndBgr };

// As unfilter_row for RGB and RGBA rows (bpp 3, 4, 6 or 8); with `bgr` set,
// the loops that go pixel by pixel also write each pixel as the host's
// 24-bit pixel (the high bytes of red, green and blue, in the order blue,
// green, red) to bgr, which needs one spare byte. kRowAndBgr when they did,
// so that the separate conversion pass is left out.
UnfilterResult unfilter_row_bgr(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size,
                                size_t bpp, uint8_t *bgr);

// The scalar loops alone.
void unfilter_row_scalar(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size, size_t bpp);

// Whether this CPU runs the SIMD loops (SSE2 on x86, checked at run time).
bool unfilter_simd_available();
// The SIMD loops: Up at any pixel size, Sub, Average and Paeth at 3, 4, 6
// and 8 bytes (bgr as unfilter_row_bgr). kNotCovered (row untouched) for
// the rest. Call only when unfilter_simd_available().
UnfilterResult unfilter_row_simd(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size,
                                 size_t bpp, uint8_t *bgr = nullptr);

// The Paeth predictor: whichever of a (left), b (above), c (upper left) is
// nearest to a + b - c, ties going to a, then b.
inline uint8_t paeth_predictor(int a, int b, int c) {
    int pa = b - c, pb = a - c;
    int pc = pa + pb;
    pa = pa < 0 ? -pa : pa;
    pb = pb < 0 ? -pb : pb;
    pc = pc < 0 ? -pc : pc;
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

}  // namespace png
