// Test hooks of the POSIX dialog stand-in. Without a window system a test
// plays the user: it installs the steps of the next dialogs (clicks, keys,
// help requests), and afterwards reads what the dialog procedure did. With no
// script installed platform_dialog_box fails with -1, as DialogBoxParamA does
// when the dialog cannot be created.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/dialog.h"

namespace flt {

enum class DialogAction {
    kClick,        // the user clicks `control` (an automatic check box toggles)
    kEnter,        // Enter: WM_COMMAND IDOK
    kEscape,       // Esc: WM_COMMAND IDCANCEL
    kClose,        // the close box: WM_COMMAND IDCANCEL
    kHelpKey,      // F1 or the "?" pointer over `control`: WM_HELP
    kContextMenu,  // right click on `control`: WM_CONTEXTMENU
    kMessage,      // `message` with `wParam`, `lParam` as given
};

struct DialogStep {
    DialogAction action;
    int32_t control = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// The HELPINFO that WM_HELP points to (Windows layout, 32-bit fields).
struct DialogHelpInfo {
    uint32_t cbSize;
    int32_t iContextType;  // 1: a window
    int32_t iCtrlId;
    DialogWindow hItemHandle;
    uintptr_t dwContextId;
    int32_t x, y;
};

enum : size_t { kDialogMaxSteps = 32, kDialogMaxControls = 16, kDialogMaxHelp = 8 };

struct DialogWinHelpCall {
    DialogWindow window;
    char file[260];
    uint32_t command;
    uintptr_t data;
};

// What the last dialog run did.
struct DialogTranscript {
    bool shown;  // the procedure ran (a script was installed)
    void *instance;
    int32_t templateId;
    FilterWindow parent;
    intptr_t initParam;
    DialogWindow dialog;                         // handle the procedure saw
    size_t messageCount;                         // messages sent, WM_INITDIALOG first
    intptr_t results[kDialogMaxSteps + 1];       // the procedure's return values
    uint32_t exStyle;                            // extended style at the end
    int32_t checkAfterInit[kDialogMaxControls];  // by control index of the template
    int32_t checkAtEnd[kDialogMaxControls];
    bool ended;  // the procedure called platform_end_dialog
    intptr_t endResult;
    size_t winHelpCount;
    DialogWinHelpCall winHelp[kDialogMaxHelp];
    DialogHelpInfo helpInfo;  // the HELPINFO of the last WM_HELP
};

// Installs steps (copied, at most kDialogMaxSteps) for every following dialog
// until cleared. A script that ends without closing the dialog makes the run
// return -1.
void dialog_script_set(const DialogStep *steps, size_t count);
void dialog_script_clear();
const DialogTranscript &dialog_transcript();
// The handle of control `id` in the last run (null if it had none).
DialogWindow dialog_script_control(int32_t id);

}  // namespace flt
