// Scanline preparation over plain buffers: byte order, pass geometry, pixel
// sampling of the passes.
#include "codec/scanline.h"

#include <gtest/gtest.h>

namespace png {
namespace {

TEST(Scanline, PassSizes) {
    struct Case {
        uint32_t w, h;
        uint32_t widths[7], heights[7];
    } cases[] = {
        {1, 1, {1, 0, 1, 0, 1, 0, 1}, {1, 1, 0, 1, 0, 1, 0}},
        {3, 3, {1, 0, 1, 1, 2, 1, 3}, {1, 1, 0, 1, 1, 2, 1}},
        {8, 8, {1, 1, 2, 2, 4, 4, 8}, {1, 1, 1, 2, 2, 4, 4}},
        {17, 9, {3, 2, 5, 4, 9, 8, 17}, {2, 2, 1, 3, 2, 5, 4}},
    };
    for (const Case &c : cases) {
        for (int p = 0; p < kAdam7Passes; ++p) {
            EXPECT_EQ(adam7_pass_width(p, c.w), c.widths[p]) << c.w << " pass " << p;
            EXPECT_EQ(adam7_pass_height(p, c.h), c.heights[p]) << c.h << " pass " << p;
        }
    }
}

TEST(Scanline, HostRowsToPng) {
    const uint8_t bits[] = {0xB0, 0x80};  // 1 0 1 1 0 0 0 0 1
    uint8_t out[3] = {};
    host_row_to_png(bits, out, 9, 1);
    EXPECT_EQ(out[0], 0xB0);
    EXPECT_EQ(out[1], 0x80);
    const uint8_t bgr[] = {0x10, 0x20, 0x30};
    host_row_to_png(bgr, out, 1, 24);
    EXPECT_EQ(out[0], 0x30);
    EXPECT_EQ(out[2], 0x10);
    const uint8_t alpha[] = {0xFF};
    uint8_t rgba[4];
    merge_row(bgr, alpha, rgba, 1, 24);
    EXPECT_EQ(std::vector<uint8_t>(rgba, rgba + 4), (std::vector<uint8_t>{0x30, 0x20, 0x10, 0xFF}));
    EXPECT_EQ(host_stride(9, 1), 4u);
    EXPECT_EQ(host_stride(5, 24), 16u);
    EXPECT_EQ(host_stride(3, 16), 12u) << "any other depth counts as 24";
    EXPECT_EQ(png_row_bytes(5, 24, true), 20u);
    EXPECT_EQ(png_row_bytes(5, 8, true), 10u);
    EXPECT_EQ(png_row_bytes(5, 4, false), 3u);
}

// Pass rows sample x_start + j * x_step at every depth.
TEST(Scanline, PassRowsSampleTheirColumns) {
    const uint32_t width = 13;
    uint8_t nib[7] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD};  // pixel i = i
    uint8_t bits[2] = {0xAA, 0xA8};                               // pixel i = !(i % 2)
    for (int p = 0; p < kAdam7Passes; ++p) {
        uint32_t pw = adam7_pass_width(p, width);
        uint8_t out4[8] = {}, out1[2] = {};
        pass_row(nib, nullptr, out4, p, pw, 4, 0);
        pass_row(bits, nullptr, out1, p, pw, 1, 0);
        for (uint32_t j = 0; j < pw; ++j) {
            uint32_t x = kAdam7[p].column + j * kAdam7[p].columnStep;
            EXPECT_EQ(out4[j / 2] >> (j % 2 ? 0 : 4) & 0xF, x) << "pass " << p << " j " << j;
            EXPECT_EQ(out1[j / 8] >> (7 - j % 8) & 1, x % 2 ? 0u : 1u) << "pass " << p;
        }
    }
    const uint8_t colour[6] = {1, 2, 3, 4, 5, 6}, alpha[2] = {7, 8};
    uint8_t out[4] = {};
    pass_row(alpha, colour, out, 5, 1, 8, 24);  // pass 6 starts at x 1
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{6, 5, 4, 8}));
}

}  // namespace
}  // namespace png
