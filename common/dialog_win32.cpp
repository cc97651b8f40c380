// Win32 implementation of the dialog calls: the template comes from the
// module's DIALOG resource of the same id, the calls go straight to USER32.
#include <windows.h>

#include "common/dialog.h"

namespace flt {

intptr_t platform_dialog_box(void *instance, const DialogTemplate &dialog, FilterWindow parent,
                             DialogProc proc, intptr_t init_param) {
    // DialogProc has DLGPROC's binary signature; the cast goes through void *
    // because the declared parameter types differ.
    auto dlgproc = reinterpret_cast<DLGPROC>(reinterpret_cast<void *>(proc));
    return DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(dialog.id),
                           static_cast<HWND>(parent), dlgproc, init_param);
}

bool platform_end_dialog(DialogWindow dialog, intptr_t result) {
    return EndDialog(static_cast<HWND>(dialog), result) != 0;
}

DialogWindow platform_dialog_item(DialogWindow dialog, int32_t id) {
    return GetDlgItem(static_cast<HWND>(dialog), id);
}

intptr_t platform_send_message(DialogWindow window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) {
    return SendMessageA(static_cast<HWND>(window), message, wParam, lParam);
}

int32_t platform_window_long(DialogWindow window, int32_t index) {
    return GetWindowLongA(static_cast<HWND>(window), index);
}

int32_t platform_set_window_long(DialogWindow window, int32_t index, int32_t value) {
    return SetWindowLongA(static_cast<HWND>(window), index, value);
}

bool platform_win_help(DialogWindow window, const char *help_file, uint32_t command,
                       uintptr_t data) {
    return WinHelpA(static_cast<HWND>(window), help_file, command, data) != 0;
}

}  // namespace flt
