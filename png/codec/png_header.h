// The header chunks of a written PNG file as plain bytes: the choice of colour
// type and bit depth, IHDR, PLTE, pHYs and the "Comment" text, and the chunk
// CRC.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format.h"

namespace png {

enum class ColourStatus { kOk, kBadDepth, kNoAlphaPlane };

struct ColourChoice {
    uint8_t colourType;
    uint8_t bitDepth;
    // Grey images go out as the palette's grey levels: identity for a ramp.
    bool mapGrey;
    uint8_t greyMap[256];
    size_t paletteEntries;  // entries of the PLTE chunk (colour type 3)
};

// Chooses colour type and bit depth for host rows at bits_per_pixel (1, 4, 8,
// 24) with `planes` planes (2: with an 8-bit alpha plane). The host palette is
// blue-green-red, `count` entries (null or count 0: no palette).
// kBadDepth: any other depth; kNoAlphaPlane: two planes with a palette or
// with 1 or 4 bits, which PNG cannot carry.
ColourStatus choose_colour(int32_t bits_per_pixel, int32_t planes, const uint8_t *palette,
                           int32_t count, ColourChoice *out);

// The 13 IHDR bytes: width, height (big-endian), depth, colour type, 0, 0;
// byte 12 (interlace) is left as it is.
void fill_ihdr(uint8_t *ihdr, uint32_t width, uint32_t height, uint8_t depth, uint8_t colour_type);

// `entries` PLTE triples in red-green-blue order from a blue-green-red palette.
void fill_plte(const uint8_t *palette, size_t entries, uint8_t *out);

// The 9 pHYs bytes: pixels per metre from pixels per kilometre, unit 1.
void fill_phys(int32_t x_per_km, int32_t y_per_km, uint8_t *out);

// "Comment", NUL, then the text without its NUL; returns the byte count
// (7 + 1 + length), 0 when it does not fit a chunk.
size_t comment_bytes(size_t text_length);
void fill_comment(const char *text, size_t text_length, uint8_t *out);

void store_be32(uint8_t *out, uint32_t value);
uint32_t load_be32(const uint8_t *in);

// CRC-32 over the 4 type bytes and the data bytes of a chunk.
uint32_t chunk_crc(const uint8_t *type, const uint8_t *data, size_t size);

}  // namespace png
