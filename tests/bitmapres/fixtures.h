// Test fixtures for rsrcxchg: bitmaps with known pixels, packed DIBs (plain,
// RLE8, RLE4, bit fields), BMP files, and NE and PE executables built byte by
// byte around them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fx {

// A logical image, rows top to bottom: palette indices for 1, 4 and 8 bits,
// 0xRRGGBB values for 24 bits.
struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bits = 0;
    std::vector<uint8_t> palette;  // blue, green, red per entry
    std::vector<uint32_t> pixels;
    uint32_t at(int32_t x, int32_t top) const { return pixels[size_t(top) * width + x]; }
    // The pixel as 0xRRGGBB (through the palette for indexed images).
    uint32_t rgb(int32_t x, int32_t top) const;
};

// Pixels with runs and noise mixed, the same for the same seed.
Bitmap pattern(int32_t width, int32_t height, int32_t bits, uint32_t seed);

struct DibOptions {
    uint32_t compression = 0;  // 0 plain, 1 RLE8, 2 RLE4, 3 bit fields
    bool topDown = false;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t colorsUsed = 0;
    int32_t fieldBits = 16;  // 16 or 32 for bit fields; 32 with compression 0:
                             // 24-bit pixels in 4 bytes without masks
    uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};  // red, green, blue
    bool literals = true;                          // RLE: use absolute runs for noise
};

// A packed DIB (40-byte header, colour table or masks, pixels).
std::vector<uint8_t> make_dib(const Bitmap &image, const DibOptions &options = {});
// The run-length stream of an indexed image at 8 or 4 bits, bottom row first:
// encoded runs, absolute runs, an end of line after every row, end of bitmap.
std::vector<uint8_t> rle_encode(const Bitmap &image, int bits, bool literals);
// A BMP file: the 14-byte file header in front of a packed DIB.
std::vector<uint8_t> bmp_file(const std::vector<uint8_t> &dib);
// Reads an uncompressed 1/4/8/24-bit BMP file (as ImageMagick writes them).
bool read_bmp(const std::vector<uint8_t> &file, Bitmap *image);

// The pixel a bit-field bitmap is expected to deliver for 0xRRGGBB, after a
// round trip through the masks of `options` (bits below each field cleared).
uint32_t bitfield_expected(uint32_t rgb, const DibOptions &options);

struct NeResource {
    uint16_t type;  // with 0x8000 for a numeric type
    std::vector<uint8_t> bytes;
};
struct NeOptions {
    uint8_t shift = 4;
    uint8_t targetOs = 2;
    uint16_t version = 0x030A;
};
// An NE file: DOS stub, NE header, resource table grouping the resources by
// type in the order first met, then the resources aligned to 1 << shift.
std::vector<uint8_t> make_ne(const std::vector<NeResource> &resources, const NeOptions &o = {});

struct PeResource {
    uint32_t type;
    std::string name;  // empty: numeric id
    uint32_t id;
    uint32_t language;
    std::vector<uint8_t> bytes;
};
struct PeOptions {
    std::string section = ".rsrc";
    bool plus = false;  // a 64-bit image (PE32+)
};
// A PE file with one section holding the resource tree (type, name, language).
// Entries keep the order given, named before numeric within each level.
std::vector<uint8_t> make_pe(const std::vector<PeResource> &resources, const PeOptions &o = {});
// Offset of the resource directory in a make_pe file.
constexpr size_t kPeResourceOffset = 0x200;

}  // namespace fx
