// Integer a * b / c rounded to nearest, halves away from zero, as the Windows
// MulDiv computes progress values: -1 for a zero divisor or a result that does
// not fit 32 bits.
#pragma once

#include <cstdint>

namespace flt {

inline int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t num = static_cast<int64_t>(a) * b;
    int64_t den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    int64_t result = num >= 0 ? (num + den / 2) / den : (num - den / 2) / den;
    if (result > INT32_MAX || result < -INT32_MAX) return -1;
    return static_cast<int32_t>(result);
}

}  // namespace flt
