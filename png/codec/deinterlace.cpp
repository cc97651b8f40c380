#include "codec/deinterlace.h"

#include <cstring>

#include "codec/layout.h"

namespace png {
namespace {

// Row of pass p that holds image row r, or -1 when the pass skips the row.
int64_t pass_row_of(const PassImage &pass, int p, uint32_t r) {
    const Adam7Pass &a = kAdam7[p];
    if (pass.width == 0 || r < a.row || (r - a.row) % a.rowStep) return -1;
    uint32_t row = (r - a.row) / a.rowStep;
    return row < pass.height ? static_cast<int64_t>(row) : -1;
}

// With the pixel size known at compile time each copy is a plain move, not
// a call.
template <size_t N>
void scatter_pixels(const uint8_t *src, const Adam7Pass &a, uint32_t count, uint8_t *out) {
    uint8_t *dst = out + a.column * N;
    const size_t step = a.columnStep * N;
    for (uint32_t j = 0; j < count; ++j, src += N, dst += step) std::memcpy(dst, src, N);
}

void scatter_bytes(const uint8_t *src, const Adam7Pass &a, uint32_t count, size_t pixel,
                   uint8_t *out) {
    switch (pixel) {
        case 1:
            return scatter_pixels<1>(src, a, count, out);
        case 2:
            return scatter_pixels<2>(src, a, count, out);
        case 3:
            return scatter_pixels<3>(src, a, count, out);
        case 4:
            return scatter_pixels<4>(src, a, count, out);
        case 6:
            return scatter_pixels<6>(src, a, count, out);
        default:  // 8: 16-bit RGB + alpha
            return scatter_pixels<8>(src, a, count, out);
    }
}

void scatter_bits(const uint8_t *src, const Adam7Pass &a, uint32_t count, int depth, uint8_t *out) {
    const unsigned mask = (1u << depth) - 1;
    for (uint32_t j = 0; j < count; ++j) {
        size_t sbit = static_cast<size_t>(j) * depth;
        unsigned v = (src[sbit / 8] >> (8 - depth - sbit % 8)) & mask;
        size_t dbit =
            (static_cast<size_t>(a.column) + static_cast<size_t>(j) * a.columnStep) * depth;
        out[dbit / 8] |= static_cast<uint8_t>(v << (8 - depth - dbit % 8));
    }
}

}  // namespace

PassImage pass_geometry(int pass, uint32_t width, uint32_t height, int bitDepth, int channels) {
    const Adam7Pass &a = kAdam7[pass];
    PassImage p{};
    p.width = adam7_count(width, a.column, a.columnStep);
    p.height = adam7_count(height, a.row, a.rowStep);
    if (p.width == 0 || p.height == 0) {
        p.width = p.height = 0;
        return p;
    }
    p.rowBytes = static_cast<size_t>(stored_row_bytes(p.width, bitDepth, channels));
    return p;
}

uint64_t pass_image_bytes(const PassImage &pass) {
    if (pass.width == 0) return 0;
    return static_cast<uint64_t>(pass.height) * (pass.rowBytes + 1);
}

const uint8_t *whole_pass_row(const PassImage passes[kAdam7Passes], uint32_t r) {
    const int last = kAdam7Passes - 1;
    const int64_t row = pass_row_of(passes[last], last, r);
    if (row < 0) return nullptr;
    return passes[last].pixels + static_cast<size_t>(row) * (passes[last].rowBytes + 1) + 1;
}

void assemble_row(const PassImage passes[kAdam7Passes], uint32_t r, int bitDepth, int channels,
                  uint8_t *out, size_t rawRowBytes) {
    std::memset(out, 0, rawRowBytes);
    const size_t bits = static_cast<size_t>(bitDepth) * channels;
    for (int p = 0; p < kAdam7Passes; ++p) {
        const PassImage &pass = passes[p];
        const int64_t row = pass_row_of(pass, p, r);
        if (row < 0) continue;
        const uint8_t *src = pass.pixels + static_cast<size_t>(row) * (pass.rowBytes + 1) + 1;
        if (kAdam7[p].columnStep == 1) {
            std::memcpy(out, src, pass.rowBytes);  // pass 7: whole odd rows
        } else if (bits >= 8) {
            scatter_bytes(src, kAdam7[p], pass.width, bits / 8, out);
        } else {
            scatter_bits(src, kAdam7[p], pass.width, bitDepth, out);
        }
    }
}

}  // namespace png
