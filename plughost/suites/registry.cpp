#include "suites/registry.h"

#include <cstring>

namespace plug {
namespace {

struct SuiteEntry {
    const char *name;
    int32_t version;
    const void *table;
};

// Constant-initialised: no code runs to build it when the module loads.
const SuiteEntry kSuites[] = {
    {PI_BUFFER_SUITE_NAME, 1, &kBufferSuite},
    {PI_BUFFER_SUITE_NAME, 2, &kBufferSuite},
    {PI_HANDLE_SUITE_NAME, 1, &kHandleSuite1},
    {PI_HANDLE_SUITE_NAME, 2, &kHandleSuite2},
    {PI_CHANNEL_PORTS_SUITE_NAME, 2, &kChannelPortsSuite},
    {PI_CHANNEL_PORTS_SUITE_NAME, 3, &kChannelPortsSuite},
    {PI_BUFFER_PROCS_SUITE_NAME, 2, &kBufferProcsSuite},
    {PI_PROPERTY_SUITE_NAME, 1, &kPropertySuite},
    {PI_RESOURCE_SUITE_NAME, 3, &kResourceSuite},
};

}  // namespace

const void *FindSuite(const char *name, int32_t version) {
    if (!name) return nullptr;
    for (const SuiteEntry &entry : kSuites)
        if (entry.version == version && std::strcmp(entry.name, name) == 0) return entry.table;
    return nullptr;
}

}  // namespace plug
