// Finds the bitmap resources (type 2) of a Windows 3.x (NE) or Windows NT (PE)
// executable held in memory. Every offset, count and directory entry is
// checked against the size of the data before it is followed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rsrc {

enum class ExecutableKind { kNone, kNe, kPe };

struct BitmapLocation {
    ExecutableKind kind = ExecutableKind::kNone;
    int32_t count = 0;  // bitmap resources in the file; set once the bitmap type is found
    size_t offset = 0;  // file offset of the chosen bitmap's first byte
};

// Tells NE from PE (or neither: FERR_NOT_FORMAT) without walking further.
// Returns 0 or an error code.
uint32_t detect_executable(const uint8_t *data, size_t size, ExecutableKind *kind);

// Locates bitmap `index` (1-based; 0 means the first) and counts all bitmaps.
// Returns 0, FERR_NOT_FORMAT (not an NE/PE Windows executable) or FERR_CORRUPT
// (no bitmaps, index out of range, or a structure that points outside the data).
uint32_t locate_bitmap(const uint8_t *data, size_t size, int32_t index, BitmapLocation *out);

}  // namespace rsrc
