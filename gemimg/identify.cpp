#include "identify.h"

#include "common/delivery.h"
#include "common/heap.h"
#include "common/module_strings.h"
#include "common/record_blocks.h"

namespace gem {
namespace {

void describe(FilterRecord *record, const ImgFile &file) {
    record->width = file.header.width;
    record->height = file.header.height;
    record->bitsPerPixel = file.layout.bitsPerPixel;
    record->fileBitsPerPixel = file.layout.bitsPerPixel;
    record->paletteCount = file.layout.paletteCount;
    record->xResolution = ImgResolution(file.header.pixelWidth);
    record->yResolution = ImgResolution(file.header.pixelHeight);
    record->imageCount = 1;
    record->imageIndex = 1;
    record->compressionIndex = 1;
    record->planeKind = FE_PLANE_IMAGE;
    record->linkedCount = 0;
}

// ImgBuildPalette. The palette is built afresh on every identify rather than
// reused: a block left from another file may have a different entry count.
bool build_palette(FilterRecord *record, const ImgFile &file) {
    const int32_t count = file.layout.paletteCount;
    if (count == 0) {
        flt::replace_block(&record->palette, nullptr);
        return true;
    }
    auto *palette = flt::heap_new_array<uint8_t>(static_cast<size_t>(count) * 3);
    if (!palette) return false;
    ImgFillPalette(file.header, file.layout, palette);
    flt::replace_block(&record->palette, palette);
    return true;
}

}  // namespace

uint32_t ImgIdentifySteps(FilterRecord *record, ImgFile *file) {
    const uint8_t *data = record->fileData;
    const size_t size = data ? record->fileSize : 0;
    ImgFile f{};
    if (!ImgRecognise(data, size) || !ImgReadHeaderWords(data, size, &f.header) ||
        !ImgClassify(f.header, &f.layout))
        return FERR_UNSUPPORTED;
    ImgApplyExtension(data, size, f.header, &f.layout);
    f.data = data + f.layout.dataStart;
    f.size = size - f.layout.dataStart;
    describe(record, f);
    if (!flt::replace_compression_name(&record->compressionName, 260)) return FERR_NO_MEMORY;
    if (!build_palette(record, f)) return FERR_NO_MEMORY;
    *file = f;
    return 0;
}

int32_t ImgIdentify(FilterRecord *record) {
    ImgFile file;
    if (uint32_t error = ImgIdentifySteps(record, &file)) return flt::fail(record, error);
    return 1;
}

int32_t ImgRelease(FilterRecord *record) {
    flt::release_block(&record->palette);
    flt::release_block(&record->compressionName);
    return 1;
}

}  // namespace gem
