// A small PNG writer and reader on zlib: the reference of the import tests
// where there is no libpng (the Windows build). The native build checks that
// it agrees with libpng on every generated file and the PngSuite.
#pragma once

#include <cstdint>
#include <vector>

namespace png_codec {

// The decoded file: rows deinterlaced, samples packed as PNG stores them.
struct Raw {
    uint32_t width = 0, height = 0;
    int colorType = 0, bitDepth = 8;
    bool interlace = false;
    std::vector<uint8_t> palette;  // red, green, blue
    std::vector<std::vector<uint8_t>> rows;
};

// Channels of a colour type; 0 for an unknown one.
int channels(int colorType);

// Filter choices as bits 3..7 (none, sub, up, average, Paeth); each row takes
// the next allowed filter in turn, so that a mask of several uses them all.
std::vector<uint8_t> write(const Raw &image, int filterMask);

// False for a file it cannot decode (signature, CRC, header, data).
bool read(const std::vector<uint8_t> &file, Raw *out);

}  // namespace png_codec
