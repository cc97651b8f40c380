// CRC-32 of PNG chunks (polynomial 0xEDB88320, as zlib and the PNG format
// define it), computed by the module itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace png {

// Continues a running CRC: start with crc = 0 and feed the chunk type and data.
uint32_t crc32_update(uint32_t crc, const uint8_t *data, size_t size);

}  // namespace png
