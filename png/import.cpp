// pngxchg identify and import (not built yet).
#include "import.h"

#include "common/delivery.h"

namespace png {

int32_t PngIdentify(FilterRecord *record) {
    return flt::fail(record, FERR_UNSUPPORTED);
}
int32_t PngImport(FilterRecord *record) {
    return flt::fail(record, FERR_UNSUPPORTED);
}
int32_t PngEndImport(FilterRecord *) {
    return 1;
}

}  // namespace png
