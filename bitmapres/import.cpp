// rsrcxchg import: the parsed bitmap delivered whole, cropped to the region or
// fitted into the region's size. Rows are read in stored order (bottom row
// first, or top row first for a top-down bitmap) and each carries the y at
// which it belongs, counted from the bottom of the delivered image.
#include "import.h"

#include <algorithm>
#include <cstring>

#include "common/checked.h"
#include "common/delivery.h"
#include "common/heap.h"
#include "common/muldiv.h"
#include "common/record_blocks.h"
#include "common/rect.h"
#include "describe.h"
#include "row_source.h"

namespace rsrc {
namespace {

enum class Mode { kFull, kCrop, kFit };

struct Plan {
    Mode mode = Mode::kFull;
    FilterRect window{};  // inclusive; in crop mode the part of the bitmap delivered
    int32_t outWidth = 0;
    int32_t outRows = 0;
};

// A top-down bitmap is delivered the right way up: its n-th stored row of a
// delivery of `rows` rows belongs at y = rows - 1 - n.
int32_t row_y(const DibInfo &info, int32_t n, int32_t rows) {
    return info.topDown ? rows - 1 - n : n;
}

uint32_t refused(FilterRecord *record) {
    return flt::refusal_code(record, FERR_TRANSFER);
}

// Fit mode moves the region to the origin and makes its size the image's. A
// region without a positive size, or a host without a stretchProc, cannot
// be served.
uint32_t plan_fit(FilterRecord *record, Plan *plan) {
    const FilterRect &r = record->region;
    const int64_t w = int64_t{r.right} - r.left + 1, h = int64_t{r.bottom} - r.top + 1;
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX || !record->stretchProc)
        return FERR_BAD_REQUEST;
    flt::SetRect(&record->region, 0, 0, static_cast<int32_t>(w - 1), static_cast<int32_t>(h - 1));
    plan->mode = Mode::kFit;
    plan->window = record->region;
    plan->outWidth = record->width = static_cast<int32_t>(w);
    plan->outRows = record->height = static_cast<int32_t>(h);
    return 0;
}

// The region is inclusive: a region one pixel wide or high is a real crop.
// An all-zero region, or one that misses the bitmap, delivers it whole.
void plan_crop(const FilterRecord *record, const DibInfo &info, Plan *plan) {
    const FilterRect &r = record->region;
    FilterRect w{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, info.width - 1),
                 std::min(r.bottom, info.height - 1)};
    if (flt::rect_is_zero(r) || w.left > w.right || w.top > w.bottom) {
        plan->mode = Mode::kFull;
        flt::SetRect(&plan->window, 0, 0, info.width - 1, info.height - 1);
    } else {
        plan->mode = Mode::kCrop;
        plan->window = w;
    }
    plan->outWidth = plan->window.right - plan->window.left + 1;
    plan->outRows = plan->window.bottom - plan->window.top + 1;
}

struct Delivery {
    FilterRecord *record;
    const DibInfo &info;
    RowSource &rows;
    uint8_t *out;  // row buffer B
    int32_t outBytes;
};

uint32_t deliver_full(Delivery &d) {
    const int32_t h = d.info.height;
    for (int32_t k = 0; k < h; ++k) {
        const uint8_t *row = nullptr;
        if (uint32_t e = d.rows.next(true, &row)) return e;
        if (!flt::deliver_row(d.record, row, row_y(d.info, k, h), d.info.width, d.outBytes,
                              flt::MulDiv(k, 100, h)))
            return refused(d.record);
    }
    return 0;
}

