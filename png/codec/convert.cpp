#include "codec/convert.h"

#include "codec/reverse3.h"

namespace png {
namespace {

void expand_2bit(const uint8_t *in, uint8_t *out, uint32_t width) {
    const size_t out_bytes = (static_cast<size_t>(width) + 1) / 2;
    for (size_t j = 0; j < out_bytes; ++j) {
        // Output byte j holds pixels 2j and 2j + 1, both in source byte j / 2.
        unsigned byte = in[j / 2];
        unsigned pair = (j & 1) ? byte & 0x0F : byte >> 4;
        out[j] = static_cast<uint8_t>((pair >> 2) << 4 | (pair & 3));
    }
}

// The store writes a fourth byte that the next pixel overwrites (and, after
// the last one, the spare byte of `out`).
inline void put_bgr(const uint8_t *in, uint8_t *out) {
    store_word(out, load_reversed3(in));
}

void rgb8_to_bgr(const uint8_t *in, uint8_t *out, uint32_t width) {
    for (uint32_t i = 0; i < width; ++i, in += 3, out += 3) put_bgr(in, out);
}

void rgba8_to_bgr(const uint8_t *in, uint8_t *out, uint32_t width) {
    for (uint32_t i = 0; i < width; ++i, in += 4, out += 3) put_bgr(in, out);
}

void pick_samples(const Conversion &c, const uint8_t *in, uint8_t *out, uint32_t width) {
    const size_t pixel = static_cast<size_t>(c.channels) * c.sampleBytes;
    for (uint32_t i = 0; i < width; ++i, in += pixel) {
        for (int s = 0; s < c.outCount; ++s) *out++ = in[c.pick[s] * c.sampleBytes];
    }
}

}  // namespace

Conversion plan_conversion(const PngHeader &header, const Layout &layout) {
    Conversion c{};
    c.channels = layout.channels;
    c.sampleBytes = header.bitDepth == 16 ? 2 : 1;
    const uint8_t t = header.colorType;
    if (t == kColorGrey || t == kColorPalette) {
        if (header.bitDepth == 2) {
            c.kind = ConversionKind::kExpand2;
        } else if (header.bitDepth == 16) {
            c.kind = ConversionKind::kPick;
            c.outCount = 1;
        } else {
            c.kind = ConversionKind::kNone;
        }
        return c;
    }
    c.kind = ConversionKind::kPick;
    if (layout.deliverAlpha || t == kColorGreyAlpha) {
        c.outCount = 1;
        c.pick[0] = layout.deliverAlpha ? c.channels - 1 : 0;
        return c;
    }
    c.outCount = 3;
    c.pick[0] = 2;
    c.pick[1] = 1;
    c.pick[2] = 0;
    if (c.sampleBytes == 1)
        c.kind = t == kColorRgb ? ConversionKind::kRgb8 : ConversionKind::kRgba8;
    return c;
}

bool converts_to_bgr(const Conversion &c) {
    return c.kind == ConversionKind::kRgb8 || c.kind == ConversionKind::kRgba8 ||
           (c.kind == ConversionKind::kPick && c.outCount == 3);
}

void convert_row(const Conversion &c, const uint8_t *scanline, uint8_t *out, uint32_t width) {
    switch (c.kind) {
        case ConversionKind::kNone:
            return;
        case ConversionKind::kExpand2:
            return expand_2bit(scanline, out, width);
        case ConversionKind::kRgb8:
            return rgb8_to_bgr(scanline, out, width);
        case ConversionKind::kRgba8:
            return rgba8_to_bgr(scanline, out, width);
        case ConversionKind::kPick:
            return pick_samples(c, scanline, out, width);
    }
}

}  // namespace png
