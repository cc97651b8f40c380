// gemxchg import driven as a host does: identify, import with the region,
// fit flag and index from the parameter block, then the end operation.
#include "common/module.h"
#include "fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::run_import_input(FilterEntry, data, size);
    return 0;
}
