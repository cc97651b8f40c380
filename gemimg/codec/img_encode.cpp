#include "codec/img_encode.h"

#include <cstring>

#include "format.h"

namespace gem {
namespace {

bool entry_is(const uint8_t *palette, int32_t i, uint8_t red, uint8_t green, uint8_t blue) {
    const uint8_t *e = palette + 3 * i;
    return e[0] == blue && e[1] == green && e[2] == red;
}

bool in_table(const uint8_t *palette, int32_t i, const uint8_t (*table)[3]) {
    for (int k = 0; k < 16; ++k)
        if (entry_is(palette, i, table[k][0], table[k][1], table[k][2])) return true;
    return false;
}

bool equals_table(const uint8_t *palette, int32_t count, const uint8_t (*table)[3]) {
    if (count < 16) return false;
    for (int i = 0; i < 16; ++i)
        if (!entry_is(palette, i, table[i][0], table[i][1], table[i][2])) return false;
    return true;
}

bool equals_grey16(const uint8_t *palette, int32_t count) {
    if (count < 16) return false;
    for (int i = 0; i < 16; ++i) {
        const uint8_t g = grey_entry(i);
        if (!entry_is(palette, i, g, g, g)) return false;
    }
    return true;
}

bool full(uint8_t c) {
    return c == 255 || c == 170;
}

// Plane bits for a colour of the intensity family (plane 0 = bit 3).
uint8_t intensity_code(const uint8_t *entry) {
    const uint8_t blue = entry[0], green = entry[1], red = entry[2];
    if (red == 255 && green == 255 && blue == 255) return 0x0;
    if (red == 0 && green == 0 && blue == 0) return 0xF;
    if (red == 170 && green == 170 && blue == 170) return 0xE;
    if (red == 85 && green == 85 && blue == 85) return 0x1;
    return static_cast<uint8_t>((full(red) ? 8 : 0) | (full(green) ? 4 : 0) | (full(blue) ? 2 : 0) |
                                (red == 170 || green == 170 || blue == 170 ? 1 : 0));
}

VariantResult choose_four_bit(const uint8_t *palette, int32_t count, ImgVariant *v) {
    bool intensity = true;
    for (int32_t i = 0; i < count && intensity; ++i)
        intensity = in_table(palette, i, ImgPaletteIntensity);
    for (int i = 0; i < 16; ++i) v->planeCode[i] = static_cast<uint8_t>(i);
    if (intensity) {
        // An index without a palette entry keeps its own bits (left to us).
        for (int32_t i = 0; i < count && i < 16; ++i)
            v->planeCode[i] = intensity_code(palette + 3 * i);
        v->headerWords = kShortHeaderWords;
    } else if (equals_table(palette, count, ImgPaletteSixteen)) {
        v->headerWords = kLongHeaderWords, v->paletteKind = kKindSixteen;
    } else if (equals_grey16(palette, count)) {
        v->headerWords = kLongHeaderWords, v->paletteKind = kKindGrey;
    } else {
        return VariantResult::kBadPalette;
    }
    v->planes = 4;
    return VariantResult::kOk;
}

uint16_t microns(int32_t resolution) {
    if (resolution == 0) return kDefaultMicrons;
    return static_cast<uint16_t>(static_cast<int64_t>(1000000000) / resolution);
}

// Transposes an 8 x 8 bit matrix: byte 7 - i of the result (from the top)
// holds bit 7 - i of every input byte, input byte j (from the top) in bit 7 - j.
uint64_t transpose8(uint64_t x) {
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x = x ^ t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x = x ^ t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    return x ^ t ^ (t << 28);
}

// Plane p has a pixel's bit set when bit 7 - p of its value is clear.
void split_eight_bit(const uint8_t *row, size_t width, uint8_t *planes, size_t plb) {
    for (size_t k = 0; k < plb; ++k) {
        uint64_t x = 0;
        const size_t count = width - 8 * k < 8 ? width - 8 * k : 8;
        for (size_t j = 0; j < 8; ++j) {
            const uint8_t ink = j < count ? static_cast<uint8_t>(~row[8 * k + j]) : 0;
            x |= static_cast<uint64_t>(ink) << (56 - 8 * j);
        }
        x = transpose8(x);
        for (size_t p = 0; p < 8; ++p)
            planes[p * plb + k] = static_cast<uint8_t>(x >> (56 - 8 * p));
    }
}

// Bit 7 of byte p set when plane p (plane 0 = bit 3 of the code) is set.
constexpr uint32_t plane_bits(unsigned code) {
    uint32_t v = 0;
    for (unsigned p = 0; p < 4; ++p)
        if (code & (8u >> p)) v |= 0x80u << (8 * p);
    return v;
}

void split_four_bit(const ImgVariant &v, const uint8_t *row, size_t width, uint8_t *planes,
                    size_t plb) {
    uint32_t bits[16];
    for (unsigned i = 0; i < 16; ++i) bits[i] = plane_bits(v.planeCode[i]);
    for (size_t k = 0; k < plb; ++k) {
        // Pixel j of the column lands in bit 7 - j of each plane's byte.
        uint32_t acc = 0;
        const size_t count = width - 8 * k < 8 ? width - 8 * k : 8;
        for (size_t j = 0; j < count; ++j) {
            const size_t x = 8 * k + j;
            const uint8_t index = (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
            acc |= bits[index] >> j;
        }
        for (size_t p = 0; p < 4; ++p) planes[p * plb + k] = static_cast<uint8_t>(acc >> (8 * p));
    }
}

// Solid runs of `r` units: 127 per full byte, bit 7 set for ink.
size_t put_solid(size_t r, bool ink, uint8_t *out) {
    size_t o = 0;
    const uint8_t high = ink ? kSolidInk : 0;
    for (; r > kMaxSolid; r -= kMaxSolid) out[o++] = static_cast<uint8_t>(high | kMaxSolid);
    out[o++] = static_cast<uint8_t>(high | r);
    return o;
}

}  // namespace

VariantResult ImgChooseVariant(int32_t bpp, const uint8_t *palette, int32_t count,
                               ImgVariant *variant) {
    if (!palette) count = 0;
    if (count < 0) count = 0;
    ImgVariant v{};
    v.bitsPerPixel = bpp;
    v.patternLength = 1;
    switch (bpp) {
        case 1:
            v.headerWords = kShortHeaderWords, v.planes = 1;
            v.invert = count > 0 && entry_is(palette, 0, 0, 0, 0);
            break;
        case 4:
            if (choose_four_bit(palette, count, &v) != VariantResult::kOk)
                return VariantResult::kBadPalette;
            break;
        case 8:
            for (int32_t i = 0; i < count && i < 256; ++i) {
                const uint8_t g = static_cast<uint8_t>(i);
                if (!entry_is(palette, i, g, g, g)) return VariantResult::kBadPalette;
            }
            v.headerWords = kLongHeaderWords, v.planes = 8, v.paletteKind = kKindGrey;
            break;
        case 24:
            v.headerWords = kLongHeaderWords, v.planes = 1, v.patternLength = 3;
            v.paletteKind = kKindChunky;
            break;
        default:
            return VariantResult::kBadDepth;
    }
    *variant = v;
    return VariantResult::kOk;
}

size_t ImgBuildHeader(const ImgVariant &v, uint16_t width, uint16_t height, int32_t x_resolution,
                      int32_t y_resolution, uint8_t *out) {
    const uint16_t words[kLongHeaderWords] = {1,
                                              v.headerWords,
                                              v.planes,
                                              v.patternLength,
                                              microns(x_resolution),
                                              microns(y_resolution),
                                              width,
                                              height,
                                              v.paletteKind};
    for (size_t i = 0; i < v.headerWords; ++i) {
        out[2 * i] = static_cast<uint8_t>(words[i] >> 8);
        out[2 * i + 1] = static_cast<uint8_t>(words[i]);
    }
    return 2 * static_cast<size_t>(v.headerWords);
}

size_t ImgRawLineBytes(const ImgVariant &v, size_t width) {
    if (v.bitsPerPixel == 24) return 3 * width;
    return v.planes * ((width + 7) / 8);
}

size_t ImgEncodedLineCapacity(const ImgVariant &v, size_t width) {
    // Each plane line is encoded on its own, and a plane line of L bytes may
    // take 2 L + 1.
    if (v.bitsPerPixel == 24) return 6 * width + 1;
    return v.planes * (2 * ((width + 7) / 8) + 1) + 1;
}

size_t ImgEncodeBytes(const uint8_t *in, size_t length, uint8_t *out) {
    size_t i = 0, o = 0;
    while (i < length) {
        const uint8_t b = in[i];
        size_t r = 1;
        while (i + r < length && in[i + r] == b) ++r;
        if (b == 0x00 || b == 0xFF) {
            o += put_solid(r, b == 0xFF, out + o);
            i += r;
        } else if (r >= 2) {
            for (; r > kMaxCounted; r -= kMaxCounted, i += kMaxCounted) {
                out[o++] = kOpPattern, out[o++] = 0xFF, out[o++] = b;
            }
            out[o++] = kOpPattern, out[o++] = static_cast<uint8_t>(r), out[o++] = b;
            i += r;
        } else {
            size_t end = i + 1;
            while (end < length && !(end + 1 < length && in[end] == in[end + 1])) ++end;
            while (i < end) {
                const size_t n = end - i < kMaxCounted ? end - i : kMaxCounted;
                out[o++] = kOpLiteral, out[o++] = static_cast<uint8_t>(n);
                std::memcpy(out + o, in + i, n);
                o += n, i += n;
            }
        }
    }
    return o;
}

size_t ImgEncodePixels(const uint8_t *in, size_t pixels, uint8_t *out) {
    auto same = [in](size_t a, size_t b) { return std::memcmp(in + 3 * a, in + 3 * b, 3) == 0; };
    auto solid = [in](size_t a, uint8_t v) {
        return in[3 * a] == v && in[3 * a + 1] == v && in[3 * a + 2] == v;
    };
    size_t i = 0, o = 0;
    while (i < pixels) {
        size_t r = 1;
        while (i + r < pixels && same(i, i + r)) ++r;
        if (solid(i, 0xFF) || solid(i, 0x00)) {
            o += put_solid(r, solid(i, 0xFF), out + o);
            i += r;
        } else if (r >= 2) {
            for (; r > kMaxCounted; r -= kMaxCounted, i += kMaxCounted) {
                out[o++] = kOpPattern, out[o++] = 0xFF;
                std::memcpy(out + o, in + 3 * i, 3), o += 3;
            }
            out[o++] = kOpPattern, out[o++] = static_cast<uint8_t>(r);
            std::memcpy(out + o, in + 3 * i, 3), o += 3;
            i += r;
        } else {
            size_t end = i + 1;
            while (end < pixels && !(end + 1 < pixels && same(end, end + 1))) ++end;
            while (i < end) {
                const size_t n = end - i < kMaxCounted ? end - i : kMaxCounted;
                out[o++] = kOpLiteral, out[o++] = static_cast<uint8_t>(n);
                std::memcpy(out + o, in + 3 * i, 3 * n);
                o += 3 * n, i += n;
            }
        }
    }
    return o;
}

size_t ImgEncodeLine(const ImgVariant &v, const uint8_t *row, size_t width, uint8_t *planes,
                     uint8_t *out) {
    const size_t plb = (width + 7) / 8;
    switch (v.bitsPerPixel) {
        case 1: {
            const uint8_t flip = v.invert ? 0xFF : 0x00;
            for (size_t k = 0; k < plb; ++k) planes[k] = row[k] ^ flip;
            // Bits past the width carry nothing: keep them clear.
            if (width % 8) planes[plb - 1] &= static_cast<uint8_t>(0xFF << (8 - width % 8));
            return ImgEncodeBytes(planes, plb, out);
        }
        case 4:
            split_four_bit(v, row, width, planes, plb);
            break;
        case 8:
            split_eight_bit(row, width, planes, plb);
            break;
        default:
            return ImgEncodePixels(row, width, out);
    }
    size_t o = 0;
    for (size_t p = 0; p < v.planes; ++p) o += ImgEncodeBytes(planes + p * plb, plb, out + o);
    return o;
}

}  // namespace gem
