// The MacPaint writer's row encoding: one host row of 1-bit pixels as one
// PackBits row that decodes to exactly 72 bytes, inverted so that host bit 0
// (black) becomes a set bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace paint {

// The most bytes PaintEncodeRow writes (72 literal bytes and their headers
// fit well within it).
constexpr size_t kEncodedRowCapacity = 256;

// Encodes the first `width` pixels of `row` (which holds (width + 7) / 8
// bytes); pixels past 576 are dropped, missing ones become white. Returns the
// bytes written to out (kEncodedRowCapacity bytes).
size_t PaintEncodeRow(const uint8_t *row, int32_t width, uint8_t *out);

// The two bytes of a blank (white) row: a run of 72 zero bytes.
constexpr uint8_t kBlankRow[2] = {0xB9, 0x00};

}  // namespace paint
