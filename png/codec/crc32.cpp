#include "codec/crc32.h"

namespace png {
namespace {

// Eight tables so that the loop takes eight bytes per step ("slicing by 8"):
// entry[0] is the classic byte table, entry[k][n] the CRC of byte n followed
// by k zero bytes.
struct CrcTable {
    uint32_t entry[8][256];
};

constexpr CrcTable make_table() {
    CrcTable t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t.entry[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = t.entry[0][n];
        for (int k = 1; k < 8; ++k) {
            c = t.entry[0][c & 0xFF] ^ (c >> 8);
            t.entry[k][n] = c;
        }
    }
    return t;
}

constexpr CrcTable kTable = make_table();

}  // namespace

uint32_t crc32_update(uint32_t crc, const uint8_t *data, size_t size) {
    const auto &t = kTable.entry;
    uint32_t c = crc ^ 0xFFFFFFFFu;
    for (; size >= 8; size -= 8, data += 8) {
        uint32_t lo =
            c ^ (static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                 static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; size; --size) c = t[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

}  // namespace png
