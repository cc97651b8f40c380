#include "codec/png_header.h"

#include <cstring>

#include "codec/crc32.h"

namespace png {
namespace {

bool entry_is_grey(const uint8_t *e) {
    return e[0] == e[1] && e[1] == e[2];
}

// Whether the first `count` entries are all grey (vacuously so without any).
bool palette_is_grey(const uint8_t *palette, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (!entry_is_grey(palette + 3 * i)) return false;
    return true;
}

// Whether the entries are the grey levels a PNG grey image of `depth` bits
// means by its values: i * 255 / (2^depth - 1).
bool palette_is_ramp(const uint8_t *palette, size_t count, int depth) {
    unsigned step = 255u / ((1u << depth) - 1u);
    for (size_t i = 0; i < count; ++i)
        if (palette[3 * i] != i * step) return false;
    return true;
}

}  // namespace

ColourStatus choose_colour(int32_t bits_per_pixel, int32_t planes, const uint8_t *palette,
                           int32_t count, ColourChoice *out) {
    std::memset(out, 0, sizeof *out);
    if (bits_per_pixel != 1 && bits_per_pixel != 4 && bits_per_pixel != 8 && bits_per_pixel != 24)
        return ColourStatus::kBadDepth;
    out->bitDepth = 8;
    if (bits_per_pixel == 24) {
        out->colourType = planes == 2 ? kColorRgbAlpha : kColorRgb;
        return ColourStatus::kOk;
    }
    // A palette holds at most 256 entries; the PLTE chunk at most 2^depth.
    size_t entries = palette && count > 0 ? static_cast<size_t>(count) : 0;
    if (entries > 256) entries = 256;
    size_t usable = static_cast<size_t>(1) << bits_per_pixel;
    bool grey = palette_is_grey(palette, entries);
    if (bits_per_pixel < 8) {
        out->bitDepth = static_cast<uint8_t>(bits_per_pixel);
        // Sub-byte grey values must mean the palette's levels exactly.
        grey =
            grey && palette_is_ramp(palette, entries < usable ? entries : usable, bits_per_pixel);
    }
    // PNG has no palette with alpha and no grey+alpha below 8 bits.
    if (planes == 2 && (bits_per_pixel < 8 || !grey)) return ColourStatus::kNoAlphaPlane;
    if (grey) {
        out->colourType = planes == 2 ? kColorGreyAlpha : kColorGrey;
        for (unsigned v = 0; v < 256; ++v)
            out->greyMap[v] = v < entries ? palette[3 * v] : static_cast<uint8_t>(v);
        out->mapGrey = bits_per_pixel == 8 && !palette_is_ramp(palette, entries, 8);
        return ColourStatus::kOk;
    }
    out->colourType = kColorPalette;
    out->paletteEntries = entries < usable ? entries : usable;
    return ColourStatus::kOk;
}

void store_be32(uint8_t *out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

uint32_t load_be32(const uint8_t *in) {
    return static_cast<uint32_t>(in[0]) << 24 | static_cast<uint32_t>(in[1]) << 16 |
           static_cast<uint32_t>(in[2]) << 8 | in[3];
}

void fill_ihdr(uint8_t *ihdr, uint32_t width, uint32_t height, uint8_t depth, uint8_t colour_type) {
    store_be32(ihdr, width);
    store_be32(ihdr + 4, height);
    ihdr[8] = depth;
    ihdr[9] = colour_type;
    ihdr[10] = 0;
    ihdr[11] = 0;
}

void fill_plte(const uint8_t *palette, size_t entries, uint8_t *out) {
    for (size_t i = 0; i < entries; ++i, palette += 3, out += 3) {
        out[0] = palette[2];
        out[1] = palette[1];
        out[2] = palette[0];
    }
}

void fill_phys(int32_t x_per_km, int32_t y_per_km, uint8_t *out) {
    store_be32(out, static_cast<uint32_t>(x_per_km / 1000));
    store_be32(out + 4, static_cast<uint32_t>(y_per_km / 1000));
    out[8] = 1;
}

size_t comment_bytes(size_t text_length) {
    // A chunk's length is a 31-bit number.
    if (text_length > 0x7FFFFFFFu - 8) return 0;
    return kCommentKeywordSize + text_length;
}

void fill_comment(const char *text, size_t text_length, uint8_t *out) {
    std::memcpy(out, kCommentKeyword, kCommentKeywordSize);
    std::memcpy(out + kCommentKeywordSize, text, text_length);
}

uint32_t chunk_crc(const uint8_t *type, const uint8_t *data, size_t size) {
    uint32_t crc = crc32_update(0, type, 4);
    return size ? crc32_update(crc, data, size) : crc;
}

}  // namespace png
