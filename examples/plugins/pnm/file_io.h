// The plug-in's access to the file the host opened for it (dataFork).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pnm {

// Reads up to size bytes at the current offset; 0 at the end or on error.
size_t file_read(intptr_t file, uint8_t *buffer, size_t size);
// Writes all bytes; false when the file does not take them.
bool file_write(intptr_t file, const void *bytes, size_t size);
// Moves to an absolute offset; false when the file cannot seek.
bool file_seek(intptr_t file, int64_t offset);
// The current offset, or -1.
int64_t file_tell(intptr_t file);

}  // namespace pnm
