// pngxchg export operations.
#pragma once

#include "common/filter.h"

namespace png {

int32_t PngExport(FilterRecord *record);
// Releases the writer state; always 1.
int32_t PngEndExport(FilterRecord *record);
int32_t PngOptions(FilterRecord *record);

}  // namespace png
