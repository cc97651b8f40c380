// GEM IMG header: recognition, classification into an image class and the
// palettes the classes carry. Pure functions over the file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gem {

// The nine header words in file order; paletteKind is 0 after an 8-word header.
struct ImgHeader {
    uint16_t version;
    uint16_t headerWords;
    uint16_t planes;
    uint16_t patternLength;
    uint16_t pixelWidth;
    uint16_t pixelHeight;
    uint16_t width;
    uint16_t height;
    uint16_t paletteKind;
};

// kTrueColour: 24 planes under the extended header, scan lines of red, green,
// blue bytes per pixel.
enum class ImgClass { kBilevel, kFourBit, kEightBit, kPlanar24, kChunky24, kTrueColour };

// What the rest of the reader needs to know about a file.
struct ImgLayout {
    ImgClass cls;
    int32_t bitsPerPixel;
    int32_t paletteCount;
    size_t planes;          // 1 for chunky images
    size_t planeLineBytes;  // (width + 7) / 8
    size_t patternLength;
    size_t lineUnits;     // bytes of one scan line, or pixels for chunky images
    size_t decodedBytes;  // bytes one decoded scan line fills
    size_t dataStart;     // offset of the first scan line in the file
    bool twoPlaneGrey;    // 9-word header, grey palette kind, exactly 2 planes
    // The pen colours of the extended header (six bytes per pen), or null for
    // the fixed palettes. With pens a pixel's plane bits are its pen number,
    // plane 0 the least significant bit.
    const uint8_t *pens;
};

// The raw-byte test on the first bytes of a file. Needs the whole header in
// `size` bytes (16, 18 for the 9-word form, twice the header length for a
// longer one); a shorter file is refused.
bool ImgRecognise(const uint8_t *data, size_t size);

// Reads the header words; false when the file is shorter than the header.
bool ImgReadHeaderWords(const uint8_t *data, size_t size, ImgHeader *header);

// Classifies a header by its first 8 or 9 words; a longer header is read as
// its first 8 words say. False for a plane count that no class takes, for an
// image without pixels (width or height 0) and for the stored-palette form of
// the 9-word header, which this module does not read.
bool ImgClassify(const ImgHeader &header, ImgLayout *layout);

// Applies the extended header, when the file (`size` bytes, header already
// recognised) has one with RGB pens for its planes, or 24 planes: the pens
// become the palette, or the class becomes true colour. Other headers leave
// the layout as it is.
void ImgApplyExtension(const uint8_t *data, size_t size, const ImgHeader &header,
                       ImgLayout *layout);

// Pixels per kilometre for a pixel size in micrometres (0 counts as 85).
int32_t ImgResolution(uint16_t microns);

// Fills layout.paletteCount entries (blue, green, red): the pens of the
// extended header, or for the fixed palettes 2 white/black, 16 one of the
// three sixteen-colour palettes, 256 a grey ramp.
void ImgFillPalette(const ImgHeader &header, const ImgLayout &layout, uint8_t *palette);

}  // namespace gem
