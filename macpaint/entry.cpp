// FilterEntry of paintxchg.
#include "common/module.h"
#include "import.h"

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record) {
    switch (operation) {
        case FE_IMPORT:
            return paint::PaintImport(record);
        case FE_IDENTIFY:
            return paint::PaintIdentify(record);
        default:
            // FE_EXPORT comes with the writer; every other code does nothing.
            return 1;
    }
}
