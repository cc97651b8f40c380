// Win32 implementation of the platform layer.
#include <windows.h>
// commdlg.h needs the declarations of windows.h first.
#include <commdlg.h>

#include <cstring>

#include "common/platform.h"

namespace flt {
namespace {

HANDLE g_heap = nullptr;
void *g_instance = nullptr;

// The private heap is made on first use, so that loading the library
// allocates nothing; it lives until the library is unloaded.
HANDLE module_heap() {
    if (!g_heap) g_heap = HeapCreate(0, 0, 0);
    return g_heap;
}

// What GetPrivateProfileStringA gives for a missing file: the default, cut
// to the buffer.
uint32_t copy_default(const char *def, char *buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    size_t n = def ? std::strlen(def) : 0;
    if (n > size - 1) n = size - 1;
    std::memcpy(buffer, def ? def : "", n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

}  // namespace

void *platform_heap_alloc(size_t size) {
    HANDLE heap = module_heap();
    return heap ? HeapAlloc(heap, 0, size) : nullptr;
}

void *platform_heap_realloc(void *block, size_t size) {
    HANDLE heap = module_heap();
    return heap ? HeapReAlloc(heap, 0, block, size) : nullptr;
}

void platform_heap_free(void *block) {
    if (block && g_heap) HeapFree(g_heap, 0, block);
}

void platform_heap_release() {
    if (g_heap) HeapDestroy(g_heap);
    g_heap = nullptr;
}

// A module linked statically into a program (the tests) gets no DllMain
// call: it then uses the handle of the image that holds this code, which is
// where its resources were linked too.
void *platform_module_instance() {
    if (g_instance) return g_instance;
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&g_instance), &self);
    return self;
}

void platform_set_module_instance(void *instance) {
    g_instance = instance;
}

int platform_load_string(uint32_t id, char *buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    return LoadStringA(static_cast<HINSTANCE>(platform_module_instance()), id, buffer, size);
}

// The profile calls refuse a null file name, which Windows would take as
// win.ini, so that they behave as the POSIX implementation does.
int32_t platform_profile_int(const char *section, const char *key, int32_t def, const char *file) {
    if (!file) return def;
    return static_cast<int32_t>(GetPrivateProfileIntA(section, key, def, file));
}

uint32_t platform_profile_string(const char *section, const char *key, const char *def,
                                 char *buffer, uint32_t size, const char *file) {
    if (!file) return copy_default(key ? def : nullptr, buffer, size);
    return GetPrivateProfileStringA(section, key, def, buffer, size, file);
}

bool platform_profile_write(const char *section, const char *key, const char *value,
                            const char *file) {
    // A null file would mean win.ini; modules only ever write the host's file.
    if (!section || !file) return false;
    return WritePrivateProfileStringA(section, key, value, file) != 0;
}

void *platform_library_load(const char *path) {
    return path ? reinterpret_cast<void *>(LoadLibraryA(path)) : nullptr;
}

void *platform_library_symbol(void *library, const char *name) {
    if (!library || !name) return nullptr;
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void platform_library_free(void *library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

bool platform_screen_metrics(ScreenMetrics *metrics) {
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    metrics->horzRes = GetDeviceCaps(dc, HORZRES);
    metrics->horzSizeMm = GetDeviceCaps(dc, HORZSIZE);
    metrics->vertRes = GetDeviceCaps(dc, VERTRES);
    metrics->vertSizeMm = GetDeviceCaps(dc, VERTSIZE);
    ReleaseDC(nullptr, dc);
    return true;
}

int32_t platform_file_title(const char *path, char *buffer, uint16_t size) {
    if (!path) return -1;
    return GetFileTitleA(path, buffer, size);
}

FilterWindow platform_active_window() {
    return GetActiveWindow();
}

}  // namespace flt
