// pngxchg export operations.
#pragma once

#include "common/filter.h"

namespace png {

// Writes the PNG file through dataProc: the whole file for one plane; for two
// planes the headers and the stored colour plane (imageIndex 1), then the
// merged image data and IEND (imageIndex 2).
int32_t PngExport(FilterRecord *record);
// Releases the writer state; always 1.
int32_t PngEndExport(FilterRecord *record);
// Asks for the interlace option in the "PNG Options" dialog and remembers it in
// the settings file; 1 when confirmed or no dialog was wanted.
int32_t PngOptions(FilterRecord *record);

}  // namespace png
