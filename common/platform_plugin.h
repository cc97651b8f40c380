// Platform services for hosting external plug-ins: the global heap from which
// plug-ins get their memory (GlobalAlloc and its relatives on Windows) and
// the release of the host's mapped view of a file (UnmapViewOfFile).
#pragma once

#include <cstddef>
#include <cstdint>

namespace flt {

// GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size): a zero-filled block whose
// address is its handle; null on failure.
void *platform_global_alloc(size_t size);
// GlobalReAlloc(block, size, GMEM_MOVEABLE | GMEM_ZEROINIT): the block,
// possibly moved, with any growth zero-filled; null on failure, and then the
// old block stays as it was.
void *platform_global_realloc(void *block, size_t size);
// GlobalFree; null is ignored.
void platform_global_free(void *block);
// GlobalSize(GlobalHandle(block)): the block's size, 0 for null.
size_t platform_global_size(const void *block);
// GlobalMemoryStatus's dwAvailVirtual: free address space in bytes.
uint64_t platform_available_virtual();

// UnmapViewOfFile: releases a view of a file that the host mapped at `view`
// (`size` bytes; POSIX needs the length). Returns whether a view was
// released; an address that is not the start of a mapping is left alone.
bool platform_unmap_view(const void *view, size_t size);

// SetFilePointer(handle, 0, FILE_BEGIN): puts the host's open file (a file
// descriptor on POSIX) back at its first byte; false when it cannot be.
bool platform_file_rewind(uint32_t handle);

}  // namespace flt
