#include "codec/dib.h"

#include <algorithm>

#include "common/byte_reader.h"
#include "common/checked.h"
#include "common/filter.h"
#include "format.h"

namespace rsrc {
namespace {

bool has(size_t size, uint64_t offset, uint64_t count) {
    return offset <= size && count <= size - offset;
}

// The combinations the module decodes, with the depth it delivers.
int32_t output_depth(uint32_t compression, int32_t bits) {
    switch (compression) {
        case kBiRgb:
            if (bits == 32) return 24;  // blue, green, red and an unused byte
            return (bits == 1 || bits == 4 || bits == 8 || bits == 24) ? bits : 0;
        case kBiRle8:
            return bits == 8 ? 8 : 0;
        case kBiRle4:
            return bits == 4 ? 4 : 0;
        case kBiBitfields:
            return (bits == 16 || bits == 32) ? 24 : 0;
        default:
            return 0;
    }
}

// The old 12-byte header: 16-bit sizes, 3-byte colour entries, no compression.
void read_core_header(const uint8_t *h, DibInfo *info) {
    info->width = flt::load_u16le(h + 4);
    info->height = flt::load_u16le(h + 6);
    info->bitCount = flt::load_u16le(h + 10);
    info->compression = kBiRgb;
    info->entrySize = 3;
}

uint32_t read_info_header(const uint8_t *h, DibInfo *info) {
    info->width = static_cast<int32_t>(flt::load_u32le(h + kDibWidth));
    int32_t height = static_cast<int32_t>(flt::load_u32le(h + kDibHeight));
    if (height == INT32_MIN) return FERR_UNSUPPORTED;
    info->topDown = height < 0;
    info->height = height < 0 ? -height : height;
    info->bitCount = flt::load_u16le(h + kDibBitCount);
    info->compression = flt::load_u32le(h + kDibCompression);
    info->xPelsPerMeter = static_cast<int32_t>(flt::load_u32le(h + kDibXPelsPerMeter));
    info->yPelsPerMeter = static_cast<int32_t>(flt::load_u32le(h + kDibYPelsPerMeter));
    return 0;
}

}  // namespace

uint32_t parse_dib(const uint8_t *data, size_t size, size_t offset, DibInfo *info) {
    *info = DibInfo();
    if (!has(size, offset, 4)) return FERR_CORRUPT;
    const uint32_t header_size = flt::load_u32le(data + offset);
    const bool core = header_size == kCoreHeaderSize;
    // Headers of 40 bytes and the longer later forms share the first 40 bytes;
    // the pixels follow the header at its own size.
    if (!core && header_size < kInfoHeaderSize) return FERR_UNSUPPORTED;
    if (!has(size, offset, header_size)) return FERR_CORRUPT;
    const uint8_t *h = data + offset;
    if (core) {
        read_core_header(h, info);
    } else if (uint32_t e = read_info_header(h, info)) {
        return e;
    }
    info->outputDepth = output_depth(info->compression, info->bitCount);
    if (info->outputDepth == 0) return FERR_UNSUPPORTED;
    if (info->width <= 0 || info->height <= 0) return FERR_UNSUPPORTED;
    // Each factor is bounded before the product, which then fits in 64 bits.
    const uint64_t out_stride = flt::row_bytes_dword(info->width, info->outputDepth);
    if (out_stride > INT32_MAX || out_stride * static_cast<uint32_t>(info->height) > INT32_MAX)
        return FERR_UNSUPPORTED;
    info->imageSize = static_cast<int64_t>(out_stride) * info->height;

    uint64_t table = uint64_t{offset} + header_size;
    if (info->compression == kBiBitfields) {
        if (!has(size, offset + kInfoHeaderSize, kDibMaskBytes)) return FERR_CORRUPT;
        for (int i = 0; i < 3; ++i) info->masks[i] = flt::load_u32le(h + kInfoHeaderSize + 4 * i);
        if (header_size == kInfoHeaderSize) table += kDibMaskBytes;
    } else if (info->bitCount == 32) {
        // The layout without bit fields, read through the same conversion.
        info->masks[0] = 0xFF0000;
        info->masks[1] = 0xFF00;
        info->masks[2] = 0xFF;
    }
    if (info->bitCount <= 8) {
        uint32_t used = core ? 0 : flt::load_u32le(h + kDibColorsUsed);
        if (used == 0) used = 1u << info->bitCount;
        if (used > size) return FERR_CORRUPT;
        info->colors = static_cast<int32_t>(used);
        // A table longer than the pixel values can reach is skipped whole,
        // but only the entries a pixel can name reach the host, which holds
        // no more than 256.
        info->paletteEntries = static_cast<int32_t>(std::min(used, 1u << info->bitCount));
    }
    const uint64_t table_bytes = uint64_t{info->entrySize} * static_cast<uint32_t>(info->colors);
    if (!has(size, table, table_bytes)) return FERR_CORRUPT;
    info->paletteOffset = static_cast<size_t>(table);
    info->pixelOffset = static_cast<size_t>(table + table_bytes);
    if (info->compression == kBiRgb || info->compression == kBiBitfields) {
        const uint64_t stride = flt::row_bytes_dword(info->width, info->bitCount);
        if (stride > size || !has(size, info->pixelOffset, stride * info->height))
            return FERR_CORRUPT;
    }
    return 0;
}

void copy_palette(const uint8_t *data, const DibInfo &info, uint8_t *out) {
    const uint8_t *entry = data + info.paletteOffset;
    for (int32_t i = 0; i < info.paletteEntries; ++i, entry += info.entrySize, out += 3) {
        out[0] = entry[0];
        out[1] = entry[1];
        out[2] = entry[2];
    }
}

ChannelMasks normalise_masks(const DibInfo &info) {
    ChannelMasks m;
    m.valueBits = info.bitCount == 16 ? 16 : 32;
    const uint32_t top = m.valueBits == 16 ? 0x8000u : 0x80000000u;
    // Stored order red, green, blue; kept in the order the pixels are written.
    const uint32_t stored[3] = {info.masks[2], info.masks[1], info.masks[0]};
    for (int c = 0; c < 3; ++c) {
        uint32_t mask = m.valueBits == 16 ? stored[c] & 0xFFFFu : stored[c];
        int shift = 0;
        if (mask != 0) {
            while (!(mask & top)) {
                mask <<= 1;
                ++shift;
            }
        }
        m.mask[c] = mask;
        m.shift[c] = shift;
    }
    return m;
}

void convert_bitfield_row(const uint8_t *src, int32_t width, const ChannelMasks &m, uint8_t *out) {
    const int down = m.valueBits - 8;
    const uint32_t keep[3] = {m.mask[0] >> down, m.mask[1] >> down, m.mask[2] >> down};
    const size_t step = m.valueBits / 8;
    for (int32_t x = 0; x < width; ++x, src += step) {
        const uint32_t value = step == 2 ? flt::load_u16le(src) : flt::load_u32le(src);
        for (int c = 0; c < 3; ++c) {
            const uint32_t shifted = static_cast<uint32_t>(value << m.shift[c]);
            *out++ = static_cast<uint8_t>((shifted >> down) & keep[c]);
        }
    }
}

}  // namespace rsrc
