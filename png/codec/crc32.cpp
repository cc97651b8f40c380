#include "codec/crc32.h"

namespace png {
namespace {

struct CrcTable {
    uint32_t entry[256];
};

constexpr CrcTable make_table() {
    CrcTable t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t.entry[n] = c;
    }
    return t;
}

constexpr CrcTable kTable = make_table();

}  // namespace

uint32_t crc32_update(uint32_t crc, const uint8_t *data, size_t size) {
    uint32_t c = crc ^ 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) c = kTable.entry[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

}  // namespace png
