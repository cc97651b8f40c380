// Rectangle helpers with the Windows semantics the import regions rely on:
// right and bottom are exclusive for emptiness and intersection.
#pragma once

#include <algorithm>

#include "common/filter.h"

namespace flt {

inline void SetRect(FilterRect *r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    r->left = left;
    r->top = top;
    r->right = right;
    r->bottom = bottom;
}

inline bool IsRectEmpty(const FilterRect &r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// Stores the overlap of a and b in out and returns true; when they do not
// overlap (or either is empty) out becomes all zero and the result is false.
inline bool IntersectRect(FilterRect *out, const FilterRect &a, const FilterRect &b) {
    FilterRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    if (IsRectEmpty(a) || IsRectEmpty(b) || IsRectEmpty(r)) {
        SetRect(out, 0, 0, 0, 0);
        return false;
    }
    *out = r;
    return true;
}

inline void OffsetRect(FilterRect *r, int32_t dx, int32_t dy) {
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
}

inline bool rect_is_zero(const FilterRect &r) {
    return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
}

}  // namespace flt
