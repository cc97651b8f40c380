// The export state of pngxchg, held in filterState from the first FE_EXPORT
// (or FE_OPTIONS) to FE_END_EXPORT or a failure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/chunk.h"
#include "common/filter.h"
#include "format.h"

namespace png {

// The writer describes each chunk in the reader's table (kinds IHDR, IEND,
// IDAT, PLTE, tEXt, pHYs) before writing it: length (native order, written
// big-endian), type and data.
struct ExportState {
    uint32_t kind;       // kExportStateKind
    uint8_t *header;     // the 13 IHDR bytes; byte 12 is the interlace method
    ChunkTable *chunks;  // zero-filled
    uint8_t *plteData;   // PLTE bytes of a palette image, owned here
    // The colour plane of an image with an alpha plane, kept between the two
    // FE_EXPORT calls: height rows of firstPlaneStride bytes, host row y at
    // y * stride.
    uint8_t *firstPlane;
    int32_t firstPlaneDepth;
    int32_t firstPlaneWidth;
    int32_t firstPlaneHeight;
    size_t firstPlaneStride;
    // Grey levels of the palette for 8-bit grey rows whose palette is not
    // the plain ramp.
    bool mapGrey;
    uint8_t greyMap[256];
};

// The state with a zero-filled chunk table and header record; null when out
// of memory (nothing left allocated).
ExportState *export_state_create();
// Frees the state and everything it owns; null is ignored.
void export_state_release(ExportState *state);

// The record's export state, creating it when absent; null when out of memory.
ExportState *export_state_of(FilterRecord *record);
// Releases the record's export state and clears filterState.
void export_state_drop(FilterRecord *record);

}  // namespace png
