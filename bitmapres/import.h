// rsrcxchg identify and import: the n-th bitmap resource of an NE or PE file
// described in the FilterRecord and delivered whole, cropped or fitted.
#pragma once

#include "common/filter.h"

namespace rsrc {

// FE_IDENTIFY: locates and parses the bitmap; fills the description, palette
// and compressionName. 1, or 0 with errorCode set.
int32_t RsrcIdentify(FilterRecord *record);

// FE_IMPORT: parses as identify does, then makes the header call and
// delivers the rows. 1 when errorCode ends 0.
int32_t RsrcImport(FilterRecord *record);

// FE_END_IMPORT (and the release half of FE_GET_CAPS): frees palette,
// compressionName and linkedPlanes and clears them.
int32_t RsrcEndImport(FilterRecord *record);

}  // namespace rsrc
