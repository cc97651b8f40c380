// A host that runs pngxchg.dll's FE_OPTIONS with the real "PNG Options"
// dialog, for a driver that plays the user through the window system
// (tests/windows/options_dialog_test.sh). It then exports a 2 x 2 image so
// that the driver also sees which choice reached the writer.
//
//   options_dialog_host.exe SETTINGS_FILE   (a full Windows path, or "-" for none)
//
// Prints "opened box=B contexthelp=C": the check box's state and whether the
// dialog had the context help style right after WM_INITDIALOG ("opened none"
// when no dialog was created); then "result=R errorCode=E interlace=I", I
// being the IHDR interlace byte of the export (-1 when the export failed);
// then one line "help KIND FILE MAPID" per context help request that reached
// the host's services. Exits 0 when it got that far, 2 when the module could
// not be loaded.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/filter.h"
#include "host/host.h"

namespace {

const char kHelpPath[] = "C:\\help\\png.hlp";
const int kInterlaceBoxId = 1000;

// The dialog as its procedure left it after WM_INITDIALOG, seen by a hook on
// the messages of this thread.
struct Opening {
    bool seen = false;
    UINT box = 0;
    bool context_help = false;
};
Opening g_opening;

LRESULT CALLBACK watch_init_dialog(int code, WPARAM wParam, LPARAM lParam) {
    const auto *message = reinterpret_cast<const CWPRETSTRUCT *>(lParam);
    if (code == HC_ACTION && message->message == WM_INITDIALOG && !g_opening.seen) {
        g_opening.seen = true;
        g_opening.box = IsDlgButtonChecked(message->hwnd, kInterlaceBoxId);
        g_opening.context_help =
            (GetWindowLongA(message->hwnd, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void print_opening() {
    if (!g_opening.seen) {
        std::printf("opened none\n");
        return;
    }
    std::printf("opened box=%u contexthelp=%d\n", g_opening.box, g_opening.context_help ? 1 : 0);
}

// Offset of the interlace byte in a PNG file: the 8-byte signature, the
// IHDR chunk's length and type, then byte 12 of its data.
constexpr size_t kIhdrInterlaceOffset = 8 + 8 + 12;

int exported_interlace(host::Session &session) {
    host::Image image;
    image.width = 2;
    image.height = 2;
    image.bitsPerPixel = 24;
    image.allocate();
    if (!session.export_plane(image, 1, 1)) return -1;
    const std::vector<uint8_t> &png = session.output();
    return png.size() > kIhdrInterlaceOffset ? png[kIhdrInterlaceOffset] : -1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: options_dialog_host SETTINGS_FILE|-\n");
        return 2;
    }
    std::string error;
    std::unique_ptr<host::Module> module =
        host::Module::load(host::default_module_dir() + "/pngxchg.dll", &error);
    if (!module) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    host::Session session(*module);
    session.help_path = kHelpPath;
    std::string settings = argv[1];
    if (settings != "-") session.record().iniPath = &settings[0];
    HHOOK hook =
        SetWindowsHookExA(WH_CALLWNDPROCRET, watch_init_dialog, nullptr, GetCurrentThreadId());
    int32_t result = session.call(FE_OPTIONS);
    if (hook) UnhookWindowsHookEx(hook);
    int32_t code = session.record().errorCode;
    session.record().errorCode = 0;
    int interlace = exported_interlace(session);
    session.end_export();
    print_opening();
    std::printf("result=%d errorCode=%d interlace=%d\n", result, code, interlace);
    // A logged call reads "KIND FILE WPARAM LPARAM MAPID"; the message's
    // parameters are handles and pointers that differ from run to run.
    for (const std::string &call : session.help_calls()) {
        char kind[32], file[260];
        long map_id;
        if (std::sscanf(call.c_str(), "%31s %259s %*s %*s %ld", kind, file, &map_id) == 3)
            std::printf("help %s %s %ld\n", kind, file, map_id);
    }
    std::fflush(stdout);
    return 0;
}
