// pngxchg import operations.
#pragma once

#include "common/filter.h"

namespace png {

int32_t PngIdentify(FilterRecord *record);
int32_t PngImport(FilterRecord *record);
// Releases the parse, palette, comment and linked-plane array; always 1.
int32_t PngEndImport(FilterRecord *record);

}  // namespace png
