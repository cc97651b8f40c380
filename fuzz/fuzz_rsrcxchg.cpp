// rsrcxchg import driven as a host does: identify, import of the bitmap the
// index picks with the region and fit flag from the parameter block, then the
// end operation.
#include "common/module.h"
#include "fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Tail tail(data, size, fuzz::kImportTail);
    const fuzz::ImportRequest request = fuzz::read_import_request(tail);
    const std::vector<uint8_t> file = fuzz::exact_copy(tail.data(), tail.remaining());
    static fuzz::Host host(FilterEntry);
    host.run_import(file.data(), file.size(), request);
    return 0;
}
