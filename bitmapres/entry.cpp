// FilterEntry of rsrcxchg: import only. Export writes nothing and succeeds,
// so an executable is never written.
#include "common/module.h"
#include "import.h"

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record) {
    switch (operation) {
        case FE_IMPORT:
            return rsrc::RsrcImport(record);
        case FE_IDENTIFY:
            return rsrc::RsrcIdentify(record);
        case FE_END_IMPORT:
            return rsrc::RsrcEndImport(record);
        case FE_GET_CAPS:
            record->filterFlags |= FRF_CAPS_BITMAP_RESOURCE;
            return rsrc::RsrcEndImport(record);
        default:
            return 1;
    }
}
