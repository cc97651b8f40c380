// paintxchg FE_EXPORT: the host's 1-bit image written as a MacPaint file with
// a MacBinary header, padded with white or cut to 576 x 720.
#pragma once

#include "common/filter.h"

namespace paint {

// Returns 1 after the header and all 720 rows were written, else 0 with
// errorCode set. Refuses a depth other than 1 bit and an empty image before
// writing anything.
int32_t PaintExport(FilterRecord *record);

}  // namespace paint
