#include "codec/img_header.h"

#include <algorithm>
#include <cstring>

#include "common/byte_reader.h"
#include "format.h"

namespace gem {
namespace {

void set_entry(uint8_t *palette, int i, uint8_t red, uint8_t green, uint8_t blue) {
    palette[3 * i] = blue;
    palette[3 * i + 1] = green;
    palette[3 * i + 2] = red;
}

void fill_sixteen(const uint8_t (*table)[3], uint8_t *palette) {
    for (int i = 0; i < 16; ++i) set_entry(palette, i, table[i][0], table[i][1], table[i][2]);
}

// A pen level of 0..1000 as 0..255, rounded to nearest. Levels above 1000 lie
// outside the format's range; they read as full rather than wrapping round
// to dark.
uint8_t pen_level(const uint8_t *word) {
    const uint32_t level = std::min<uint32_t>(flt::load_u16be(word), kExtFullLevel);
    return static_cast<uint8_t>((level * 255 + kExtFullLevel / 2) / kExtFullLevel);
}

void fill_pens(const uint8_t *pens, int32_t count, uint8_t *palette) {
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t *pen = pens + kExtPenBytes * i;
        set_entry(palette, i, pen_level(pen), pen_level(pen + 2), pen_level(pen + 4));
    }
}

// 24 planes under the extended header: red, green, blue bytes per pixel, the
// line padded to whole 16-pixel words.
void make_true_colour(const ImgHeader &h, ImgLayout *l) {
    const size_t padded = (h.width + kExtTrueColourAlign - 1) / kExtTrueColourAlign;
    l->cls = ImgClass::kTrueColour;
    l->bitsPerPixel = 24;
    l->paletteCount = 0;
    l->planes = 1;
    l->lineUnits = 3 * kExtTrueColourAlign * padded;
    l->decodedBytes = l->lineUnits;
}

}  // namespace

bool ImgRecognise(const uint8_t *data, size_t size) {
    if (!data || size < 2 * kShortHeaderWords) return false;
    if (data[0] != 0 && data[1] != 1) return false;
    const size_t words = flt::load_u16be(data + 2);
    if (words > kLongHeaderWords) return size >= 2 * words;
    if (data[2] != 0) return false;
    if (data[3] != kShortHeaderWords && data[3] != kLongHeaderWords) return false;
    if (data[3] == kLongHeaderWords) {
        if (size < 2 * kLongHeaderWords) return false;
        if (data[16] != 0 && !(data[16] & 0x80)) return false;
        if (data[17] > kKindChunky) return false;
    }
    return true;
}

bool ImgReadHeaderWords(const uint8_t *data, size_t size, ImgHeader *header) {
    flt::ByteReader in(data, size);
    uint16_t w[kLongHeaderWords] = {};
    for (size_t i = 0; i < kShortHeaderWords; ++i)
        if (!in.u16be(&w[i])) return false;
    if (w[kWordHeaderLength] == kLongHeaderWords && !in.u16be(&w[kWordPaletteKind])) return false;
    *header = ImgHeader{w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8]};
    return true;
}

bool ImgClassify(const ImgHeader &h, ImgLayout *out) {
    const bool long_header = h.headerWords == kLongHeaderWords;
    if (long_header && (h.paletteKind & kStoredPaletteBit)) return false;
    if (h.width == 0 || h.height == 0) return false;
    ImgLayout l{};
    l.planes = h.planes;
    l.patternLength = h.patternLength;
    l.planeLineBytes = (static_cast<size_t>(h.width) + 7) / 8;
    l.dataStart = 2 * std::max<size_t>(h.headerWords, kShortHeaderWords);
    const uint16_t kind = h.paletteKind & 0xFF;
    if (h.planes == 1 && h.patternLength == 3 && long_header && kind == kKindChunky) {
        l.cls = ImgClass::kChunky24;
        l.bitsPerPixel = 24;
        l.lineUnits = h.width;
        l.decodedBytes = 3 * static_cast<size_t>(h.width);
    } else {
        if (h.planes == 1) {
            l.cls = ImgClass::kBilevel, l.bitsPerPixel = 1, l.paletteCount = 2;
        } else if (h.planes >= 2 && h.planes <= 4) {
            l.cls = ImgClass::kFourBit, l.bitsPerPixel = 4, l.paletteCount = 16;
        } else if (h.planes >= 5 && h.planes <= 8) {
            l.cls = ImgClass::kEightBit, l.bitsPerPixel = 8, l.paletteCount = 256;
        } else if (h.planes == 24) {
            l.cls = ImgClass::kPlanar24, l.bitsPerPixel = 24;
        } else {
            return false;
        }
        l.lineUnits = l.planes * l.planeLineBytes;
        l.decodedBytes = l.lineUnits;
    }
    l.twoPlaneGrey = long_header && kind == kKindGrey && h.planes == 2;
    *out = l;
    return true;
}

void ImgApplyExtension(const uint8_t *data, size_t size, const ImgHeader &h, ImgLayout *l) {
    const size_t words = h.headerWords;
    if (!data || words < kExtMinWords || size < 2 * words) return;
    if (std::memcmp(data + kExtTagOffset, kExtTag, sizeof kExtTag) != 0) return;
    if (flt::load_u16be(data + kExtModelOffset) != kExtModelRgb) return;
    if (h.planes == 24) {
        make_true_colour(h, l);
    } else if (h.planes >= 1 && h.planes <= 8 &&
               words >= kExtMinWords + kExtPenBytes / 2 * (size_t{1} << h.planes)) {
        l->pens = data + kExtPensOffset;
        l->paletteCount = 1 << h.planes;
    }
}

int32_t ImgResolution(uint16_t microns) {
    return static_cast<int32_t>(1000000000u / (microns ? microns : kDefaultMicrons));
}

void ImgFillPalette(const ImgHeader &h, const ImgLayout &l, uint8_t *palette) {
    const int32_t count = l.paletteCount;
    if (l.pens) {
        fill_pens(l.pens, count, palette);
    } else if (count == 2) {
        set_entry(palette, 0, 255, 255, 255);
        set_entry(palette, 1, 0, 0, 0);
    } else if (count == 16) {
        if (h.headerWords != kLongHeaderWords) {
            fill_sixteen(ImgPaletteIntensity, palette);
        } else if ((h.paletteKind & 0xFF) == kKindGrey) {
            for (int i = 0; i < 16; ++i)
                set_entry(palette, i, grey_entry(i), grey_entry(i), grey_entry(i));
        } else {
            fill_sixteen(ImgPaletteSixteen, palette);
        }
    } else {
        for (int i = 0; i < count; ++i) {
            const uint8_t g = static_cast<uint8_t>(i);
            set_entry(palette, i, g, g, g);
        }
    }
}

}  // namespace gem
