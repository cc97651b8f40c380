// pngxchg import operations.
#pragma once

#include "common/filter.h"

namespace png {

// Walks the file (or re-derives the description from the state it left) and
// fills the description; the parse stays in filterState. 0 and no state on
// failure.
int32_t PngIdentify(FilterRecord *record);
// Identifies if needed, makes the header call and delivers the rows of the
// plane imageIndex names (whole, cropped to region or fitted to its size).
int32_t PngImport(FilterRecord *record);
// Releases the parse and every block the description hung in the record
// (palette, compressionName, comment, linkedPlanes; all become NULL); always 1.
int32_t PngEndImport(FilterRecord *record);

}  // namespace png
