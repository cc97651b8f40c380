// FilterEntry of gemxchg. Nothing is kept between calls: every operation
// reads the file header afresh.
#include "common/module.h"
#include "export.h"
#include "identify.h"
#include "import.h"

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record) {
    switch (operation) {
        case FE_IMPORT:
            return gem::ImgImport(record);
        case FE_EXPORT:
            return gem::ImgExport(record);
        case FE_IDENTIFY:
            return gem::ImgIdentify(record);
        case FE_END_IMPORT:
            return gem::ImgRelease(record);
        default:
            return 1;
    }
}
