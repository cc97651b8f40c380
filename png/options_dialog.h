// The "PNG Options" dialog (template 100): one check box for interlacing, OK,
// Cancel and Help. The procedure works on the export state of the record of
// the running FE_OPTIONS call.
#pragma once

#include <cstdint>

#include "common/dialog.h"
#include "common/filter.h"

namespace png {

enum : int32_t {
    kOptionsDialogId = 100,  // also the id of the help map passed to the host
    kInterlaceBoxId = 1000,
    kHelpButtonId = 9,
    kHelpContextOptions = 40300,
};

const flt::DialogTemplate &options_dialog_template();

// Sets the record that the dialog procedure works on (null when none).
void set_options_record(FilterRecord *record);
FilterRecord *options_record();

intptr_t FE_STDCALL OptionsDialogProc(flt::DialogWindow dialog, uint32_t message, uintptr_t wParam,
                                      intptr_t lParam);

}  // namespace png
