// pngxchg identify and import: FE_IDENTIFY, FE_IMPORT and FE_END_IMPORT.
#include "import.h"

#include <algorithm>

#include "common/delivery.h"
#include "common/rect.h"
#include "deliver.h"
#include "import_state.h"
#include "state_kind.h"

namespace png {
namespace {

// Fills the state's description again for the current imageIndex, or walks
// the file when there is no state yet.
uint32_t identify_or_describe(FilterRecord *record) {
    drop_other_state(record, kImportStateKind);
    auto *state = static_cast<ImportState *>(record->filterState);
    if (!state) return identify_file(record);
    return describe_image(record, state);
}

// Picks the delivery mode from requestFlags and region; *rect receives the
// fit region or the crop region clipped to the image. 0 or FERR_BAD_REQUEST.
uint32_t choose_mode(const FilterRecord &record, DeliveryMode *mode, FilterRect *rect) {
    const FilterRect &region = record.region;
    const int32_t w = record.width, h = record.height;
    if (record.requestFlags & FRI_FIT_MASK) {
        const int64_t fw = int64_t{region.right} - region.left + 1;
        const int64_t fh = int64_t{region.bottom} - region.top + 1;
        if (fw == w && fh == h) {
            *mode = DeliveryMode::kWhole;
            return 0;
        }
        // An empty or inverted fit region has no rows to deliver, and the
        // resampling needs the host's stretchProc.
        if (fw <= 0 || fh <= 0 || fw > INT32_MAX / 32 || fh > INT32_MAX || !record.stretchProc)
            return FERR_BAD_REQUEST;
        *mode = DeliveryMode::kFit;
        flt::SetRect(rect, 0, 0, static_cast<int32_t>(fw - 1), static_cast<int32_t>(fh - 1));
        return 0;
    }
    // A region that covers the image is the whole image. Tested on the region
    // itself so that an image one pixel wide or high, whose rectangle is empty
    // in the exclusive sense, is not refused.
    if (flt::rect_is_zero(region) ||
        (region.left <= 0 && region.top <= 0 && region.right >= w - 1 && region.bottom >= h - 1)) {
        *mode = DeliveryMode::kWhole;
        return 0;
    }
    FilterRect image, overlap;
    flt::SetRect(&image, 0, 0, w - 1, h - 1);
    if (!flt::IntersectRect(&overlap, image, region)) return FERR_BAD_REQUEST;
    *mode = DeliveryMode::kCrop;
    flt::SetRect(rect, std::max(region.left, 0), std::max(region.top, 0),
                 std::min(region.right, w - 1), std::min(region.bottom, h - 1));
    return 0;
}

uint32_t import_image(FilterRecord *record) {
    if (uint32_t e = identify_or_describe(record)) return e;
    if (!flt::call_header(record)) return flt::refusal_code(record, FERR_BAD_IMAGE);
    DeliveryMode mode = DeliveryMode::kWhole;
    FilterRect rect{};
    if (uint32_t e = choose_mode(*record, &mode, &rect)) return e;
    const auto &state = *static_cast<const ImportState *>(record->filterState);
    RowDelivery out(record, mode, rect, state.header->interlace != 0);
    return run_pixel_path(state, out);
}

}  // namespace

int32_t PngIdentify(FilterRecord *record) {
    if (uint32_t e = identify_or_describe(record)) {
        release_import_state(record);
        return flt::fail(record, e);
    }
    return 1;
}

int32_t PngImport(FilterRecord *record) {
    if (uint32_t e = import_image(record)) {
        release_import_state(record);
        return flt::fail(record, e);
    }
    return 1;
}

int32_t PngEndImport(FilterRecord *record) {
    release_import_state(record);
    return 1;
}

}  // namespace png
