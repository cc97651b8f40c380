// Modal dialogs through the platform layer. A module keeps its dialog
// procedure (messages, control ids, end results) in its own code and runs it
// with platform_dialog_box; the Windows build maps these calls one to one on
// DialogBoxParamA, EndDialog, GetDlgItem, SendMessageA, GetWindowLongA,
// SetWindowLongA and WinHelpA with the module's dialog template resource; the
// POSIX build has no window system and runs a scripted stand-in
// (common/dialog_script.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/filter.h"

namespace flt {

typedef void *DialogWindow;

// The Windows dialog procedure: (dialog, message, wParam, lParam) -> handled.
typedef intptr_t(FE_STDCALL *DialogProc)(DialogWindow dialog, uint32_t message, uintptr_t wParam,
                                         intptr_t lParam);

// Message and constant values as Windows defines them.
enum : uint32_t {
    DLG_WM_HELP = 0x0053,
    DLG_WM_CONTEXTMENU = 0x007B,
    DLG_WM_INITDIALOG = 0x0110,
    DLG_WM_COMMAND = 0x0111,
    DLG_BM_GETCHECK = 0x00F0,
    DLG_BM_SETCHECK = 0x00F1,
    DLG_BST_UNCHECKED = 0,
    DLG_BST_CHECKED = 1,
    DLG_HELP_CONTEXT = 1,
    DLG_WS_EX_CONTEXTHELP = 0x400,
    DLG_BS_AUTOCHECKBOX = 0x3,
    DLG_BS_TYPEMASK = 0xF,
};
enum : int32_t { DLG_GWL_EXSTYLE = -20, DLG_GWL_STYLE = -16, DLG_GWL_ID = -12 };
enum : int32_t { DLG_IDOK = 1, DLG_IDCANCEL = 2 };

inline uint32_t dialog_loword(uintptr_t value) {
    return static_cast<uint32_t>(value & 0xFFFF);
}

// A dialog template as data: the Windows build carries the same values in its
// resource script (the id names the DIALOG resource); the POSIX stand-in builds
// its controls from here.
struct DialogControl {
    int32_t id;
    uint32_t style;
    const char *text;
    int16_t x, y, cx, cy;
};
struct DialogTemplate {
    int32_t id;
    uint32_t style;
    const char *caption;
    const char *font;
    int16_t pointSize;
    int16_t x, y, cx, cy;
    const DialogControl *controls;
    size_t controlCount;
};

// DialogBoxParamA: runs `proc` modally until it calls platform_end_dialog and
// returns that result; -1 when the dialog cannot be created (always so on a
// POSIX system without a script).
intptr_t platform_dialog_box(void *instance, const DialogTemplate &dialog, FilterWindow parent,
                             DialogProc proc, intptr_t init_param);
// EndDialog.
bool platform_end_dialog(DialogWindow dialog, intptr_t result);
// GetDlgItem: the control window with this id, or null.
DialogWindow platform_dialog_item(DialogWindow dialog, int32_t id);
// SendMessageA (the button messages BM_GETCHECK and BM_SETCHECK).
intptr_t platform_send_message(DialogWindow window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam);
// GetWindowLongA / SetWindowLongA (GWL_EXSTYLE, GWL_STYLE, GWL_ID).
int32_t platform_window_long(DialogWindow window, int32_t index);
int32_t platform_set_window_long(DialogWindow window, int32_t index, int32_t value);
// WinHelpA.
bool platform_win_help(DialogWindow window, const char *help_file, uint32_t command,
                       uintptr_t data);

}  // namespace flt
