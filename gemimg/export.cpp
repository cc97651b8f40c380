#include "export.h"

#include <cstring>

#include "codec/img_encode.h"
#include "common/checked.h"
#include "common/delivery.h"
#include "common/heap.h"
#include "common/muldiv.h"
#include "format.h"

namespace gem {
namespace {

constexpr int32_t kMaxSide = 0xFFFF;

struct Writer {
    FilterRecord *record;
    ImgVariant variant;
    int32_t width, height;
    size_t hostRowBytes;
    flt::HeapBlock encoded, current, ahead, planes;
};

uint32_t write(Writer &w, const void *bytes, size_t count, int32_t percent) {
    if (flt::write_bytes(w.record, bytes, count, percent)) return 0;
    return flt::refusal_code(w.record, FERR_TRANSFER);
}

void fetch(Writer &w, uint8_t *row, int32_t line) {
    std::memset(row, 0, w.hostRowBytes);
    flt::fetch_row(w.record, row, w.height - 1 - line, w.width);
}

// The lines from y on that equal line y; the last line never joins a group
// that begins above it.
int32_t ImgCountRepeats(Writer &w, int32_t y) {
    int32_t n = 1;
    while (y + n < w.height - 1) {
        fetch(w, w.ahead.get(), y + n);
        if (std::memcmp(w.ahead.get(), w.current.get(), w.hostRowBytes) != 0) break;
        ++n;
    }
    return n;
}

uint32_t ImgWriteHeader(Writer &w) {
    const FilterRecord &r = *w.record;
    uint8_t header[2 * kLongHeaderWords];
    const size_t size =
        ImgBuildHeader(w.variant, static_cast<uint16_t>(w.width), static_cast<uint16_t>(w.height),
                       r.xResolution, r.yResolution, header);
    return write(w, header, size, 0);
}

uint32_t write_group(Writer &w, int32_t n, size_t encoded, int32_t percent) {
    uint8_t prefix[kPrefixBytes] = {0, 0, kPrefixMarker, 0};
    for (; n > 0; n -= static_cast<int32_t>(kMaxCounted)) {
        prefix[3] = static_cast<uint8_t>(n > static_cast<int32_t>(kMaxCounted) ? kMaxCounted : n);
        if (uint32_t e = write(w, prefix, sizeof prefix, percent)) return e;
        if (uint32_t e = write(w, w.encoded.get(), encoded, percent)) return e;
    }
    return 0;
}

uint32_t ImgWriteLines(Writer &w) {
    const size_t width = static_cast<size_t>(w.width);
    w.encoded = flt::HeapBlock(ImgEncodedLineCapacity(w.variant, width));
    w.current = flt::HeapBlock(w.hostRowBytes);
    w.ahead = flt::HeapBlock(w.hostRowBytes);
    if (!w.encoded || !w.current || !w.ahead) return FERR_NO_MEMORY;
    if (w.variant.bitsPerPixel != 24) {
        w.planes = flt::HeapBlock(ImgRawLineBytes(w.variant, width));
        if (!w.planes) return FERR_NO_MEMORY;
    }
    for (int32_t y = 0; y < w.height;) {
        fetch(w, w.current.get(), y);
        const int32_t n = ImgCountRepeats(w, y);
        const size_t encoded =
            ImgEncodeLine(w.variant, w.current.get(), width, w.planes.get(), w.encoded.get());
        const int32_t percent = flt::MulDiv(y, 100, w.height);
        uint32_t e = n == 1 ? write(w, w.encoded.get(), encoded, percent)
                            : write_group(w, n, encoded, percent);
        if (e) return e;
        y += n;
    }
    return 0;
}

}  // namespace

int32_t ImgExport(FilterRecord *record) {
    Writer w{record, {}, record->width, record->height, 0, {}, {}, {}, {}};
    // Sizes the header words cannot hold would give a file whose header
    // disagrees with its data: refused, like an empty image.
    if (w.width <= 0 || w.height <= 0 || w.width > kMaxSide || w.height > kMaxSide)
        return flt::fail(record, FERR_BAD_REQUEST);
    switch (
        ImgChooseVariant(record->bitsPerPixel, record->palette, record->paletteCount, &w.variant)) {
        case VariantResult::kBadDepth:
            return flt::fail(record, FERR_BAD_REQUEST);
        case VariantResult::kBadPalette:
            return flt::fail(record, FERR_CORRUPT);
        case VariantResult::kOk:
            break;
    }
    w.hostRowBytes = static_cast<size_t>(flt::row_bytes_dword(w.width, record->bitsPerPixel));
    if (uint32_t e = ImgWriteHeader(w)) return flt::fail(record, e);
    if (uint32_t e = ImgWriteLines(w)) return flt::fail(record, e);
    return 1;
}

}  // namespace gem
