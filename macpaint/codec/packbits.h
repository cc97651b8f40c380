// PackBits rows as MacPaint stores them: each row decodes on its own to
// exactly 72 bytes. Every read is checked against the end of the data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace paint {

enum class RowResult {
    kOk,
    kWrongLength,  // the headers of a walked row do not add up to 72
    kOverrun,      // a literal or run is longer than the row has room for
    kTruncated,    // the data ends inside the row
};

// Walks the headers of the row at *pos without decoding it: literal h + 1,
// run 257 - h, 0x80 counted as 129, until the total reaches 72. On kOk *pos
// moves past the row; otherwise it is left where it was.
RowResult packbits_skip_row(const uint8_t *data, size_t size, size_t *pos, size_t row_bytes);

// Decodes the row at *pos into out (row_bytes bytes), each byte inverted when
// `invert`. On kOk *pos moves past the row; otherwise it is left unchanged.
RowResult packbits_decode_row(const uint8_t *data, size_t size, size_t *pos, uint8_t *out,
                              size_t row_bytes, bool invert);

// Encodes `count` bytes as PackBits into out (room for count + count / 128 + 1
// bytes) and returns the number of bytes written. Runs of two or more equal
// bytes become run headers, everything else literals of at most 128 bytes.
size_t packbits_encode(const uint8_t *in, size_t count, uint8_t *out);

}  // namespace paint
