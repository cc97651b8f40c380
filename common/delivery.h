// Row delivery and byte output through the host callbacks, shared by the
// modules: the header call, row calls, write calls, row fetches and the crop
// shift of 1- and 4-bit rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/filter.h"

namespace flt {

// The header call dataProc(record, 0, 0, 0, 0, 0, 0, userData); true to go on.
bool call_header(FilterRecord *record);

// One row call: x 0, one row, `width` pixels in `byte_count` bytes.
bool deliver_row(FilterRecord *record, const uint8_t *row, int32_t y, int32_t width,
                 int32_t byte_count, int32_t percent);

// One export write call; true when the host took the bytes.
bool write_bytes(FilterRecord *record, const void *bytes, size_t count, int32_t percent);

// getRowsProc(destination, 0, y, width, 1, record).
void fetch_row(FilterRecord *record, void *destination, int32_t y, int32_t width);

// The code to store after a callback refused: FERR_CANCELLED when the host put
// it in errorCode, else `own`.
inline uint32_t refusal_code(const FilterRecord *record, uint32_t own) {
    return record->errorCode == FERR_CANCELLED ? static_cast<uint32_t>(FERR_CANCELLED) : own;
}

// Stores the failure code and returns 0, the failure result of FilterEntry.
inline int32_t fail(FilterRecord *record, uint32_t code) {
    record->errorCode = code;
    return 0;
}

// Shifts bytes first..last of row left by `bits` (0..7): each byte takes the top
// bits of the byte after it; the last byte takes zeros.
void shift_row_left(uint8_t *row, size_t first, size_t last, unsigned bits);

// Moves pixels [left, left + width) of a row at bits_per_pixel (1, 4, 8 or 24)
// to the start of `out` (which may be `row`), sub-byte rows shifted so that
// pixel `left` becomes the first pixel. `row` must hold the pixels up to
// left + width, rounded up to whole bytes, plus one byte at 1 and 4 bits.
void crop_row(const uint8_t *row, uint8_t *out, int32_t left, int32_t width,
              int32_t bits_per_pixel);

}  // namespace flt
