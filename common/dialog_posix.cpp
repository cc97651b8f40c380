// The POSIX stand-in for modal dialogs: no window system, so a dialog exists
// only while a test script plays the user. The windows are records in a fixed
// table (no allocation); handles point into it.
#include <cstring>

#include "common/dialog.h"
#include "common/dialog_script.h"

namespace flt {
namespace {

struct SimWindow {
    int32_t id;
    uint32_t style;
    uint32_t exStyle;
    int32_t check;
};

struct Runner {
    DialogStep steps[kDialogMaxSteps];
    size_t stepCount;
    bool scripted;
    bool running;
    SimWindow windows[kDialogMaxControls + 1];  // [0] the dialog, then its controls
    size_t controlCount;
    DialogTranscript transcript;
};

Runner &runner() {
    static Runner r;
    return r;
}

SimWindow *window_of(DialogWindow handle) {
    Runner &r = runner();
    for (size_t i = 0; i <= r.controlCount; ++i)
        if (handle == &r.windows[i]) return &r.windows[i];
    return nullptr;
}

SimWindow *control_by_id(int32_t id) {
    Runner &r = runner();
    for (size_t i = 1; i <= r.controlCount; ++i)
        if (r.windows[i].id == id) return &r.windows[i];
    return nullptr;
}

void build_windows(const DialogTemplate &dialog) {
    Runner &r = runner();
    std::memset(r.windows, 0, sizeof r.windows);
    r.windows[0].style = dialog.style;
    r.controlCount =
        dialog.controlCount < kDialogMaxControls ? dialog.controlCount : kDialogMaxControls;
    for (size_t i = 0; i < r.controlCount; ++i) {
        r.windows[i + 1].id = dialog.controls[i].id;
        r.windows[i + 1].style = dialog.controls[i].style;
    }
}

void snapshot_checks(int32_t *out) {
    Runner &r = runner();
    for (size_t i = 0; i < r.controlCount; ++i) out[i] = r.windows[i + 1].check;
}

intptr_t send(DialogProc proc, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Runner &r = runner();
    intptr_t result = proc(&r.windows[0], message, wParam, lParam);
    DialogTranscript &t = r.transcript;
    if (t.messageCount < kDialogMaxSteps + 1) t.results[t.messageCount] = result;
    ++t.messageCount;
    return result;
}

void play(DialogProc proc, const DialogStep &step) {
    SimWindow *control = control_by_id(step.control);
    intptr_t control_handle = reinterpret_cast<intptr_t>(control);
    switch (step.action) {
        case DialogAction::kClick:
            if (control && (control->style & DLG_BS_TYPEMASK) == DLG_BS_AUTOCHECKBOX)
                control->check =
                    control->check == DLG_BST_CHECKED ? DLG_BST_UNCHECKED : DLG_BST_CHECKED;
            // BN_CLICKED is 0: wParam is the bare control id.
            send(proc, DLG_WM_COMMAND, static_cast<uint32_t>(step.control) & 0xFFFF,
                 control_handle);
            break;
        case DialogAction::kEnter:
            send(proc, DLG_WM_COMMAND, DLG_IDOK, 0);
            break;
        case DialogAction::kEscape:
        case DialogAction::kClose:
            send(proc, DLG_WM_COMMAND, DLG_IDCANCEL, 0);
            break;
        case DialogAction::kHelpKey: {
            DialogHelpInfo &info = runner().transcript.helpInfo;
            info = DialogHelpInfo{sizeof(DialogHelpInfo), 1, step.control, control, 0, 10, 20};
            send(proc, DLG_WM_HELP, 0, reinterpret_cast<intptr_t>(&info));
            break;
        }
        case DialogAction::kContextMenu:
            send(proc, DLG_WM_CONTEXTMENU, reinterpret_cast<uintptr_t>(control), (20 << 16) | 10);
            break;
        case DialogAction::kMessage:
            send(proc, step.message, step.wParam, step.lParam);
            break;
    }
}

}  // namespace

intptr_t platform_dialog_box(void *instance, const DialogTemplate &dialog, FilterWindow parent,
                             DialogProc proc, intptr_t init_param) {
    Runner &r = runner();
    if (!r.scripted || r.running || !proc) return -1;
    DialogTranscript &t = r.transcript;
    std::memset(&t, 0, sizeof t);
    build_windows(dialog);
    t.shown = true;
    t.instance = instance;
    t.templateId = dialog.id;
    t.parent = parent;
    t.initParam = init_param;
    t.dialog = &r.windows[0];
    r.running = true;
    SimWindow *first = r.controlCount ? &r.windows[1] : nullptr;
    send(proc, DLG_WM_INITDIALOG, reinterpret_cast<uintptr_t>(first), init_param);
    snapshot_checks(t.checkAfterInit);
    for (size_t i = 0; i < r.stepCount && !t.ended; ++i) play(proc, r.steps[i]);
    snapshot_checks(t.checkAtEnd);
    t.exStyle = r.windows[0].exStyle;
    r.running = false;
    return t.ended ? t.endResult : -1;
}

bool platform_end_dialog(DialogWindow dialog, intptr_t result) {
    Runner &r = runner();
    if (!r.running || dialog != &r.windows[0]) return false;
    r.transcript.ended = true;
    r.transcript.endResult = result;
    return true;
}

DialogWindow platform_dialog_item(DialogWindow dialog, int32_t id) {
    if (!runner().running || dialog != &runner().windows[0]) return nullptr;
    return control_by_id(id);
}

intptr_t platform_send_message(DialogWindow window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) {
    SimWindow *w = window_of(window);
    if (!w || w == &runner().windows[0]) return 0;
    if (message == DLG_BM_GETCHECK) return w->check;
    if (message == DLG_BM_SETCHECK) w->check = static_cast<int32_t>(wParam);
    return 0;
}

int32_t platform_window_long(DialogWindow window, int32_t index) {
    SimWindow *w = window_of(window);
    if (!w) return 0;
    if (index == DLG_GWL_EXSTYLE) return static_cast<int32_t>(w->exStyle);
    if (index == DLG_GWL_STYLE) return static_cast<int32_t>(w->style);
    if (index == DLG_GWL_ID) return w->id;
    return 0;
}

int32_t platform_set_window_long(DialogWindow window, int32_t index, int32_t value) {
    SimWindow *w = window_of(window);
    if (!w) return 0;
    int32_t previous = platform_window_long(window, index);
    if (index == DLG_GWL_EXSTYLE) w->exStyle = static_cast<uint32_t>(value);
    if (index == DLG_GWL_STYLE) w->style = static_cast<uint32_t>(value);
    if (index == DLG_GWL_ID) w->id = value;
    return previous;
}

bool platform_win_help(DialogWindow window, const char *help_file, uint32_t command,
                       uintptr_t data) {
    DialogTranscript &t = runner().transcript;
    if (t.winHelpCount < kDialogMaxHelp) {
        DialogWinHelpCall &c = t.winHelp[t.winHelpCount];
        c.window = window;
        std::strncpy(c.file, help_file ? help_file : "", sizeof c.file - 1);
        c.file[sizeof c.file - 1] = '\0';
        c.command = command;
        c.data = data;
    }
    ++t.winHelpCount;
    return true;
}

void dialog_script_set(const DialogStep *steps, size_t count) {
    Runner &r = runner();
    r.stepCount = count < kDialogMaxSteps ? count : kDialogMaxSteps;
    for (size_t i = 0; i < r.stepCount; ++i) r.steps[i] = steps[i];
    r.scripted = true;
}

void dialog_script_clear() {
    runner().scripted = false;
    runner().stepCount = 0;
}

const DialogTranscript &dialog_transcript() {
    return runner().transcript;
}

DialogWindow dialog_script_control(int32_t id) {
    return control_by_id(id);
}

}  // namespace flt
