// pngxchg export and options (not built yet).
#include "export.h"

#include "common/delivery.h"

namespace png {

int32_t PngExport(FilterRecord *record) {
    return flt::fail(record, FERR_BAD_REQUEST);
}
int32_t PngEndExport(FilterRecord *) {
    return 1;
}
int32_t PngOptions(FilterRecord *record) {
    return (record->requestFlags & FRI_NO_DIALOG) ? 1 : flt::fail(record, FERR_CANCELLED);
}

}  // namespace png
