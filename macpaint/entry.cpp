// FilterEntry of paintxchg.
#include "common/module.h"
#include "export.h"
#include "import.h"

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record) {
    switch (operation) {
        case FE_IMPORT:
            return paint::PaintImport(record);
        case FE_EXPORT:
            return paint::PaintExport(record);
        case FE_IDENTIFY:
            return paint::PaintIdentify(record);
        case FE_END_IMPORT:
            return paint::PaintEndImport(record);
        default:
            // FE_END_EXPORT and every other code do nothing.
            return 1;
    }
}
