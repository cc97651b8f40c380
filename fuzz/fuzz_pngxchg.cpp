// pngxchg import driven as a host does: identify, import with the region,
// fit flag and image index (2: the alpha plane) from the parameter block, then
// FE_END_IMPORT. Before that the file's description is checked on its own
// record for both planes, re-derived from one identification.
//
// A crop is checked against the whole image imported on a record of its own:
// every delivered pixel must be the one at its place in the whole image.
//
// Parameter block: the import block of fuzz/fuzz_host.h, then one byte n:
// when nonzero the n-th module heap request of the import fails (bit 0x80:
// every request from the (n & 0x7F)-th on).
#include <algorithm>
#include <cstring>
#include <map>

#include "common/heap.h"
#include "common/module.h"
#include "common/record_blocks.h"
#include "fuzz/fuzz_host.h"

namespace {

void check_palette(const FilterRecord &r) {
    fuzz::check(r.paletteCount > 0 && r.paletteCount <= (1 << r.bitsPerPixel),
                "indexed description with a palette that does not fit its depth");
    fuzz::check(r.palette != nullptr, "indexed description without a palette");
}

void check_grey_ramp(const FilterRecord &r) {
    fuzz::check(r.bitsPerPixel == 8 && r.paletteCount == 256 && r.palette,
                "alpha plane not described as 8-bit grey");
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            fuzz::check(r.palette[3 * i + c] == i, "alpha plane palette is not the grey ramp");
}

// What identify (or a re-derivation) tells the host about the file.
void check_description(const FilterRecord &r) {
    fuzz::check(r.width > 0 && r.height > 0, "description without a size");
    fuzz::check(
        r.bitsPerPixel == 1 || r.bitsPerPixel == 4 || r.bitsPerPixel == 8 || r.bitsPerPixel == 24,
        "description with a depth the host cannot take");
    if (r.bitsPerPixel <= 8) check_palette(r);
    fuzz::check(r.compressionName && std::strcmp(r.compressionName, "LZ77 Compression") == 0,
                "compression name missing");
    fuzz::check(r.imageCount == 1 || r.imageCount == 2, "image count neither 1 nor 2");
    if (r.imageCount == 1) {
        fuzz::check(r.planeKind == 1 && r.linkedCount == 0 && r.linkedPlanes == nullptr,
                    "single image described with a linked plane");
        return;
    }
    const bool alpha = r.imageIndex == 2;
    const int32_t other = alpha ? 1 : 2;
    fuzz::check(r.linkedCount == 1 && r.linkedPlanes && r.linkedPlanes[0] == other &&
                    r.linkedPlanes[1] == other,
                "linked planes do not name the other plane");
    fuzz::check(r.planeKind == (alpha ? 2 : 1), "plane kind does not match the image index");
    if (alpha) check_grey_ramp(r);
}

void release_description(FilterRecord &r) {
    flt::release_block(&r.palette);
    flt::release_block(&r.compressionName);
    flt::release_block(&r.comment);
    flt::release_block(&r.linkedPlanes);
}

// Identifies with `index`, then re-derives the description from the same
// state with the other plane's index and with `index` again.
void describe_both_planes(const std::vector<uint8_t> &file, int32_t index) {
    fuzz::ScratchRecord scratch(file);
    FilterRecord &r = *scratch;
    r.imageIndex = index;
    const long before = flt::heap_live_blocks();
    if (FilterEntry(FE_IDENTIFY, &r)) {
        check_description(r);
        for (int32_t again : {index == 2 ? 1 : 2, index}) {
            r.imageIndex = again;
            fuzz::check(FilterEntry(FE_IDENTIFY, &r) == 1, "re-derivation failed");
            check_description(r);
        }
    } else {
        fuzz::check(r.filterState == nullptr && r.palette == nullptr,
                    "failed identify left its state");
    }
    FilterEntry(FE_END_IMPORT, &r);
    fuzz::check(r.filterState == nullptr && r.palette == nullptr,
                "FE_END_IMPORT left the state or the palette");
    release_description(r);
    fuzz::check(flt::heap_live_blocks() == before, "module heap blocks leaked by identify");
}

// The rows one import delivered, by y.
struct Rows {
    const FilterRecord *record = nullptr;
    int32_t bitsPerPixel = 0;
    std::map<int32_t, std::vector<uint8_t>> byY;
};
Rows *g_rows = nullptr;

int32_t FE_CDECL keep_row(const void *data, int32_t y, int32_t x, int32_t rowCount, int32_t width,
                          int32_t byteCount, int32_t percent, uint32_t) {
    if (data == g_rows->record && width == 0 && byteCount == 0) {
        g_rows->bitsPerPixel = g_rows->record->bitsPerPixel;
        return 1;
    }
    const uint8_t *b = static_cast<const uint8_t *>(data);
    g_rows->byY[y].assign(b, b + byteCount);
    return 1;
}

// Imports on a fresh record with `region` (no fit); false when it fails.
bool import_rows(const std::vector<uint8_t> &file, int32_t index, const FilterRect &region,
                 Rows *rows, int32_t *width, int32_t *height) {
    fuzz::ScratchRecord scratch(file);
    FilterRecord &r = *scratch;
    r.imageIndex = index;
    r.region = region;
    r.dataProc = keep_row;
    rows->record = &r;
    g_rows = rows;
    const bool ok = FilterEntry(FE_IMPORT, &r) == 1;
    *width = r.width;
    *height = r.height;
    FilterEntry(FE_END_IMPORT, &r);
    release_description(r);
    return ok;
}

void check_crop_against_whole(const std::vector<uint8_t> &file, const fuzz::ImportRequest &q) {
    const FilterRect &g = q.region;
    if ((q.requestFlags & FRI_FIT_MASK) || (!g.left && !g.top && !g.right && !g.bottom)) return;
    Rows whole, crop;
    int32_t w = 0, h = 0;
    if (!import_rows(file, q.imageIndex, FilterRect{}, &whole, &w, &h)) return;
    if (!import_rows(file, q.imageIndex, g, &crop, &w, &h)) return;
    const int32_t left = std::max(g.left, 0), top = std::max(g.top, 0);
    const int32_t right = std::min(g.right, w - 1), bottom = std::min(g.bottom, h - 1);
    const int32_t rows = bottom - top + 1, bpp = crop.bitsPerPixel;
    for (const auto &[y, row] : crop.byY) {
        fuzz::check(y >= 0 && y < rows, "crop row outside the region");
        const auto source = whole.byY.find(h - 1 - (top + rows - 1 - y));
        fuzz::check(source != whole.byY.end(), "crop delivered a row the whole image lacks");
        fuzz::check(row.size() * 8 >= static_cast<size_t>(right - left + 1) * bpp &&
                        source->second.size() * 8 >= static_cast<size_t>(w) * bpp,
                    "row shorter than its pixels");
        for (int32_t x = 0; x <= right - left; ++x)
            fuzz::check(fuzz::pixel_at(row.data(), x, bpp) ==
                            fuzz::pixel_at(source->second.data(), left + x, bpp),
                        "crop pixel differs from the whole image");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Tail tail(data, size, fuzz::kImportTail + 1);
    const fuzz::ImportRequest request = fuzz::read_import_request(tail);
    const uint8_t heap_fail = tail.u8();
    const std::vector<uint8_t> file = fuzz::exact_copy(tail.data(), tail.remaining());
    describe_both_planes(file, request.imageIndex);
    check_crop_against_whole(file, request);
    static fuzz::Host host(FilterEntry);
    // A PNG stream may end before the last row; the rows that came stand.
    host.topRowsSucceed = true;
    if (heap_fail) flt::heap_fail_at(heap_fail & 0x7F, (heap_fail & 0x80) != 0);
    host.run_import(file.data(), file.size(), request);
    flt::heap_fail_at(0);
    return 0;
}
