// The library entry point of every module's DLL: keeps the instance handle
// for LoadStringA and the dialog template. A module built with
// FLT_INSTANCE_ON_EVERY_NOTIFICATION stores it on every notification,
// the others on process attach only.
#include <windows.h>

#include "common/heap.h"
#include "common/platform.h"
#include "common/platform_win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason > DLL_THREAD_DETACH) return FALSE;  // only notifications 0 to 3 are known
#ifdef FLT_INSTANCE_ON_EVERY_NOTIFICATION
    flt::platform_set_module_instance(instance);
#else
    if (reason == DLL_PROCESS_ATTACH) flt::platform_set_module_instance(instance);
#endif
    // FreeLibrary (not process exit, where reserved is set) with no block
    // left: the private heap goes with the library. A heap that still holds
    // blocks is kept, in case the call did not come from the loader.
    if (reason == DLL_PROCESS_DETACH && !reserved && flt::heap_live_blocks() == 0)
        flt::platform_heap_release();
    return TRUE;
}
