// Reversing the three colour bytes of a pixel (red-green-blue to
// blue-green-red and back) a word at a time.
#pragma once

#include <cstdint>
#include <cstring>

namespace png {

// The bytes p[2], p[1], p[0] in the low three bytes of a little-endian word
// (the top byte 0). Reads four bytes, p[3] included.
inline uint32_t load_reversed3(const uint8_t *p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint32_t v;
    std::memcpy(&v, p, 4);
    return __builtin_bswap32(v) >> 8;
#else
    return p[2] | p[1] << 8 | static_cast<uint32_t>(p[0]) << 16;
#endif
}

// Stores the four bytes of a word built as load_reversed3 builds it.
inline void store_word(uint8_t *p, uint32_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(p, &v, 4);
#else
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> 8 * i);
#endif
}

}  // namespace png
