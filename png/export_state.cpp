#include "export_state.h"

#include "common/heap.h"
#include "state_kind.h"

namespace png {

ExportState *export_state_create() {
    auto *state = flt::heap_new_array<ExportState>(1);
    if (!state) return nullptr;
    state->kind = kExportStateKind;
    state->header = flt::heap_new_array<uint8_t>(kHeaderLength);
    state->chunks = flt::heap_new_array<ChunkTable>(1);
    if (!state->header || !state->chunks) {
        export_state_release(state);
        return nullptr;
    }
    return state;
}

void export_state_release(ExportState *state) {
    if (!state) return;
    flt::heap_free(state->firstPlane);
    flt::heap_free(state->plteData);
    flt::heap_free(state->chunks);
    flt::heap_free(state->header);
    flt::heap_free(state);
}

ExportState *export_state_of(FilterRecord *record) {
    drop_other_state(record, kExportStateKind);
    if (!record->filterState) record->filterState = export_state_create();
    return static_cast<ExportState *>(record->filterState);
}

void export_state_drop(FilterRecord *record) {
    drop_other_state(record, kExportStateKind);
    export_state_release(static_cast<ExportState *>(record->filterState));
    record->filterState = nullptr;
}

}  // namespace png
