// Undoing the PNG row filters on one scanline, in place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace png {

// Reverses filter `type` on row[0, size) given the previous unfiltered
// scanline `prior` (all zero for the first row of an image or pass). `bpp` is
// the distance in bytes to the same sample of the pixel before (at least 1).
// Types above 4 leave the row as stored.
void unfilter_row(uint8_t type, uint8_t *row, const uint8_t *prior, size_t size, size_t bpp);

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
