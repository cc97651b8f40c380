// gemxchg FE_EXPORT: the host image written as a GEM raster file.
#pragma once

#include "common/filter.h"

namespace gem {

// ImgWriteHeader then ImgWriteLines. Refuses depths other than 1, 4, 8 and 24
// and sizes the header cannot hold before writing anything. Returns 1, or 0
// with errorCode set.
int32_t ImgExport(FilterRecord *record);

}  // namespace gem
