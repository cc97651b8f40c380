// The only door to the operating system. Module code calls these; the POSIX
// build implements them in platform_posix.cpp, the Windows build with the
// corresponding Win32 calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/filter.h"

namespace flt {

// Module heap backing store (a private heap on Windows).
void *platform_heap_alloc(size_t size);
void *platform_heap_realloc(void *block, size_t size);
void platform_heap_free(void *block);

// The module's instance handle, stored by the library entry point.
void *platform_module_instance();
void platform_set_module_instance(void *instance);

// LoadStringA: copies string `id` of the module into buffer (truncated to
// size - 1 and terminated) and returns its length; 0 when there is none.
int platform_load_string(uint32_t id, char *buffer, int size);

// Profile (INI) files with the Windows semantics: sections and keys match
// without regard to case; values are trimmed of blanks and of one pair of
// enclosing quotes.
// GetPrivateProfileIntA: the value parsed as an integer, or def when absent.
int32_t platform_profile_int(const char *section, const char *key, int32_t def, const char *file);
// GetPrivateProfileStringA: copies the value (or def) into buffer, cut to
// size - 1 characters, and returns the number of characters copied.
uint32_t platform_profile_string(const char *section, const char *key, const char *def,
                                 char *buffer, uint32_t size, const char *file);
// WritePrivateProfileStringA: sets key = value in section, creating the file
// and section as needed; a null value deletes the key, a null key the section.
bool platform_profile_write(const char *section, const char *key, const char *value,
                            const char *file);

// Dynamic libraries (LoadLibraryA, GetProcAddress, FreeLibrary).
void *platform_library_load(const char *path);
void *platform_library_symbol(void *library, const char *name);
void platform_library_free(void *library);

// Screen size in pixels and millimetres (GetDeviceCaps HORZRES, HORZSIZE,
// VERTRES, VERTSIZE of the screen).
struct ScreenMetrics {
    int32_t horzRes;
    int32_t horzSizeMm;
    int32_t vertRes;
    int32_t vertSizeMm;
};
bool platform_screen_metrics(ScreenMetrics *metrics);

// GetFileTitleA: 0 on success with the title in buffer; a positive value is
// the buffer size needed (including the NUL) when buffer is too small or null;
// a negative value is an error.
int32_t platform_file_title(const char *path, char *buffer, uint16_t size);

// The active window of the calling thread (GetActiveWindow); null on POSIX.
FilterWindow platform_active_window();

}  // namespace flt
