// Size arithmetic that refuses to overflow, and the one place where a row's
// byte count is computed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flt {

[[nodiscard]] inline bool checked_mul(size_t a, size_t b, size_t *out) {
    if (a != 0 && b > SIZE_MAX / a) return false;
    *out = a * b;
    return true;
}

[[nodiscard]] inline bool checked_add(size_t a, size_t b, size_t *out) {
    if (b > SIZE_MAX - a) return false;
    *out = a + b;
    return true;
}

// Bytes of an unpadded row: (width * bitsPerPixel + 7) / 8. Zero for a
// negative width; computed in 64 bits so any 32-bit width fits.
inline uint64_t row_bytes(int64_t width, int64_t bits_per_pixel) {
    if (width <= 0 || bits_per_pixel <= 0) return 0;
    return (static_cast<uint64_t>(width) * static_cast<uint64_t>(bits_per_pixel) + 7) / 8;
}

// Bytes of a row padded to 32 bits: ((width * bitsPerPixel + 31) / 32) * 4.
inline uint64_t row_bytes_dword(int64_t width, int64_t bits_per_pixel) {
    if (width <= 0 || bits_per_pixel <= 0) return 0;
    return (static_cast<uint64_t>(width) * static_cast<uint64_t>(bits_per_pixel) + 31) / 32 * 4;
}

}  // namespace flt
