// FilterEntry of plughost and its nineteen numbered twins: which plug-in runs
// is decided by pluginPath and filterId alone, so all twenty entries are one.
#include "common/delivery.h"
#include "common/module.h"
#include "protocol.h"
#include "services.h"

namespace {

int32_t Dispatch(uint32_t operation, FilterRecord *record) {
    switch (operation) {
        case FE_IMPORT:
            return plug::Import(record);
        case FE_EXPORT:
            return plug::Export(record);
        case FE_IDENTIFY:
            return plug::Identify(record);
        case FE_END_IMPORT:
            return plug::EndImport(record);
        case FE_END_EXPORT:
            return plug::EndExport(record);
        case FE_GET_CAPS:
            return 1;
        case FE_OPTIONS:
            return plug::Options(record);
        case FE_RESERVED_10:
            return 1;
        default:
            return flt::fail(record, FERR_BAD_REQUEST);
    }
}

}  // namespace

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record) {
    if (!record) return 0;
    int32_t result = Dispatch(operation, record);
    // Between calls no record is current: a service called outside an
    // operation finds nothing to act on.
    plug::ClearCurrentPair();
    return result;
}

#define PLUGHOST_TWIN(n)                                                        \
    extern "C" FE_API int32_t FE_STDCALL FilterEntry##n(uint32_t operation,     \
                                                        FilterRecord *record) { \
        return FilterEntry(operation, record);                                  \
    }
PLUGHOST_TWIN(01)
PLUGHOST_TWIN(02)
PLUGHOST_TWIN(03)
PLUGHOST_TWIN(04)
PLUGHOST_TWIN(05)
PLUGHOST_TWIN(06)
PLUGHOST_TWIN(07)
PLUGHOST_TWIN(08)
PLUGHOST_TWIN(09)
PLUGHOST_TWIN(10)
PLUGHOST_TWIN(11)
PLUGHOST_TWIN(12)
PLUGHOST_TWIN(13)
PLUGHOST_TWIN(14)
PLUGHOST_TWIN(15)
PLUGHOST_TWIN(16)
PLUGHOST_TWIN(17)
PLUGHOST_TWIN(18)
PLUGHOST_TWIN(19)
