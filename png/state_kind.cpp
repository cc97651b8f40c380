#include "state_kind.h"

#include "export_state.h"
#include "import_state.h"

namespace png {

void drop_other_state(FilterRecord *record, uint32_t kind) {
    if (!record->filterState) return;
    const uint32_t held = *static_cast<const uint32_t *>(record->filterState);
    if (held == kind) return;
    if (held == kExportStateKind) {
        export_state_drop(record);
    } else if (held == kImportStateKind) {
        release_import_parse(record);
    } else {
        record->filterState = nullptr;  // not a state of this module: left to its owner
    }
}

}  // namespace png
