// GEM raster (IMG) layout: a big-endian header of 8 or 9 words (or longer, see
// the extended header below), then run-length scan lines, each optionally
// preceded by a vertical replication prefix.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gem {

// Header words (each two bytes, high byte first).
enum HeaderWord {
    kWordVersion = 0,
    kWordHeaderLength = 1,
    kWordPlanes = 2,
    kWordPatternLength = 3,
    kWordPixelWidth = 4,
    kWordPixelHeight = 5,
    kWordLineWidth = 6,
    kWordLines = 7,
    kWordPaletteKind = 8,
};

constexpr size_t kShortHeaderWords = 8;
constexpr size_t kLongHeaderWords = 9;

// The extended header: after the eight standard words the tag "XIMG", a
// colour model word (0 = RGB) and, for 1 to 8 planes, one red, green, blue
// triple of words (0..1000) per pen; the header length counts all of it.
constexpr size_t kExtTagOffset = 16;
constexpr uint8_t kExtTag[4] = {'X', 'I', 'M', 'G'};
constexpr size_t kExtModelOffset = 20;
constexpr size_t kExtPensOffset = 22;
constexpr size_t kExtMinWords = kExtPensOffset / 2;
constexpr size_t kExtPenBytes = 6;
constexpr uint16_t kExtModelRgb = 0;
constexpr uint16_t kExtFullLevel = 1000;
// True-colour lines of the extended header hold whole 16-pixel words.
constexpr size_t kExtTrueColourAlign = 16;

// Palette kinds in the low byte of word 8.
constexpr uint16_t kKindGrey = 1;
constexpr uint16_t kKindSixteen = 2;
constexpr uint16_t kKindChunky = 3;
// Bit 15 of word 8: a palette stored in the file.
constexpr uint16_t kStoredPaletteBit = 0x8000;

// Run grammar.
constexpr uint8_t kOpPattern = 0x00;
constexpr uint8_t kOpLiteral = 0x80;
constexpr uint8_t kSolidInk = 0x80;  // solid run of 0xFF when this bit is set
constexpr size_t kMaxSolid = 127;
constexpr size_t kMaxCounted = 255;
// Vertical replication prefix: 0x00 0x00 0xFF n.
constexpr size_t kPrefixBytes = 4;
constexpr uint8_t kPrefixMarker = 0xFF;

// A pixel size of 0 micrometres is read as this; the writer stores it for a
// resolution of 0.
constexpr uint16_t kDefaultMicrons = 85;

// The fixed sixteen-entry palettes, as (red, green, blue).
inline constexpr uint8_t ImgPaletteIntensity[16][3] = {
    {255, 255, 255}, {85, 85, 85},  {0, 0, 255},     {0, 0, 170}, {0, 255, 0},   {0, 170, 0},
    {0, 255, 255},   {0, 170, 170}, {255, 0, 0},     {170, 0, 0}, {255, 0, 255}, {170, 0, 170},
    {255, 255, 0},   {170, 170, 0}, {170, 170, 170}, {0, 0, 0}};
inline constexpr uint8_t ImgPaletteSixteen[16][3] = {
    {255, 255, 255}, {0, 0, 0},     {255, 0, 0},     {0, 255, 0},  {0, 0, 255}, {0, 255, 255},
    {255, 255, 0},   {255, 0, 255}, {128, 128, 128}, {0, 0, 0},    {128, 0, 0}, {0, 128, 0},
    {0, 0, 128},     {0, 128, 128}, {128, 128, 0},   {128, 0, 128}};
// ImgPaletteGrey: entry i is grey 255 - 17 * i.
constexpr uint8_t grey_entry(int i) {
    return static_cast<uint8_t>(255 - 17 * i);
}

}  // namespace gem
