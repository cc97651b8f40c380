// PaintEncodeRow on its own: the byte sequences it fixes, and that every row
// decodes to exactly 72 bytes of the inverted, padded or cut pixels.
#include <gtest/gtest.h>

#include <random>

#include "codec/packbits.h"
#include "codec/paint_encode.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes encode(const Bytes &row, int width) {
    Bytes out(paint::kEncodedRowCapacity);
    out.resize(paint::PaintEncodeRow(row.data(), width, out.data()));
    return out;
}

TEST(PaintEncodeRow, FixedSequences) {
    struct {
        Bytes row;
        int width;
        Bytes expected;
    } cases[] = {
        {Bytes(72, 0xFF), 576, {0xB9, 0x00}},  // all white
        {Bytes(72, 0x00), 576, {0xB9, 0xFF}},  // all black
        {{0xAA, 0xAA, 0x0F}, 24, {0xFF, 0x55, 0x00, 0xF0, 0xBC, 0x00}},
        {{0x12, 0x34, 0x34}, 24, {0x00, 0xED, 0xFF, 0xCB, 0xBC, 0x00}},
        {{0x12, 0x34, 0x56}, 24, {0x02, 0xED, 0xCB, 0xA9, 0xBC, 0x00}},
        {{0xFF, 0x0F},
         12,
         {0x00, 0x00, 0x00, 0xF0, 0xBB, 0x00}},  // partial byte, bits past 12 clear
        {{0x00}, 0, {0xB9, 0x00}},
        {Bytes(71, 0xFF), 568, {0xBA, 0x00, 0x00, 0x00}},  // 71 bytes, then a literal of one white
        {{0x0F}, 4, {0x00, 0xF0, 0xBA, 0x00}},
    };
    for (const auto &c : cases) EXPECT_EQ(encode(c.row, c.width), c.expected) << c.width;
}

TEST(PaintEncodeRow, HundredPixelRow) {
    Bytes row(16, 0x5A);
    row[12] = 0x3C;
    const Bytes out = encode(row, 100);
    Bytes expected = {0xF5, 0xA5};  // 12 whole bytes: one run
    expected.insert(expected.end(), {0x00, static_cast<uint8_t>(0xF0 & ~0x3C)});  // partial
    expected.insert(expected.end(), {0xC6, 0x00});                                // 59 white bytes
    EXPECT_EQ(out, expected);
}

// Every width from 0 to 700, random rows: the row decodes (with the reader's
// own decoder) to 72 bytes, inverted host bytes, bits past the width white.
TEST(PaintEncodeRow, DecodesToSeventyTwoBytes) {
    std::mt19937 rng(3);
    for (int width = 0; width <= 700; ++width) {
        Bytes row((width + 7) / 8 + 4);
        const int mode = width % 3;
        for (auto &b : row)
            b = mode == 0 ? static_cast<uint8_t>(rng())
                          : static_cast<uint8_t>(rng() % 2 ? 0xFF : 0x0F);
        const Bytes out = encode(row, width);
        ASSERT_LE(out.size(), paint::kEncodedRowCapacity);
        size_t pos = 0;
        Bytes decoded(72);
        ASSERT_EQ(
            paint::packbits_decode_row(out.data(), out.size(), &pos, decoded.data(), 72, false),
            paint::RowResult::kOk)
            << width;
        EXPECT_EQ(pos, out.size());
        for (int x = 0; x < 576; ++x) {
            const bool black_in_file = decoded[x / 8] >> (7 - x % 8) & 1;
            const bool black_in_host = x < width && !(row[x / 8] >> (7 - x % 8) & 1);
            ASSERT_EQ(black_in_file, black_in_host) << "width " << width << " x " << x;
        }
    }
}

}  // namespace
