// The SIMD row filters against the scalar ones: every filter type on random
// rows of every width 1..64 at 3-, 4-, 6- and 8-byte pixels, with guard bytes
// after the row that neither may touch, and the 24-bit row written on the way
// against the one taken from the scalar result.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "codec/unfilter.h"

namespace png {
namespace {

// High bytes of red, green, blue of every pixel, reversed.
std::vector<uint8_t> bgr_of(const std::vector<uint8_t> &row, size_t width, size_t bpp) {
    const size_t sample = bpp >= 6 ? 2 : 1;
    std::vector<uint8_t> out;
    for (size_t x = 0; x < width; ++x)
        for (size_t s = 3; s-- > 0;) out.push_back(row[x * bpp + s * sample]);
    return out;
}

TEST(UnfilterSimd, MatchesScalarOnRandomRows) {
    if (!unfilter_simd_available()) GTEST_SKIP() << "no SIMD on this CPU";
    constexpr size_t kGuard = 16;
    std::mt19937 random(15);
    for (size_t bpp : {3, 4, 6, 8}) {
        for (uint8_t type = 1; type <= 4; ++type) {
            for (size_t width = 1; width <= 64; ++width) {
                const size_t size = width * bpp;
                std::vector<uint8_t> stored(size + kGuard), prior(size + kGuard);
                for (uint8_t &b : stored) b = static_cast<uint8_t>(random());
                for (uint8_t &b : prior) b = static_cast<uint8_t>(random());
                std::vector<uint8_t> scalar = stored, simd = stored, bgr(3 * width + 1);
                unfilter_row_scalar(type, scalar.data(), prior.data(), size, bpp);
                const UnfilterResult r =
                    unfilter_row_simd(type, simd.data(), prior.data(), size, bpp, bgr.data());
                ASSERT_NE(r, UnfilterResult::kNotCovered);
                ASSERT_EQ(simd, scalar)
                    << "filter " << int(type) << " bpp " << bpp << " width " << width;
                ASSERT_TRUE(std::equal(simd.begin() + size, simd.end(), stored.begin() + size));
                bgr.pop_back();
                if (r == UnfilterResult::kRowAndBgr) {
                    ASSERT_EQ(bgr, bgr_of(scalar, width, bpp));
                }
            }
        }
    }
}

}  // namespace
}  // namespace png
