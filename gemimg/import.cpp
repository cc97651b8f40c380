#include "import.h"

#include <algorithm>

#include "codec/img_lines.h"
#include "common/checked.h"
#include "common/delivery.h"
#include "common/heap.h"
#include "common/muldiv.h"
#include "common/rect.h"
#include "format.h"

namespace gem {
namespace {

// Where delivered rows start in a converted row, and the shift that puts the
// region's left pixel first in 1- and 4-bit rows.
struct Crop {
    unsigned shift;
    size_t start;
};

Crop crop_for(int32_t bits_per_pixel, int32_t left) {
    const size_t x = static_cast<size_t>(left);
    switch (bits_per_pixel) {
        case 1:
            return {static_cast<unsigned>(x % 8), x / 8};
        case 4:
            return {static_cast<unsigned>(x % 2), x / 2};
        case 8:
            return {0, x};
        default:
            return {0, 3 * x};
    }
}

// Bytes of the converted full-width row the region path delivers from.
size_t region_row_size(const ImgLayout &l, size_t width) {
    if (l.cls == ImgClass::kChunky24) return 3 * width + 1;
    return static_cast<size_t>(l.bitsPerPixel) * l.planeLineBytes + 1;
}

// Clears the bits past the last delivered pixel of a 1- or 4-bit row, where
// the shift has moved in bits from beyond the region.
void clear_tail(uint8_t *row, int32_t width, int32_t bits_per_pixel, int32_t bytes) {
    const unsigned tail = static_cast<unsigned>(int64_t{width} * bits_per_pixel % 8);
    if (tail && bytes > 0) row[bytes - 1] &= static_cast<uint8_t>(0xFF << (8 - tail));
}

// The clipped working region; false when it holds no pixel.
bool working_region(FilterRecord *record, int32_t width, int32_t height, FilterRect *out) {
    FilterRect &region = record->region;
    if (flt::IsRectEmpty(region)) {
        region.right = width - 1;
        region.bottom = height - 1;
    }
    // Inclusive coordinates: a region of one column or row after clipping is
    // still a region. One wholly outside the image is refused (left to us).
    *out = {std::max(region.left, 0), std::max(region.top, 0), std::min(region.right, width - 1),
            std::min(region.bottom, height - 1)};
    return out->left <= out->right && out->top <= out->bottom;
}

// Steps over a replication prefix at *pos, if there is one; *lines becomes
// its count (1 without prefix). False when the data ends inside the prefix.
bool take_prefix(const ImgFile &f, size_t *pos, uint32_t *lines) {
    const Prefix prefix = ImgPrefixAt(f.data + *pos, f.size - *pos);
    if (prefix == Prefix::kShort) return false;
    *lines = 1;
    if (prefix == Prefix::kPrefix) {
        *lines = f.data[*pos + 3];
        *pos += kPrefixBytes;
    }
    return true;
}

struct LineBuffers {
    flt::HeapBlock decoded;
    flt::HeapBlock row;
};

// Decodes and converts the scan line at pos; false when it is bad.
bool decode_convert(const ImgFile &f, size_t pos, unsigned shift, LineBuffers &b,
                    size_t *consumed) {
    if (!ImgDecodeLine(f.layout, f.data + pos, f.size - pos, shift, b.decoded.get(), consumed))
        return false;
    ImgConvertLine(f.layout, b.decoded.get(), f.header.width, b.row.get());
    return true;
}

}  // namespace

uint32_t ImgImportRegion(FilterRecord *record, const ImgFile &f) {
    const int32_t height = f.header.height, bpp = f.layout.bitsPerPixel;
    FilterRect rect;
    if (!working_region(record, f.header.width, height, &rect)) return FERR_BAD_REQUEST;
    LineBuffers b{flt::HeapBlock(f.layout.decodedBytes + 1),
                  flt::HeapBlock(region_row_size(f.layout, f.header.width))};
    if (!b.decoded || !b.row) return FERR_NO_MEMORY;
    const Crop crop = crop_for(bpp, rect.left);
    const int32_t width = rect.right - rect.left + 1, rows = rect.bottom - rect.top + 1;
    // The row byte count is that of the delivered pixels, so that the host
    // never reads past the row.
    const int32_t bytes = static_cast<int32_t>(flt::row_bytes(width, bpp));
    SkipCursor cursor;
    size_t pos = 0;
    uint32_t due = 0;
    if (rect.top > 0) {
        if (!ImgSkipLines(f.layout, f.data, f.size, &cursor, static_cast<uint64_t>(rect.top), &pos,
                          &due))
            return FERR_DECODE;
        if (int64_t{due} + rect.top > height) return FERR_CORRUPT;
    }
    for (int32_t line = rect.top; line <= rect.bottom;) {
        uint32_t n = 1;
        if (due) {
            n = due;
            due = 0;
            pos += kPrefixBytes;
        } else {
            if (!take_prefix(f, &pos, &n)) return FERR_DECODE;
            if (int64_t{line} + n > height) return FERR_BAD_IMAGE;
        }
        n = std::min<uint32_t>(n, static_cast<uint32_t>(rect.bottom - line + 1));
        size_t consumed = 0;
        if (!decode_convert(f, pos, crop.shift, b, &consumed)) return FERR_CORRUPT;
        uint8_t *row = b.row.get() + crop.start;
        clear_tail(row, width, bpp, bytes);
        const int32_t percent = flt::MulDiv(line - rect.top, 100, rows);
        for (uint32_t k = 0; k < n; ++k) {
            const int32_t y = rect.bottom - line - static_cast<int32_t>(k);
            if (!flt::deliver_row(record, row, y, width, bytes, percent))
                return flt::refusal_code(record, FERR_TRANSFER);
        }
        pos += consumed;
        line += static_cast<int32_t>(n);
    }
    return 0;
}

// Every source line that the output needs is found by one walk that only
// moves forward: the skip cursor is kept from one needed line to the next, so
// the cost grows with the file, not with the square of its height.
uint32_t ImgImportScaled(FilterRecord *record, const ImgFile &f) {
    const FilterRect r = record->region;
    const int64_t wd = int64_t{r.right} - r.left + 1, d = int64_t{r.bottom} - r.top + 1;
    if (wd <= 0 || d <= 0 || wd > INT32_MAX / 32 || d > INT32_MAX / 2) return FERR_BAD_REQUEST;
    if (!record->stretchProc) return FERR_BAD_REQUEST;
    const ImgLayout &l = f.layout;
    const int32_t width = f.header.width, h = f.header.height, bpp = l.bitsPerPixel;
    const size_t line_size = l.cls == ImgClass::kChunky24
                                 ? 3 * static_cast<size_t>(width) + 1
                                 : static_cast<size_t>(flt::row_bytes_dword(width, bpp)) + 1;
    const int32_t out_bytes = static_cast<int32_t>(flt::row_bytes(wd, bpp));
    LineBuffers b{flt::HeapBlock(l.decodedBytes + 1), flt::HeapBlock(line_size)};
    flt::HeapBlock out(static_cast<size_t>(out_bytes) + 1);
    if (!b.decoded || !b.row || !out) return FERR_NO_MEMORY;
    int64_t e = std::max<int64_t>(0, h - d);
    int32_t c = 0;
    SkipCursor cursor;
    for (int32_t i = 0; i < h; ++i) {
        e += d;
        if (e < h) continue;
        size_t pos = 0;
        uint32_t due = 0, n = 0;
        if (!ImgSkipLines(l, f.data, f.size, &cursor, static_cast<uint64_t>(i), &pos, &due))
            return FERR_DECODE;
        if (int64_t{due} + i > h) return FERR_CORRUPT;
        if (due) {
            pos += kPrefixBytes;
        } else {
            if (!take_prefix(f, &pos, &n)) return FERR_DECODE;
            if (int64_t{n} + i > h) return FERR_CORRUPT;
        }
        size_t consumed = 0;
        if (!decode_convert(f, pos, 0, b, &consumed)) return FERR_CORRUPT;
        record->stretchProc(b.row.get(), out.get(), width, static_cast<int32_t>(wd), bpp);
        for (; e >= h; e -= h, ++c) {
            if (!flt::deliver_row(record, out.get(), static_cast<int32_t>(d) - 1 - c,
                                  static_cast<int32_t>(wd), out_bytes,
                                  flt::MulDiv(c, 100, static_cast<int32_t>(d))))
                return flt::refusal_code(record, FERR_TRANSFER);
        }
    }
    return 0;
}

int32_t ImgImport(FilterRecord *record) {
    ImgFile file;
    uint32_t error = ImgIdentifySteps(record, &file);
    if (error == 0 && !flt::call_header(record)) error = flt::refusal_code(record, FERR_TRANSFER);
    if (error == 0) {
        error = (record->requestFlags & FRI_FIT_MASK) ? ImgImportScaled(record, file)
                                                      : ImgImportRegion(record, file);
    }
    return error ? flt::fail(record, error) : 1;
}

}  // namespace gem
