// FilterEntry of plughost.
#include "common/delivery.h"
#include "common/module.h"

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record) {
    switch (operation) {
        case FE_GET_CAPS:
        case FE_END_IMPORT:
        case FE_END_EXPORT:
        case FE_RESERVED_10:
            return 1;
        case FE_IMPORT:
        case FE_EXPORT:
        case FE_IDENTIFY:
        case FE_OPTIONS:
            return flt::fail(record, FERR_PLUGIN_LOAD);  // not built yet
        default:
            return flt::fail(record, FERR_BAD_REQUEST);
    }
}
