// Locates the chosen bitmap resource, parses its header and fills the image
// description of the record (size, depths, resolution, palette,
// compressionName). Stores the result code in errorCode (0 on success).
#pragma once

#include "codec/dib.h"
#include "common/filter.h"

namespace rsrc {

bool parse_and_describe(FilterRecord *record, DibInfo *info);

}  // namespace rsrc
