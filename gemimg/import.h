// gemxchg FE_IMPORT: the region path (rows at full size) and the scaled path
// (the whole picture resampled to the size of the region).
#pragma once

#include "common/filter.h"
#include "identify.h"

namespace gem {

// Runs the identify steps, the header call and the path that requestFlags
// asks for. Returns 1, or 0 with errorCode set.
int32_t ImgImport(FilterRecord *record);

// The two paths after the header call; each returns 0 or an error code.
uint32_t ImgImportRegion(FilterRecord *record, const ImgFile &file);
uint32_t ImgImportScaled(FilterRecord *record, const ImgFile &file);

}  // namespace gem
