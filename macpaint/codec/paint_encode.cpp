#include "codec/paint_encode.h"

#include "format.h"

namespace paint {

size_t PaintEncodeRow(const uint8_t *row, int32_t width, uint8_t *out) {
    const size_t m =
        width / 8 < static_cast<int32_t>(kRowBytes) ? static_cast<size_t>(width / 8) : kRowBytes;
    size_t o = 0;
    for (size_t i = 0; i < m;) {
        size_t r = 1;
        while (i + r < m && row[i + r] == row[i]) ++r;
        if (r >= 2) {
            out[o++] = static_cast<uint8_t>(1 - static_cast<int>(r));
            out[o++] = static_cast<uint8_t>(~row[i]);
            i += r;
            continue;
        }
        size_t end = i + 1;
        while (end < m && !(end + 1 < m && row[end] == row[end + 1])) ++end;
        out[o++] = static_cast<uint8_t>(end - i - 1);
        for (; i < end; ++i) out[o++] = static_cast<uint8_t>(~row[i]);
    }
    if (width < kWidth && width % 8 != 0) {
        out[o++] = 0x00;
        out[o++] = static_cast<uint8_t>((0xFF << (8 - width % 8)) & ~row[m]);
    }
    const int32_t e = (width + 7) / 8;
    if (e < static_cast<int32_t>(kRowBytes)) {
        out[o++] = static_cast<uint8_t>(e - 71);
        out[o++] = 0x00;
    }
    return o;
}

}  // namespace paint
