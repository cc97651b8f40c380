// GEM IMG writing side: the header variant for a host depth and palette, the
// split of host pixels into bit planes and the run-length encoding of lines.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gem {

// The file variant the writer produces for an image.
struct ImgVariant {
    int32_t bitsPerPixel;  // host depth: 1, 4, 8 or 24
    uint16_t headerWords;  // 8 or 9
    uint16_t planes;
    uint16_t patternLength;
    uint16_t paletteKind;   // word 8 (9-word header only)
    bool invert;            // 1-bit: palette entry 0 is black
    uint8_t planeCode[16];  // 4-bit: plane bits (plane 0 = bit 3) per index
};

enum class VariantResult { kOk, kBadDepth, kBadPalette };

// Chooses the variant from the host depth and palette (blue, green, red
// entries; null or count 0 means no palette). kBadDepth for a depth other
// than 1, 4, 8 and 24; kBadPalette for a 4-bit palette that none of the three
// sixteen-colour families takes, or an 8-bit palette that is not a grey ramp.
VariantResult ImgChooseVariant(int32_t bits_per_pixel, const uint8_t *palette, int32_t count,
                               ImgVariant *variant);

// The header bytes (2 x headerWords, big-endian) into out[18]; returns the
// byte count. Micrometres per pixel come from the resolutions (pixels per
// km; 0 gives 85).
size_t ImgBuildHeader(const ImgVariant &variant, uint16_t width, uint16_t height,
                      int32_t x_resolution, int32_t y_resolution, uint8_t *out);

// Bytes of one raw scan line and the most its encoding can take.
size_t ImgRawLineBytes(const ImgVariant &variant, size_t width);
size_t ImgEncodedLineCapacity(const ImgVariant &variant, size_t width);

// Encodes one plane line of `length` bytes (pattern length 1); out needs room
// for 2 x length + 1 bytes. Returns the bytes written.
size_t ImgEncodeBytes(const uint8_t *in, size_t length, uint8_t *out);

// Encodes `pixels` 3-byte pixels (pattern length 3); out needs room for
// 2 x 3 x pixels + 1 bytes. Returns the bytes written.
size_t ImgEncodePixels(const uint8_t *in, size_t pixels, uint8_t *out);

// Encodes one host row (`width` pixels at the variant's depth) as a scan line.
// `planes` is scratch of ImgRawLineBytes bytes; out holds
// ImgEncodedLineCapacity bytes. Returns the bytes written.
size_t ImgEncodeLine(const ImgVariant &variant, const uint8_t *row, size_t width, uint8_t *planes,
                     uint8_t *out);

}  // namespace gem
