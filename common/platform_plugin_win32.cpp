// Win32 implementation of the plug-in platform services: the global heap
// and the release of the host's mapped view.
#include <windows.h>

#include "common/platform_plugin.h"

namespace flt {

void *platform_global_alloc(size_t size) {
    return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
}

void *platform_global_realloc(void *block, size_t size) {
    return GlobalReAlloc(block, size, GMEM_MOVEABLE | GMEM_ZEROINIT);
}

void platform_global_free(void *block) {
    if (block) GlobalFree(block);
}

size_t platform_global_size(const void *block) {
    return block ? GlobalSize(GlobalHandle(block)) : 0;
}

uint64_t platform_available_virtual() {
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return status.dwAvailVirtual;
}

bool platform_unmap_view(const void *view, size_t) {
    return view && UnmapViewOfFile(view) != 0;
}

bool platform_file_rewind(uint32_t handle) {
    HANDLE file = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle));
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0;
}

}  // namespace flt
