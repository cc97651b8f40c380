// The basic suite behind the record's sSPBasic. Plug-ins built for later
// versions of the interface take it on their first call and ask it for the
// suites they use, by exact name and version; a suite plughost does not have
// is answered "suite not found" with no table (the plug-in then gets along
// without the suite or ends with its own error). Blocks come from the module
// heap, like every allocation of the module, and are the plug-in's to free.
#include <cstring>

#include "common/heap.h"
#include "services.h"
#include "suites/registry.h"

namespace plug {
namespace {

// Larger blocks than a 32-bit plug-in can address are refused outright.
constexpr size_t kMaxBlock = INT32_MAX;

}  // namespace

int32_t PI_CDECL BasicAcquireSuite(const char *name, int32_t version, const void **suite) {
    if (!suite) return spBadParameterErr;
    if (!name) {
        *suite = nullptr;
        return spBadParameterErr;
    }
    *suite = FindSuite(name, version);
    return *suite ? 0 : spSuiteNotFoundErr;
}

// The tables are constant and outlive every plug-in, so a release only
// checks the name.
int32_t PI_CDECL BasicReleaseSuite(const char *name, int32_t version) {
    if (!name) return spBadParameterErr;
    return FindSuite(name, version) ? 0 : spSuiteNotFoundErr;
}

int32_t PI_CDECL BasicIsEqual(const char *token1, const char *token2) {
    return token1 && token2 && std::strcmp(token1, token2) == 0 ? 1 : 0;
}

int32_t PI_CDECL BasicAllocateBlock(size_t size, void **block) {
    if (!block) return spBadParameterErr;
    *block = size <= kMaxBlock ? flt::heap_alloc(size) : nullptr;
    return *block ? 0 : piMemFullErr;
}

int32_t PI_CDECL BasicFreeBlock(void *block) {
    flt::heap_free(block);
    return 0;
}

// On failure the old block stays as it was and stays the plug-in's.
int32_t PI_CDECL BasicReallocateBlock(void *block, size_t newSize, void **newBlock) {
    if (!newBlock) return spBadParameterErr;
    *newBlock = newSize <= kMaxBlock ? flt::heap_realloc(block, newSize) : nullptr;
    return *newBlock ? 0 : piMemFullErr;
}

int32_t PI_CDECL BasicUndefined() {
    return spUnimplementedErr;
}

}  // namespace plug
