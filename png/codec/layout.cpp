#include "codec/layout.h"

#include "common/checked.h"

namespace png {
namespace {

int channels_of(uint8_t colorType) {
    switch (colorType) {
        case kColorGrey:
        case kColorPalette:
            return 1;
        case kColorGreyAlpha:
            return 2;
        case kColorRgb:
            return 3;
        case kColorRgbAlpha:
            return 4;
        default:
            return 0;
    }
}

bool depth_supported(uint8_t colorType, uint8_t depth) {
    switch (colorType) {
        case kColorGrey:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case kColorPalette:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case kColorRgb:
            return depth == 8 || depth == 16;
        // Grey + alpha and RGB + alpha take any depth other than 16 as 8.
        case kColorGreyAlpha:
        case kColorRgbAlpha:
            return true;
        default:
            return false;
    }
}

// Delivered depth of one plane: sub-byte grey and palette rows keep 1 or 4
// bits (2 bits widen to 4), everything grey becomes 8, colour 24.
int32_t delivered_bits(uint8_t colorType, uint8_t depth, bool alpha) {
    if (colorType == kColorGrey || colorType == kColorPalette) {
        if (depth == 1) return 1;
        if (depth == 2 || depth == 4) return 4;
        return 8;
    }
    if (colorType == kColorGreyAlpha || alpha) return 8;
    return 24;
}

}  // namespace

uint64_t stored_row_bytes(uint64_t width, int bitDepth, int channels) {
    return (width * static_cast<uint64_t>(bitDepth) * static_cast<uint64_t>(channels) + 7) / 8;
}

LayoutStatus derive_layout(const PngHeader &header, int32_t imageIndex, Layout *out) {
    const uint8_t t = header.colorType;
    if (!depth_supported(t, header.bitDepth)) return LayoutStatus::kUnsupported;
    const int d = sample_depth(header);
    if (header.width == 0 || header.height == 0) return LayoutStatus::kEmpty;
    if (header.width > INT32_MAX || header.height > INT32_MAX) return LayoutStatus::kTooLarge;

    Layout l{};
    l.channels = channels_of(t);
    l.alphaPlane = t == kColorGreyAlpha || t == kColorRgbAlpha;
    l.deliverAlpha = l.alphaPlane && imageIndex == 2;
    l.fileBitsPerPixel = header.bitDepth * ((t == kColorRgb || t == kColorRgbAlpha) ? 3 : 1);
    l.bitsPerPixel = delivered_bits(t, d, l.deliverAlpha);
    const uint64_t raw = stored_row_bytes(header.width, d, l.channels);
    const uint64_t row = flt::row_bytes(header.width, l.bitsPerPixel);
    // Two scanlines and their filter bytes must fit a signed 32-bit count.
    if (raw > INT32_MAX / 2 - 2 || row > INT32_MAX / 2 - 2) return LayoutStatus::kTooLarge;
    l.rawRowBytes = static_cast<int32_t>(raw);
    l.rowBytes = static_cast<int32_t>(row);

    if (t == kColorPalette) {
        l.palette = PaletteSource::kPlte;
    } else if (t == kColorRgb || (t == kColorRgbAlpha && !l.deliverAlpha)) {
        l.palette = PaletteSource::kNone;
    } else {
        l.palette = PaletteSource::kGreyRamp;
    }
    // Entries as the stored depth can index: 2, 4, 16 or 256.
    if (l.palette != PaletteSource::kNone) l.paletteCount = l.bitsPerPixel == 8 ? 256 : 1 << d;
    *out = l;
    return LayoutStatus::kOk;
}

}  // namespace png
