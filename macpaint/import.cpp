// paintxchg identify and import: the MacPaint picture delivered as a region at
// full size or scaled into the size of the region.
#include "import.h"

#include <algorithm>
#include <cstring>

#include "codec/packbits.h"
#include "common/checked.h"
#include "common/delivery.h"
#include "common/heap.h"
#include "common/module_strings.h"
#include "common/muldiv.h"
#include "common/record_blocks.h"
#include "common/rect.h"
#include "format.h"

namespace paint {
namespace {

// Kept in filterState from identify to the end of the import.
struct PaintState {
    uint32_t firstRow;    // offset of the first row: 640 or 512
    uint32_t macBinary;   // 1 when the MacBinary header is present
    const uint8_t *read;  // current read position in fileData
};

// A cut file is refused with the code a row overrun reports.
uint32_t row_error(RowResult r) {
    switch (r) {
        case RowResult::kWrongLength:
            return FERR_CORRUPT;
        case RowResult::kOverrun:
        case RowResult::kTruncated:
            return FERR_NOT_FORMAT;
        case RowResult::kOk:
            break;
    }
    return 0;
}

// Reads rows through the state's read position, bounded by fileSize.
class RowWalker {
  public:
    RowWalker(FilterRecord *record, PaintState *state)
        : data_(record->fileData), size_(record->fileSize), state_(state) {}

    uint32_t skip(int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            size_t pos = offset();
            RowResult r = packbits_skip_row(data_, size_, &pos, kRowBytes);
            if (r != RowResult::kOk) return row_error(r);
            state_->read = data_ + pos;
        }
        return 0;
    }

    uint32_t decode(uint8_t *row) {
        size_t pos = offset();
        RowResult r = packbits_decode_row(data_, size_, &pos, row, kRowBytes, true);
        if (r != RowResult::kOk) return row_error(r);
        state_->read = data_ + pos;
        return 0;
    }

  private:
    size_t offset() const { return static_cast<size_t>(state_->read - data_); }

    const uint8_t *data_;
    size_t size_;
    PaintState *state_;
};

bool allocate_palette(FilterRecord *record) {
    uint8_t *palette = static_cast<uint8_t *>(flt::heap_alloc(6));
    if (!palette) return false;
    static const uint8_t kBlackWhite[6] = {0, 0, 0, 255, 255, 255};
    std::memcpy(palette, kBlackWhite, sizeof kBlackWhite);
    flt::replace_block(&record->palette, palette);
    return true;
}

void describe(FilterRecord *record) {
    record->width = kWidth;
    record->height = kHeight;
    record->bitsPerPixel = 1;
    record->fileBitsPerPixel = 1;
    record->xResolution = kResolution;
    record->yResolution = kResolution;
    record->paletteCount = 2;
    record->compressionIndex = 0;
    record->imageCount = 1;
    record->imageIndex = 1;
    record->planeKind = FE_PLANE_IMAGE;
    record->linkedCount = 0;
    record->linkedPlanes = nullptr;
}

void release_state(FilterRecord *record) {
    flt::release_block(reinterpret_cast<PaintState **>(&record->filterState));
}

// Region path: rows top..bottom, columns left..right (already clipped).
uint32_t import_region(FilterRecord *record, RowWalker &walker, FilterRect rect) {
    if (uint32_t e = walker.skip(rect.top)) return e;
    flt::HeapBlock row(100);
    if (!row) return FERR_NO_MEMORY;
    const int32_t width = rect.right - rect.left + 1;
    const int32_t rows = rect.bottom - rect.top + 1;
    const size_t first = static_cast<size_t>(rect.left) / 8;
    const int32_t bytes = (width + 7) / 8;
    for (int32_t n = 0; n < rows; ++n) {
        if (uint32_t e = walker.decode(row.get())) return e;
        flt::shift_row_left(row.get(), first, static_cast<size_t>(rect.right) / 8,
                            static_cast<unsigned>(rect.left % 8));
        if (!flt::deliver_row(record, row.get() + first, rows - 1 - n, width, bytes,
                              flt::MulDiv(n, 100, rows)))
            return FERR_CANNOT_READ;
    }
    return 0;
}

// Scaled path: nearest rows chosen by an accumulator, each stretched to the
// region's width; rows the output does not need are skipped undecoded.
uint32_t import_scaled(FilterRecord *record, RowWalker &walker, int64_t out_width,
                       int64_t out_rows) {
    if (out_width <= 0 || out_rows <= 0 || out_width > INT32_MAX / 2 || out_rows > INT32_MAX / 2)
        return FERR_BAD_REQUEST;
    if (!record->stretchProc) return FERR_BAD_REQUEST;
    const int32_t wd = static_cast<int32_t>(out_width), d = static_cast<int32_t>(out_rows);
    const int32_t f = static_cast<int32_t>(flt::row_bytes_dword(wd, record->bitsPerPixel));
    flt::HeapBlock out(static_cast<size_t>(f) + 1);
    if (!out) return FERR_NO_MEMORY;
    flt::HeapBlock decoded(static_cast<size_t>(record->fileBitsPerPixel) * kWidth / 8);
    if (!decoded) return FERR_NO_MEMORY;
    int64_t e = std::max<int64_t>(0, kHeight - d);
    int32_t c = 0;
    for (int32_t r = 0; r < kHeight; ++r) {
        e += d;
        if (e < kHeight) {
            if (uint32_t err = walker.skip(1)) return err;
            continue;
        }
        if (uint32_t err = walker.decode(decoded.get())) return err;
        record->stretchProc(decoded.get(), out.get(), kWidth, wd, 1);
        while (e >= kHeight) {
            e -= kHeight;
            if (!flt::deliver_row(record, out.get(), d - 1 - c, wd, f,
                                  flt::MulDiv(r, 100, kHeight)))
                return FERR_TRANSFER;
            ++c;
        }
    }
    return 0;
}

// Clips a region to the picture. An all-zero or inverted region means the
// whole picture; a one-row or one-column region is a real region (the
// rectangle is inclusive). A region wholly outside the picture is refused.
bool clip_region(FilterRect *rect) {
    if (flt::rect_is_zero(*rect) || rect->right < rect->left || rect->bottom < rect->top) {
        flt::SetRect(rect, 0, 0, kWidth - 1, kHeight - 1);
        return true;
    }
    rect->left = std::max(rect->left, 0);
    rect->top = std::max(rect->top, 0);
    rect->right = std::min(rect->right, kWidth - 1);
    rect->bottom = std::min(rect->bottom, kHeight - 1);
    return rect->left <= rect->right && rect->top <= rect->bottom;
}

}  // namespace

