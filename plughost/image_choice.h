// The images a plug-in's file holds, as the host numbers them, and the one
// the host asked for. A file the plug-in reads in layers (an animation's
// frames) holds one image per layer; a transparency plane adds one image per
// layer, right after its colour image and linked to it, the way the PNG
// module offers an alpha channel:
//
//   no transparency:   image k is layer k (1-based)
//   transparency:      image 2k-1 is layer k's colour, image 2k its alpha
//
// A plug-in that reads flat counts as one layer.
#pragma once

#include <cstdint>

#include "buffer_layout.h"
#include "common/filter.h"
#include "format_record.h"

namespace plug {

// The most layers plughost takes from a plug-in: twice as many images must
// still fit the host's 32-bit count.
constexpr uint32_t kMaxLayers = INT32_MAX / 2;

struct ImageChoice {
    int32_t count;       // images the file holds
    int32_t index;       // the one chosen, 1-based
    uint32_t layer;      // its layer, 0-based
    bool alpha;          // it is the layer's transparency plane
    int16_t alphaPlane;  // the plug-in plane holding transparency, or -1
    PixelFormat pixels;  // what the host's rows are made of
};

// Picks image `requested` (0 taken as 1) of the file the plug-in described
// after ReadStart, read in `layers` layers (0: a flat read).
// FERR_UNSUPPORTED for an image the host has no rows for, FERR_BAD_REQUEST
// for an index beyond the file's images.
uint32_t ChooseImage(const FormatRecord *format, uint32_t layers, int32_t requested,
                     ImageChoice *out);

// Sets imageCount, imageIndex, planeKind and the linked plane of the
// chosen image in the host's record. 0 or FERR_NO_MEMORY.
uint32_t PublishImageSet(FilterRecord *record, const ImageChoice &choice);

}  // namespace plug