uint32_t deliver_crop(Delivery &d, const FilterRect &w) {
    const int32_t width = w.right - w.left + 1, count = w.bottom - w.top + 1;
    const int32_t below = d.info.topDown ? w.top : d.info.height - 1 - w.bottom;
    const int32_t depth = d.info.outputDepth;
    const uint8_t *row = nullptr;
    for (int32_t k = 0; k < below; ++k)
        if (uint32_t e = d.rows.next(false, &row)) return e;
    for (int32_t n = 0; n < count; ++n) {
        if (uint32_t e = d.rows.next(true, &row)) return e;
        if (depth >= 8) {
            std::memcpy(d.out, row + static_cast<size_t>(w.left) * (depth / 8),
                        static_cast<size_t>(width) * (depth / 8));
        } else {
            flt::crop_row(d.rows.in_scratch(row), d.out, w.left, width, depth);
        }
        if (!flt::deliver_row(d.record, d.out, row_y(d.info, n, count), width, d.outBytes,
                              flt::MulDiv(n, 100, d.info.height)))
            return refused(d.record);
    }
    return 0;
}

// Nearest-neighbour rows by an accumulator: stored row k is delivered r times,
// where r counts how often a (starting at S / 2, growing by S per delivery)
// stays within T; over the S rows this hands out T deliveries.
uint32_t deliver_fit(Delivery &d, int32_t out_width, int32_t target) {
    const int32_t source = d.info.height;
    int64_t a = source / 2;
    int32_t remaining = target;
    for (int32_t k = 0; k < source && remaining > 0; ++k) {
        int32_t r = 0;
        while (a <= target) {
            ++r;
            a += source;
        }
        a -= target;
        const uint8_t *row = nullptr;
        if (uint32_t e = d.rows.next(r > 0, &row)) return e;
        if (r == 0) continue;
        d.record->stretchProc(row, d.out, d.info.width, out_width, d.info.outputDepth);
        for (; r > 0 && remaining > 0; --r, --remaining) {
            const int32_t n = target - remaining;
            if (!flt::deliver_row(d.record, d.out, row_y(d.info, n, target), out_width, d.outBytes,
                                  flt::MulDiv(n, 100, target)))
                return refused(d.record);
        }
    }
    return 0;
}

uint32_t import_rows(FilterRecord *record, const DibInfo &info) {
    Plan plan;
    if (record->requestFlags & FRI_FIT_MASK) {
        if (uint32_t e = plan_fit(record, &plan)) return e;
    } else {
        plan_crop(record, info, &plan);
    }
    const int32_t depth = info.outputDepth;
    const uint64_t out_bytes = flt::row_bytes_dword(plan.outWidth, depth);
    const size_t scratch = RowSource::scratch_bytes(info);
    const uint64_t b_bytes = std::max(out_bytes, flt::row_bytes_dword(info.width, depth)) + 4;
    size_t total = 0;
    if (out_bytes > INT32_MAX || b_bytes > SIZE_MAX ||
        !flt::checked_add(scratch, static_cast<size_t>(b_bytes), &total))
        return FERR_NO_MEMORY;
    flt::HeapBlock buffers(total);
    if (!buffers) return FERR_NO_MEMORY;
    if (!flt::call_header(record)) return FERR_TRANSFER;

    RowSource rows(record->fileData, record->fileSize, info, buffers.get());
    Delivery d{record, info, rows, buffers.get() + scratch, static_cast<int32_t>(out_bytes)};
    switch (plan.mode) {
        case Mode::kFull:
            return deliver_full(d);
        case Mode::kCrop:
            return deliver_crop(d, plan.window);
        case Mode::kFit:
            return deliver_fit(d, plan.outWidth, plan.outRows);
    }
    return 0;
}

}  // namespace

int32_t RsrcIdentify(FilterRecord *record) {
    DibInfo info;
    return parse_and_describe(record, &info) ? 1 : 0;
}

int32_t RsrcImport(FilterRecord *record) {
    DibInfo info;
    if (!parse_and_describe(record, &info)) return 0;
    record->errorCode = import_rows(record, info);
    return record->errorCode == 0 ? 1 : 0;
}

// compressionName goes too: the record holds nothing of ours after the end
// operation, so a record that is dropped after it leaves no block behind.
int32_t RsrcEndImport(FilterRecord *record) {
    flt::release_block(&record->palette);
    flt::release_block(&record->compressionName);
    flt::release_block(&record->linkedPlanes);
    return 1;
}

}  // namespace rsrc
