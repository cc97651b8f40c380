#include "codec/scanline.h"

#include <cstring>

#include "codec/reverse3.h"
#include "common/checked.h"

namespace png {

namespace {

int32_t host_depth(int32_t depth) {
    return depth == 1 || depth == 4 || depth == 8 ? depth : 24;
}

}  // namespace

uint32_t adam7_pass_width(int pass, uint32_t width) {
    return adam7_count(width, kAdam7[pass].column, kAdam7[pass].columnStep);
}

uint32_t adam7_pass_height(int pass, uint32_t height) {
    return adam7_count(height, kAdam7[pass].row, kAdam7[pass].rowStep);
}

size_t png_row_bytes(uint32_t pixels, int32_t depth, bool alpha) {
    uint64_t bytes = flt::row_bytes(pixels, host_depth(depth)) + (alpha ? pixels : 0);
    return bytes > SIZE_MAX ? 0 : static_cast<size_t>(bytes);
}

size_t host_stride(uint32_t width, int32_t depth) {
    uint64_t bytes = flt::row_bytes_dword(width, host_depth(depth));
    return bytes > SIZE_MAX ? 0 : static_cast<size_t>(bytes);
}

void host_row_to_png(const uint8_t *host, uint8_t *out, uint32_t width, int32_t depth) {
    if (host_depth(depth) != 24) {
        std::memcpy(out, host, png_row_bytes(width, depth, false));
        return;
    }
    if (width == 0) return;
    // A word per pixel; the last one byte by byte, as a word would reach one
    // byte past both rows.
    for (uint32_t x = 0; x + 1 < width; ++x, host += 3, out += 3)
        store_word(out, load_reversed3(host));
    out[0] = host[2];
    out[1] = host[1];
    out[2] = host[0];
}

void merge_row(const uint8_t *colour, const uint8_t *alpha, uint8_t *out, uint32_t width,
               int32_t colour_depth) {
    if (colour_depth == 8) {
        for (uint32_t x = 0; x < width; ++x, out += 2) {
            out[0] = colour[x];
            out[1] = alpha[x];
        }
        return;
    }
    if (width == 0) return;
    // The last colour pixel byte by byte: a word would reach past its row.
    for (uint32_t x = 0; x + 1 < width; ++x, colour += 3, out += 4)
        store_word(out, load_reversed3(colour) | static_cast<uint32_t>(alpha[x]) << 24);
    out[0] = colour[2];
    out[1] = colour[1];
    out[2] = colour[0];
    out[3] = alpha[width - 1];
}

void pass_row(const uint8_t *src, const uint8_t *colour, uint8_t *out, int pass,
              uint32_t pass_width, int32_t depth, int32_t colour_depth) {
    size_t x = kAdam7[pass].column;
    const size_t step = kAdam7[pass].columnStep;
    if (colour) {
        bool grey = colour_depth == 8;
        for (uint32_t j = 0; j < pass_width; ++j, x += step) {
            if (grey) {
                *out++ = colour[x];
            } else {
                *out++ = colour[3 * x + 2];
                *out++ = colour[3 * x + 1];
                *out++ = colour[3 * x];
            }
            *out++ = src[x];
        }
        return;
    }
    switch (host_depth(depth)) {
        case 1:
            for (uint32_t j = 0; j < pass_width; ++j, x += step) {
                unsigned bit = src[x / 8] >> (7 - x % 8) & 1u;
                out[j / 8] |= static_cast<uint8_t>(bit << (7 - j % 8));
            }
            break;
        case 4:
            for (uint32_t j = 0; j < pass_width; ++j, x += step) {
                unsigned nibble = src[x / 2] >> (x % 2 ? 0 : 4) & 0x0Fu;
                out[j / 2] |= static_cast<uint8_t>(nibble << (j % 2 ? 0 : 4));
            }
            break;
        case 8:
            for (uint32_t j = 0; j < pass_width; ++j, x += step) out[j] = src[x];
            break;
        default:
            for (uint32_t j = 0; j < pass_width; ++j, x += step, out += 3) {
                out[0] = src[3 * x + 2];
                out[1] = src[3 * x + 1];
                out[2] = src[3 * x];
            }
            break;
    }
}

void map_bytes(uint8_t *row, size_t count, const uint8_t map[256]) {
    for (size_t i = 0; i < count; ++i) row[i] = map[row[i]];
}

}  // namespace png
