#include "options_dialog.h"

#include "common/platform.h"
#include "export_state.h"

namespace png {
namespace {

// Module-wide, as the dialog procedure receives no pointer of its own.
FilterRecord *g_options_record = nullptr;
char g_help_path[260];

const flt::DialogControl kControls[] = {
    {kInterlaceBoxId, 0x50030003, "&Interlace", 8, 23, 74, 10},
    {flt::DLG_IDOK, 0x50030001, "OK", 85, 3, 50, 14},
    {flt::DLG_IDCANCEL, 0x50030000, "Cancel", 85, 22, 50, 14},
    {kHelpButtonId, 0x50030000, "&Help", 85, 42, 50, 14},
};

const flt::DialogTemplate kTemplate = {kOptionsDialogId,
                                       0x90C800C0,
                                       "PNG Options",
                                       "MS Sans Serif",
                                       8,
                                       0,
                                       0,
                                       141,
                                       61,
                                       kControls,
                                       sizeof kControls / sizeof kControls[0]};

uint8_t *interlace_byte() {
    FilterRecord *r = g_options_record;
    auto *state = r ? static_cast<ExportState *>(r->filterState) : nullptr;
    return state ? &state->header[kHeaderInterlace] : nullptr;
}

template <typename Proc>
Proc host_service(int index) {
    FilterRecord *r = g_options_record;
    if (!r || !r->hostServices) return nullptr;
    return filter_proc_cast<Proc>(r->hostServices->entry[index]);
}

void init_dialog(flt::DialogWindow dialog) {
    int32_t ex = flt::platform_window_long(dialog, flt::DLG_GWL_EXSTYLE);
    flt::platform_set_window_long(dialog, flt::DLG_GWL_EXSTYLE,
                                  ex | static_cast<int32_t>(flt::DLG_WS_EX_CONTEXTHELP));
    if (auto get_path = host_service<HostDirectoryProc>(HS_GET_HELP_PATH))
        get_path(g_help_path, sizeof g_help_path);
    uint8_t *interlace = interlace_byte();
    if (interlace && *interlace == 1)
        flt::platform_send_message(flt::platform_dialog_item(dialog, kInterlaceBoxId),
                                   flt::DLG_BM_SETCHECK, flt::DLG_BST_CHECKED, 0);
}

void command(flt::DialogWindow dialog, uint32_t id) {
    if (id == flt::DLG_IDOK) {
        intptr_t check = flt::platform_send_message(
            flt::platform_dialog_item(dialog, kInterlaceBoxId), flt::DLG_BM_GETCHECK, 0, 0);
        uint8_t value = static_cast<uint8_t>(check & 0xFF);
        if (uint8_t *interlace = interlace_byte()) *interlace = value;
        flt::platform_end_dialog(dialog, value);
    } else if (id == flt::DLG_IDCANCEL) {
        flt::platform_end_dialog(dialog, flt::DLG_IDCANCEL);
    } else if (id == kHelpButtonId) {
        flt::platform_win_help(dialog, g_help_path, flt::DLG_HELP_CONTEXT, kHelpContextOptions);
    }
}

void context_help(int service, uintptr_t wParam, intptr_t lParam) {
    if (auto help = host_service<HostContextHelpProc>(service))
        help(flt::platform_module_instance(), g_help_path, static_cast<uint32_t>(wParam),
             static_cast<int32_t>(lParam), kOptionsDialogId);
}

}  // namespace

const flt::DialogTemplate &options_dialog_template() {
    return kTemplate;
}

void set_options_record(FilterRecord *record) {
    g_options_record = record;
}
FilterRecord *options_record() {
    return g_options_record;
}

intptr_t FE_STDCALL OptionsDialogProc(flt::DialogWindow dialog, uint32_t message, uintptr_t wParam,
                                      intptr_t lParam) {
    switch (message) {
        case flt::DLG_WM_INITDIALOG:
            init_dialog(dialog);
            return 1;
        case flt::DLG_WM_COMMAND:
            command(dialog, flt::dialog_loword(wParam));
            return 1;
        case flt::DLG_WM_HELP:
            context_help(HS_CONTEXT_HELP, wParam, lParam);
            return 1;
        case flt::DLG_WM_CONTEXTMENU:
            context_help(HS_CONTEXT_MENU_HELP, wParam, lParam);
            return 1;
        default:
            return 0;
    }
}

}  // namespace png
