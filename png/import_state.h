// The parse that identification keeps in filterState until FE_END_IMPORT.
#pragma once

#include <cstdint>

#include "codec/chunk.h"
#include "codec/layout.h"
#include "common/filter.h"

namespace png {

struct ImportState {
    uint32_t kind;        // kImportStateKind
    PngHeader *header;    // the IHDR fields
    ChunkTable *table;    // known chunks, pointing into fileData
    int32_t rawRowBytes;  // one unfiltered scanline, without its filter byte
    int32_t rowBytes;     // one row as delivered
    Layout layout;        // the plane of the last derivation
};

// Walks the file into a fresh state hung in filterState and derives the
// description; 0 or the failure code (the state is then released).
uint32_t identify_file(FilterRecord *record);

// Fills the record's description from the state for the current imageIndex:
// size, depths, palette, planes, compression name and comment. 0 or a code.
uint32_t describe_image(FilterRecord *record, ImportState *state);

// Releases the state, its chains and the description's blocks (palette,
// compressionName, comment, linkedPlanes), which become NULL. Safe without a
// state.
void release_import_state(FilterRecord *record);
// Releases only the parse in filterState, not the blocks of the description.
void release_import_parse(FilterRecord *record);

class RowDelivery;

// The pixel path of FE_IMPORT for the state's current description, after the
// header call: inflates, unfilters, converts and hands every row `out` wants
// to it. 0 or a failure code.
uint32_t run_pixel_path(const ImportState &state, RowDelivery &out);

}  // namespace png
