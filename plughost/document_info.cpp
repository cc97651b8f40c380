#include "document_info.h"

#include <cstring>

#include "common/heap.h"

namespace plug {
namespace {

// Version 3 is the last whose fields are all filled (colour profile none,
// channel and layer counts); later ones only add pointers plughost has no
// value for.
constexpr int32_t kDocumentVersion = 3;
// Version 5: every field of the channel, its limit bounds included.
constexpr int32_t kChannelVersion = 5;

struct ChannelName {
    int16_t type;
    const char *name;
    const uint16_t *unicodeName;
};

constexpr uint16_t kRedName[] = {'R', 'e', 'd', 0};
constexpr uint16_t kGreenName[] = {'G', 'r', 'e', 'e', 'n', 0};
constexpr uint16_t kBlueName[] = {'B', 'l', 'u', 'e', 0};
constexpr uint16_t kAlphaName[] = {'T', 'r', 'a', 'n', 's', 'p', 'a', 'r', 'e', 'n', 'c', 'y', 0};
constexpr ChannelName kChannels[kPortChannels] = {{ctRed, "Red", kRedName},
                                                  {ctGreen, "Green", kGreenName},
                                                  {ctBlue, "Blue", kBlueName},
                                                  {ctTransparency, "Transparency", kAlphaName}};

PIChannelPort PortOf(DocumentBlock *block, int32_t channel) {
    return reinterpret_cast<PIChannelPort>(&block->ports[channel]);
}

void DescribeChannel(DocumentBlock *block, int32_t channel, const VRect &bounds,
                     ReadChannelDesc *next) {
    ReadChannelDesc &c = block->channels[channel];
    c = ReadChannelDesc{};
    c.minVersion = 0;
    c.maxVersion = kChannelVersion;
    c.next = next;
    c.port = PortOf(block, channel);
    c.bounds = bounds;
    c.depth = 8;
    // One tile, the whole image (never 0 x 0: a plug-in may step by it).
    c.tileSize = {bounds.bottom > 0 ? bounds.bottom : 1, bounds.right > 0 ? bounds.right : 1};
    c.tileOrigin = {0, 0};
    c.target = 1;
    c.shown = 1;
    c.channelType = kChannels[channel].type;
    c.name = kChannels[channel].name;
    c.unicodeName = kChannels[channel].unicodeName;
    c.isEnabled = 1;
    c.limitBounds = bounds;
}

}  // namespace

DocumentBlock *NewDocumentBlock() {
    return static_cast<DocumentBlock *>(flt::heap_alloc_zero(sizeof(DocumentBlock)));
}

void FreeDocumentBlock(DocumentBlock *block) {
    flt::heap_free(block);
}

// An image the ports cannot show as red, green and blue (Lab, CMYK) is
// still described, with no channels: a plug-in that needs them then reports
// its own error instead of reading a null description.
void DescribeDocument(DocumentBlock *block, const HostImage &image, FormatRecord *format) {
    ReadImageDocumentDesc &d = block->document;
    d = ReadImageDocumentDesc{};
    d.minVersion = 0;
    d.maxVersion = kDocumentVersion;
    const bool rgb = ShowsRgb(image);
    d.imageMode = rgb ? int32_t{plugInModeRGBColor} : int32_t{format->imageMode};
    d.depth = 8;
    d.bounds = {0, 0, image.height, image.width};
    d.hResolution = format->imageHRes;
    d.vResolution = format->imageVRes;
    std::memcpy(d.redLUT, format->redLUT, sizeof d.redLUT);
    std::memcpy(d.greenLUT, format->greenLUT, sizeof d.greenLUT);
    std::memcpy(d.blueLUT, format->blueLUT, sizeof d.blueLUT);
    if (rgb) {
        DescribeChannel(block, kPortBlue, d.bounds, nullptr);
        DescribeChannel(block, kPortGreen, d.bounds, &block->channels[kPortBlue]);
        DescribeChannel(block, kPortRed, d.bounds, &block->channels[kPortGreen]);
        d.mergedCompositeChannels = &block->channels[kPortRed];
        d.compositeChannelCount = 3;
    }
    if (rgb && image.alpha) {
        DescribeChannel(block, kPortAlpha, d.bounds, nullptr);
        d.mergedTransparency = &block->channels[kPortAlpha];
    }
    // The image is flat: its one layer is the merged image, so the target
    // (the layer a plug-in would save) is the same channels, and there is
    // no layer list.
    d.targetCompositeChannels = d.mergedCompositeChannels;
    d.targetTransparency = d.mergedTransparency;
    d.layersDescriptor = nullptr;
    d.layerCount = 0;
    format->documentInfo = &block->document;
}

int32_t ChannelOfPort(const DocumentBlock *block, const HostImage &image, PIChannelPort port) {
    if (!block || !ShowsRgb(image)) return -1;
    const int32_t offered = image.alpha ? kPortChannels : kPortAlpha;
    for (int32_t c = 0; c < offered; ++c)
        if (reinterpret_cast<const void *>(port) == &block->ports[c]) return c;
    return -1;
}

}  // namespace plug
