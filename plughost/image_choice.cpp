#include "image_choice.h"

#include "common/heap.h"
#include "common/record_blocks.h"

namespace plug {
namespace {

// The plane the plug-in named its transparency plane when it is one of the
// image's extra planes. The host presets -1 ("none named yet"); a plug-in
// that leaves it so, or names a colour plane or no plane of its image, has
// no transparency the host could take.
int16_t TransparencyPlane(const FormatRecord *format, const PixelFormat &pixels) {
    const int32_t t = format->transparencyPlane;
    if (pixels.depth == 1 || t < pixels.colorPlanes || t >= pixels.planes) return -1;
    return static_cast<int16_t>(t);
}

}  // namespace

uint32_t ChooseImage(const FormatRecord *format, uint32_t layers, int32_t requested,
                     ImageChoice *out) {
    ImageChoice c{};
    if (uint32_t code = PixelFormatOf(format, &c.pixels)) return code;
    c.alphaPlane = TransparencyPlane(format, c.pixels);
    const int32_t perLayer = c.alphaPlane >= 0 ? 2 : 1;
    const auto layerCount = static_cast<int32_t>(layers == 0 ? 1 : layers);
    c.count = layerCount * perLayer;
    c.index = requested <= 0 ? 1 : requested;
    if (c.index > c.count) return FERR_BAD_REQUEST;
    c.layer = static_cast<uint32_t>((c.index - 1) / perLayer);
    c.alpha = perLayer == 2 && (c.index - 1) % 2 == 1;
    if (c.alpha) c.pixels = SoloPlaneFormat(c.pixels, c.alphaPlane);
    *out = c;
    return 0;
}

uint32_t PublishImageSet(FilterRecord *record, const ImageChoice &choice) {
    record->imageCount = choice.count;
    record->imageIndex = choice.index;
    record->planeKind = choice.alpha ? FE_PLANE_TRANSPARENCY : FE_PLANE_IMAGE;
    record->linkedCount = 0;
    if (choice.alphaPlane < 0) {
        flt::replace_block(&record->linkedPlanes, nullptr);
        return 0;
    }
    auto *linked = static_cast<int32_t *>(flt::heap_alloc(sizeof(int32_t)));
    if (!linked) return FERR_NO_MEMORY;
    // The other image of the pair: the alpha after its colour, or the colour
    // before its alpha.
    *linked = choice.alpha ? choice.index - 1 : choice.index + 1;
    flt::replace_block(&record->linkedPlanes, linked);
    record->linkedCount = 1;
    return 0;
}

}  // namespace plug
