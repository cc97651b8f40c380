// FilterEntry of rsrcxchg.
#include "common/delivery.h"
#include "common/module.h"

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record) {
    switch (operation) {
        case FE_GET_CAPS:
            record->filterFlags |= FRF_CAPS_BITMAP_RESOURCE;
            return 1;
        case FE_IMPORT:
        case FE_IDENTIFY:
            return flt::fail(record, FERR_NOT_FORMAT);  // not built yet
        default:
            return 1;
    }
}
