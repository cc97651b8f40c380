// FilterEntry of pngxchg.
#include "common/delivery.h"
#include "common/module.h"
#include "export.h"
#include "import.h"

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record) {
    switch (operation) {
        case FE_IMPORT:
            return png::PngImport(record);
        case FE_EXPORT:
            return png::PngExport(record);
        case FE_IDENTIFY:
            return png::PngIdentify(record);
        case FE_END_IMPORT:
            return png::PngEndImport(record);
        case FE_END_EXPORT:
            return png::PngEndExport(record);
        case FE_GET_CAPS:
            record->filterFlags |= FRF_CAPS_PNG;
            return 1;
        case FE_OPTIONS:
            return png::PngOptions(record);
        case FE_RESERVED_10:
            return 1;
        default:
            return flt::fail(record, FERR_BAD_REQUEST);
    }
}
