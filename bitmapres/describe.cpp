// The header parse shared by identify and import: locate the bitmap, parse its
// header and fill the image description.
#include "describe.h"

#include <algorithm>

#include "codec/resource_dir.h"
#include "common/heap.h"
#include "common/module_strings.h"
#include "common/platform.h"
#include "common/record_blocks.h"

namespace rsrc {
namespace {

// Pixels per metre to pixels per kilometre; without a value in the bitmap the
// screen's resolution serves.
int32_t resolution(int32_t per_metre, bool horizontal) {
    if (per_metre != 0) {
        int64_t per_km = int64_t{per_metre} * 1000;
        return static_cast<int32_t>(std::clamp<int64_t>(per_km, INT32_MIN, INT32_MAX));
    }
    flt::ScreenMetrics m{};
    if (!flt::platform_screen_metrics(&m)) return 0;
    const int64_t pixels = horizontal ? m.horzRes : m.vertRes;
    const int64_t mm = horizontal ? m.horzSizeMm : m.vertSizeMm;
    if (mm <= 0) return 0;
    return static_cast<int32_t>(std::clamp<int64_t>(pixels * 1000000 / mm, 0, INT32_MAX));
}

uint32_t parse(FilterRecord *record, DibInfo *info, uint8_t **palette) {
    const uint8_t *data = record->fileData;
    const size_t size = data ? record->fileSize : 0;
    BitmapLocation where;
    uint32_t e = locate_bitmap(data, size, record->imageIndex, &where);
    if (where.count > 0) record->imageCount = where.count;
    if (e) return e;
    if ((e = parse_dib(data, size, where.offset, info))) return e;
    if (info->paletteEntries > 0) {
        *palette = flt::heap_new_array<uint8_t>(static_cast<size_t>(info->paletteEntries) * 3);
        if (!*palette) return FERR_NO_MEMORY;
        copy_palette(data, *info, *palette);
    }
    return 0;
}

}  // namespace

bool parse_and_describe(FilterRecord *record, DibInfo *info) {
    uint8_t *palette = nullptr;
    uint32_t e = parse(record, info, &palette);
    record->errorCode = e;
    if (e) {
        // Our palette of an earlier identify describes another bitmap; a
        // palette the host put in the record is left to it.
        if (flt::release_block(&record->palette)) record->paletteCount = 0;
        return false;
    }
    // Import fills the description too, so that it does not depend on the
    // width and height an earlier identify left in the record.
    record->width = info->width;
    record->height = info->height;
    record->bitsPerPixel = info->outputDepth;
    record->fileBitsPerPixel = info->bitCount;
    record->planeKind = FE_PLANE_IMAGE;
    record->linkedCount = 0;
    record->xResolution = resolution(info->xPelsPerMeter, true);
    record->yResolution = resolution(info->yPelsPerMeter, false);
    record->paletteCount = info->paletteEntries;
    flt::replace_block(&record->palette, palette);
    if (!flt::replace_compression_name(&record->compressionName, 260)) {
        record->errorCode = FERR_NO_MEMORY;
        return false;
    }
    return true;
}

}  // namespace rsrc