int32_t PaintIdentify(FilterRecord *record) {
    const uint8_t *data = record->fileData;
    const size_t size = data ? record->fileSize : 0;
    if (size <= kPaintHeaderSize) return flt::fail(record, FERR_NOT_FORMAT);
    if (data[0] != 0) return flt::fail(record, FERR_UNSUPPORTED);
    const bool mac_binary = std::memcmp(data + kTypeOffset, "PNTG", 4) == 0;
    const size_t first_row = (mac_binary ? kMacBinarySize : 0) + kPaintHeaderSize;
    size_t pos = first_row;
    RowResult r = packbits_skip_row(data, size, &pos, kRowBytes);
    if (r != RowResult::kOk) return flt::fail(record, row_error(r));

    auto *state = static_cast<PaintState *>(flt::heap_alloc_zero(sizeof(PaintState)));
    if (!state) return flt::fail(record, FERR_NO_MEMORY);
    state->firstRow = static_cast<uint32_t>(first_row);
    state->macBinary = mac_binary ? 1 : 0;
    state->read = data + first_row;
    release_state(record);
    flt::replace_block(reinterpret_cast<PaintState **>(&record->filterState), state);

    describe(record);
    if (!allocate_palette(record)) {
        release_state(record);
        return flt::fail(record, FERR_NO_MEMORY);
    }
    // A missing string leaves compressionName as it was; identify still succeeds.
    if (!flt::replace_compression_name(&record->compressionName, 1024)) {
        release_state(record);
        return flt::fail(record, FERR_NO_MEMORY);
    }
    return 1;
}

int32_t PaintImport(FilterRecord *record) {
    FilterRect rect = record->region;
    // The state of an earlier identify goes with a failed one too: no import
    // leaves a state behind.
    if (!PaintIdentify(record)) {
        release_state(record);
        return 0;
    }
    auto *state = static_cast<PaintState *>(record->filterState);
    uint32_t error = 0;
    if (!flt::call_header(record)) {
        error = FERR_TRANSFER;
    } else {
        RowWalker walker(record, state);
        if (record->requestFlags & FRI_FIT_MASK) {
            error = import_scaled(record, walker, int64_t{rect.right} - rect.left + 1,
                                  int64_t{rect.bottom} - rect.top + 1);
        } else {
            error = clip_region(&rect) ? import_region(record, walker, rect)
                                       : static_cast<uint32_t>(FERR_BAD_REQUEST);
        }
    }
    release_state(record);
    return error ? flt::fail(record, error) : 1;
}

// The blocks of identify live until the end of the import; a host that makes a
// new record for every file would otherwise lose them with the record.
int32_t PaintEndImport(FilterRecord *record) {
    release_state(record);
    flt::release_block(&record->palette);
    flt::release_block(&record->compressionName);
    return 1;
}

}  // namespace paint
