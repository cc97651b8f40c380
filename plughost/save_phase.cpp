#include "save_phase.h"

#include "coordinates.h"
#include "exchange.h"
#include "services.h"

namespace plug {
namespace {

bool EmptyRect(const VRect &r) {
    return r.bottom <= r.top || r.right <= r.left;
}

// Whether the plug-in asks for another continue. `data` null ends the loop
// whatever the rectangle says (a plug-in that wrote its whole file in one
// continue clears `data` and leaves its last rectangle). After the start
// only `data` counts (plug-ins leave it set, with no rectangle, just to be
// called again); after a continue an empty rectangle also ends the loop, as
// the interface's later hosts take it, so that a plug-in that forgets to
// clear `data` when it is done is not called forever.
bool AsksForMore(const FormatRecord *format, bool afterStart) {
    if (!format->data) return false;
    return afterStart || !EmptyRect(ChunkRectOf(format));
}

}  // namespace

int16_t RunSavePhase(PluginBinding *binding, const SavePhase &phase, bool hostRows) {
    FormatRecord *format = binding->record;
    // A chunk described for an earlier phase (or an earlier export) is no
    // request of this one.
    format->data = nullptr;
    ClearChunkRect(format);
    int16_t result = CallSelector(binding, phase.prepare);
    if (result != 0) return result;
    // By now the plug-in said whether it reads the 32-bit size; one that
    // reads only the 16-bit size would see none for a larger image.
    if (!SizeVisibleToPlugin(format)) {
        NoteFault(FERR_BAD_REQUEST);
        return 0;
    }
    result = CallSelector(binding, phase.start);
    if (result != 0) return result;
    for (bool afterStart = true; AsksForMore(format, afterStart); afterStart = false) {
        if (LastExchangeOutcome().fault) break;
        // The chunk the plug-in described is a request: the host's rows go
        // into it before the continue. Without rows (options asked for by
        // the host on their own) the plug-in gets its continue unfilled.
        if (hostRows && FillDescribedChunk(format, CurrentFilter()) != 0) break;
        result = CallSelector(binding, phase.next);
        if (result != 0) break;
    }
    int16_t finished = CallSelector(binding, phase.finish);
    return result == 0 && phase.finishCounts ? finished : result;
}

}  // namespace plug
