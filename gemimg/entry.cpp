// FilterEntry of gemxchg.
#include "common/delivery.h"
#include "common/module.h"

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record) {
    switch (operation) {
        case FE_IMPORT:
        case FE_EXPORT:
        case FE_IDENTIFY:
            return flt::fail(record, FERR_UNSUPPORTED);  // not built yet
        default:
            return 1;
    }
}
