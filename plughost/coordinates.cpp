#include "coordinates.h"

namespace plug {
namespace {

bool FitsSixteenBits(int32_t v) {
    return v >= 0 && v <= INT16_MAX;
}

}  // namespace

void ImageSizeOf(const FormatRecord *format, int32_t *width, int32_t *height) {
    const bool wide = UsesWideCoordinates(format);
    *width = wide ? format->imageSize32.h : format->imageSize.h;
    *height = wide ? format->imageSize32.v : format->imageSize.v;
}

VRect ChunkRectOf(const FormatRecord *format) {
    if (UsesWideCoordinates(format)) return format->theRect32;
    const PIRect &r = format->theRect;
    return {r.top, r.left, r.bottom, r.right};
}

void ClearChunkRect(FormatRecord *format) {
    format->theRect = {0, 0, 0, 0};
    format->theRect32 = {0, 0, 0, 0};
}

void SetHostImageSize(FormatRecord *format, int32_t width, int32_t height) {
    format->imageSize32 = {height, width};
    // A size cut to 16 bits would have a plug-in that reads only imageSize
    // write a wrong but plausible file; 0 says "no image" instead, and the
    // save is refused before it starts when the plug-in does not take the
    // 32-bit size (SizeVisibleToPlugin). The plug-in tells which fields it
    // reads only on its first call, after this is set, so both are set.
    const bool fits = FitsSixteenBits(width) && FitsSixteenBits(height);
    format->imageSize.h = fits ? static_cast<int16_t>(width) : 0;
    format->imageSize.v = fits ? static_cast<int16_t>(height) : 0;
}

bool SizeVisibleToPlugin(const FormatRecord *format) {
    return UsesWideCoordinates(format) ||
           (FitsSixteenBits(format->imageSize32.h) && FitsSixteenBits(format->imageSize32.v));
}

}  // namespace plug
