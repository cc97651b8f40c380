// Row decoders for the run-length compressions of device-independent bitmaps
// (RLE8: one byte per pixel; RLE4: two pixels per byte, high nibble first).
// Rows come one at a time in stored order; what carries from one row to the
// next (a literal run split across rows, blank rows after a delta or the end
// of the bitmap) lives in RleState. Every read is checked against the end of
// the data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rsrc {

struct RleState {
    bool lineClosed = false;        // the previous row was filled by data: an end of line
                                    // that opens the next row only closes that one
    bool endOfBitmap = false;       // every later row is blank
    int32_t rowsToBlank = 0;        // rows set to 0 without reading the stream
    int32_t resumeColumn = 0;       // where the row after a vertical delta resumes
    uint32_t pendingLiteral = 0;    // pixels of a literal run still to be copied
    bool literalLowNibble = false;  // RLE4: the next literal nibble is the low one
    bool literalPad = false;        // a pad byte follows the literal's last byte
    int32_t codedWidth = 0;         // pixels the writer codes per row: the width, or the
                                    // width padded to 32 bits (0 until the first row)
};

enum class RleResult {
    kOk,
    kRunTooLong,  // an encoded run is longer than what is left of the row
    kTruncated,   // the stream ends before the row is complete
};

// Decodes the next row of `width` pixels at `bits` (8 or 4) into row, which
// holds row_bytes(width, bits) bytes; pixels no code sets are 0. *pos is the
// stream position in data[0, size) and moves past what the row used.
//
// Some writers code each row out to its 32-bit padding and then end the line;
// when the first row shows this, every row is read to the padded width and
// the padding pixels are dropped. Otherwise a run longer than what is left of
// the row is kRunTooLong.
RleResult rle_decode_row(const uint8_t *data, size_t size, size_t *pos, RleState *state, int bits,
                         uint8_t *row, int32_t width);

}  // namespace rsrc
