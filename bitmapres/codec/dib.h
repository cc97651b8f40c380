// The packed device-independent bitmap of a bitmap resource: header, colour
// table (or bit-field masks) and where the pixels start. Also the conversion
// of 16- and 32-bit pixels to blue, green, red bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rsrc {

struct DibInfo {
    bool topDown = false;     // the header's height was negative
    int32_t bitCount = 0;     // bits per pixel in the file
    int32_t outputDepth = 0;  // bits per pixel delivered: bitCount, or 24 for 16 and 32
    int32_t width = 0;
    int32_t height = 0;  // made positive
    uint32_t compression = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    int32_t colors = 0;          // colour table entries in the file
    int32_t paletteEntries = 0;  // of those, the ones handed to the host
    uint32_t entrySize = 4;      // bytes per colour table entry (3 in the core header)
    size_t paletteOffset = 0;    // file offset of the colour table
    size_t pixelOffset = 0;      // file offset of the pixel data
    uint32_t masks[3] = {};      // red, green, blue: as stored, or the fixed 32-bit layout
    int64_t imageSize = 0;       // padded output rows x height
};

// Parses the bitmap at `offset`. Returns 0, FERR_UNSUPPORTED (a combination of
// compression and depth that is not handled, an empty or oversized image) or
// FERR_CORRUPT (header, colour table or masks outside the data; uncompressed
// pixels that the data cannot hold).
uint32_t parse_dib(const uint8_t *data, size_t size, size_t offset, DibInfo *info);

// Copies the colour table as info.paletteEntries entries of blue, green, red into out.
void copy_palette(const uint8_t *data, const DibInfo &info, uint8_t *out);

// 16- and 32-bit pixels are values that the masks split into blue, green, red.
inline bool has_pixel_values(const DibInfo &info) {
    return info.bitCount == 16 || info.bitCount == 32;
}

// Bit-field masks shifted up until their top bit is set, with the shifts.
// A mask of 0 stays 0: that channel comes out as 0 in every pixel.
struct ChannelMasks {
    uint32_t mask[3] = {};  // blue, green, red
    int shift[3] = {};
    int valueBits = 0;  // 16 or 32
};
ChannelMasks normalise_masks(const DibInfo &info);

// Converts one row of `width` 16- or 32-bit pixels into blue, green, red bytes.
void convert_bitfield_row(const uint8_t *src, int32_t width, const ChannelMasks &m, uint8_t *out);

}  // namespace rsrc
