// rsrcxchg import driven as a host does: identify, import of the bitmap the
// index picks with the region and fit flag from the parameter block, then the
// end operation.
#include "common/module.h"
#include "fuzz/fuzz_host.h"

namespace {

// A bitmap of millions of rows is valid (a run-length stream may end it in a
// few bytes and leave the rest blank) but takes seconds to deliver; the
// fuzzer learns nothing from it.
bool too_large(const std::vector<uint8_t> &file, int32_t index) {
    fuzz::ScratchRecord scratch(file);
    FilterRecord &r = *scratch;
    r.imageIndex = index;
    const bool large =
        FilterEntry(FE_IDENTIFY, &r) && int64_t{r.width} * r.height > (int64_t{1} << 22);
    FilterEntry(FE_END_IMPORT, &r);
    return large;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Tail tail(data, size, fuzz::kImportTail);
    const fuzz::ImportRequest request = fuzz::read_import_request(tail);
    const std::vector<uint8_t> file = fuzz::exact_copy(tail.data(), tail.remaining());
    if (too_large(file, request.imageIndex)) return 0;
    static fuzz::Host host(FilterEntry);
    host.run_import(file.data(), file.size(), request);
    return 0;
}
