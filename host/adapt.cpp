// Depth adaptation before export: a module's descriptor names in the low
// byte of word B the host depths it writes (0x01 1 bit, 0x02 4, 0x04 8, 0x10
// 24). An image of another depth is brought to one the module takes.
#include <cstring>

#include "host/host.h"

namespace host {
namespace {

uint8_t depth_bit(int32_t bits_per_pixel) {
    switch (bits_per_pixel) {
        case 1:
            return 0x01;
        case 4:
            return 0x02;
        case 8:
            return 0x04;
        case 24:
            return 0x10;
        default:
            return 0;
    }
}

// Blue, green, red of pixel x of a row.
void pixel_bgr(const Image &image, const uint8_t *row, int32_t x, uint8_t bgr[3]) {
    if (image.bitsPerPixel == 24) {
        std::memcpy(bgr, row + 3 * x, 3);
        return;
    }
    unsigned index = 0;
    if (image.bitsPerPixel == 8) index = row[x];
    if (image.bitsPerPixel == 4) index = (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    if (image.bitsPerPixel == 1) index = row[x / 8] >> (7 - x % 8) & 1;
    if (static_cast<int32_t>(index) < image.palette_count()) {
        std::memcpy(bgr, image.palette.data() + 3 * index, 3);
    } else {
        const uint8_t grey = index ? 255 : 0;
        bgr[0] = bgr[1] = bgr[2] = grey;
    }
}

Image to_24(const Image &image) {
    Image out = image;
    out.bitsPerPixel = 24;
    out.palette.clear();
    out.allocate();
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x)
            pixel_bgr(image, image.row(y), x, out.row(y) + 3 * x);
    return out;
}

// Black where the luminance is below half, on the palette {black, white}
// (bit 0 black, as 1-bit-only writers take it).
Image to_bilevel(const Image &image) {
    Image out = image;
    out.bitsPerPixel = 1;
    out.palette = {0, 0, 0, 255, 255, 255};
    out.allocate();
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            uint8_t bgr[3];
            pixel_bgr(image, image.row(y), x, bgr);
            const unsigned luma = (29u * bgr[0] + 150u * bgr[1] + 77u * bgr[2]) >> 8;
            if (luma >= 128) out.row(y)[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    return out;
}

bool is_black_white(const Image &image) {
    static const uint8_t kBlackWhite[6] = {0, 0, 0, 255, 255, 255};
    return image.palette.size() == 6 && std::memcmp(image.palette.data(), kBlackWhite, 6) == 0;
}

}  // namespace

Image adapt_for_export(const Image &image, uint32_t word_b) {
    const uint8_t depths = static_cast<uint8_t>(word_b & 0xFF);
    if (depths == 0x01)
        return image.bitsPerPixel == 1 && is_black_white(image) ? image : to_bilevel(image);
    if (depths & depth_bit(image.bitsPerPixel)) return image;
    if (depths & 0x10) return to_24(image);
    return to_bilevel(image);
}

}  // namespace host
