#include "common/delivery.h"

#include <cstring>

#include "common/checked.h"

namespace flt {

bool call_header(FilterRecord *record) {
    if (!record->dataProc) return false;
    return record->dataProc(record, 0, 0, 0, 0, 0, 0, record->userData) != 0;
}

bool deliver_row(FilterRecord *record, const uint8_t *row, int32_t y, int32_t width,
                 int32_t byte_count, int32_t percent) {
    if (!record->dataProc) return false;
    return record->dataProc(row, y, 0, 1, width, byte_count, percent, record->userData) != 0;
}

bool write_bytes(FilterRecord *record, const void *bytes, size_t count, int32_t percent) {
    if (!record->dataProc) return false;
    auto write = filter_proc_cast<FilterWriteProc>(record->dataProc);
    return write(bytes, record, static_cast<int32_t>(count), percent, record->userData) != 0;
}

void fetch_row(FilterRecord *record, void *destination, int32_t y, int32_t width) {
    if (record->getRowsProc) record->getRowsProc(destination, 0, y, width, 1, record);
}

void shift_row_left(uint8_t *row, size_t first, size_t last, unsigned bits) {
    if (bits == 0 || last < first) return;
    for (size_t i = first; i < last; ++i)
        row[i] = static_cast<uint8_t>(row[i] << bits | row[i + 1] >> (8 - bits));
    row[last] = static_cast<uint8_t>(row[last] << bits);
}

void crop_row(const uint8_t *row, uint8_t *out, int32_t left, int32_t width,
              int32_t bits_per_pixel) {
    size_t out_bytes = row_bytes(width, bits_per_pixel);
    if (bits_per_pixel >= 8) {
        std::memmove(out, row + static_cast<size_t>(left) * (bits_per_pixel / 8), out_bytes);
        return;
    }
    size_t bit = static_cast<size_t>(left) * bits_per_pixel;
    const uint8_t *src = row + bit / 8;
    unsigned shift = bit % 8;
    for (size_t i = 0; i < out_bytes; ++i) {
        unsigned hi = static_cast<unsigned>(src[i]) << shift;
        unsigned lo = shift ? src[i + 1] >> (8 - shift) : 0;
        out[i] = static_cast<uint8_t>(hi | lo);
    }
    unsigned tail = static_cast<unsigned>(static_cast<uint64_t>(width) * bits_per_pixel % 8);
    if (tail) out[out_bytes - 1] &= static_cast<uint8_t>(0xFF << (8 - tail));
}

}  // namespace flt
