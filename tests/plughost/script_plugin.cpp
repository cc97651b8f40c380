// The scriptable plug-in (see script_plugin.h). Defaults: every continue
// selector ends its loop (data null) unless the test's action sets data
// again.
#include "script_plugin.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// A DLL cannot leave a symbol for the loading program to supply, so the
// plug-in asks the test program's export table for the state.
ScriptState *script() {
    using Getter = ScriptState *(*)();
    static Getter getter = reinterpret_cast<Getter>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA(nullptr), "plughost_test_script")));
    return getter();
}
#else
ScriptState *script() {
    return plughost_test_script();
}
#endif

void DefaultImage(ScriptState *s, int16_t selector, FormatRecord *record) {
    if (selector == formatSelectorReadStart) {
        record->imageSize = {1, 1};
        record->imageMode = plugInModeGrayScale;
        record->depth = 8;
        record->planes = 1;
    }
    if (selector != formatSelectorReadContinue || s->read_loop_open) return;
    static uint8_t row[4];
    record->theRect = {0, 0, 1, 1};
    record->rowBytes = sizeof row;
    record->data = row;
    record->advanceState();
    record->theRect = {0, 0, 0, 0};
    record->rowBytes = 0;
    record->data = nullptr;
}

void Run(int16_t selector, FormatRecord *record, intptr_t *data, int16_t *result, bool alt) {
    ScriptState *s = script();
    s->calls.push_back({selector, alt});
    s->last_record = record;
    if (selector == formatSelectorReadContinue || selector == formatSelectorOptionsContinue ||
        selector == formatSelectorEstimateContinue || selector == formatSelectorWriteContinue)
        record->data = nullptr;
    if (s->default_image) DefaultImage(s, selector, record);
    if (s->action) s->action(selector, record, data);
    if (selector == formatSelectorReadContinue) s->read_loop_open = record->data != nullptr;
    auto it = s->results.find(selector);
    *result = it == s->results.end() ? 0 : it->second;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void ENTRYPOINT(int16_t selector,
                                                                  FormatRecord *record,
                                                                  intptr_t *data, int16_t *result) {
    Run(selector, record, data, result, false);
}

extern "C" __attribute__((visibility("default"))) void AltEntry(int16_t selector,
                                                                FormatRecord *record,
                                                                intptr_t *data, int16_t *result) {
    Run(selector, record, data, result, true);
}
