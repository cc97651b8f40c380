// filterState holds either the import parse or the export state. Both begin
// with a kind word, so that an operation finding the other direction's state
// (a host that exports on a record it imported with, without FE_END_IMPORT, or
// the reverse) releases it instead of misreading it.
#pragma once

#include <cstdint>

#include "common/filter.h"

namespace png {

enum : uint32_t {
    kImportStateKind = 0x49474E50,  // "PNGI"
    kExportStateKind = 0x45474E50,  // "PNGE"
};

// Releases filterState when it holds a state of another kind than `kind`
// (the description blocks in the record are left alone).
void drop_other_state(FilterRecord *record, uint32_t kind);

}  // namespace png
