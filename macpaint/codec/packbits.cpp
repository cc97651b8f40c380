#include "codec/packbits.h"

#include <cstring>

namespace paint {
namespace {

// Bytes a header produces: literal h + 1, run 257 - h (0x80 counts 129).
size_t produced_by(uint8_t h) {
    return h < 0x80 ? h + 1u : 257u - h;
}
// Bytes that follow a header in the data.
size_t data_after(uint8_t h) {
    return h < 0x80 ? h + 1u : 1u;
}

}  // namespace

RowResult packbits_skip_row(const uint8_t *data, size_t size, size_t *pos, size_t row_bytes) {
    size_t p = *pos, total = 0;
    while (total < row_bytes) {
        if (p >= size) return RowResult::kTruncated;
        uint8_t h = data[p];
        // The lengths decide first: a header that passes the row's end makes
        // the row wrong whether or not its data is still in the file.
        total += produced_by(h);
        if (total > row_bytes) return RowResult::kWrongLength;
        if (data_after(h) > size - p - 1) return RowResult::kTruncated;
        p += 1 + data_after(h);
    }
    *pos = p;
    return RowResult::kOk;
}

RowResult packbits_decode_row(const uint8_t *data, size_t size, size_t *pos, uint8_t *out,
                              size_t row_bytes, bool invert) {
    size_t p = *pos, filled = 0;
    const uint8_t mask = invert ? 0xFF : 0x00;
    while (filled < row_bytes) {
        if (p >= size) return RowResult::kTruncated;
        uint8_t h = data[p];
        size_t n = produced_by(h);
        if (n > row_bytes - filled) return RowResult::kOverrun;
        if (data_after(h) > size - p - 1) return RowResult::kTruncated;
        if (h < 0x80) {
            for (size_t i = 0; i < n; ++i) out[filled + i] = data[p + 1 + i] ^ mask;
        } else {
            std::memset(out + filled, data[p + 1] ^ mask, n);
        }
        filled += n;
        p += 1 + data_after(h);
    }
    *pos = p;
    return RowResult::kOk;
}

size_t packbits_encode(const uint8_t *in, size_t count, uint8_t *out) {
    size_t i = 0, o = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && in[i + run] == in[i]) ++run;
        if (run >= 2) {
            out[o++] = static_cast<uint8_t>(257 - run);
            out[o++] = in[i];
            i += run;
            continue;
        }
        size_t start = i, len = 0;
        while (i < count && len < 128 && !(i + 1 < count && in[i + 1] == in[i])) {
            ++i;
            ++len;
        }
        out[o++] = static_cast<uint8_t>(len - 1);
        std::memcpy(out + o, in + start, len);
        o += len;
    }
    return o;
}

}  // namespace paint
