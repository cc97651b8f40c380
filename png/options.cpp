// FE_OPTIONS of pngxchg: the interlace choice, read from and written back to
// the host's settings file around the "PNG Options" dialog.
#include <cstdio>

#include "common/delivery.h"
#include "common/dialog.h"
#include "common/platform.h"
#include "export.h"
#include "export_state.h"
#include "options_dialog.h"

namespace png {
namespace {

const char kSection[] = "PNG Filter";
const char kKey[] = "Interlace";

}  // namespace

int32_t PngOptions(FilterRecord *record) {
    set_options_record(record);
    if (record->requestFlags & FRI_NO_DIALOG) return 1;
    ExportState *state = export_state_of(record);
    if (!state) return flt::fail(record, FERR_NO_MEMORY);
    uint8_t &interlace = state->header[kHeaderInterlace];
    interlace = record->iniPath
                    ? static_cast<uint8_t>(
                          flt::platform_profile_int(kSection, kKey, 0, record->iniPath) & 0xFF)
                    : 0;
    // Any result but Cancel, a dialog that could not be shown included, confirms.
    intptr_t result =
        flt::platform_dialog_box(flt::platform_module_instance(), options_dialog_template(),
                                 record->parentWindow, OptionsDialogProc, 0);
    if (result == flt::DLG_IDCANCEL) return flt::fail(record, FERR_CANCELLED);
    if (record->iniPath) {
        char text[12];
        std::snprintf(text, sizeof text, "%d", interlace);
        flt::platform_profile_write(kSection, kKey, text, record->iniPath);
    }
    return 1;
}

}  // namespace png
