// The SIMD row filters against the scalar ones: every filter type on random
// rows of every width 1..64 at 3- and 4-byte pixels, with guard bytes after
// the row that neither may touch.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "codec/unfilter.h"

namespace png {
namespace {

TEST(UnfilterSimd, MatchesScalarOnRandomRows) {
    if (!unfilter_simd_available()) GTEST_SKIP() << "no SIMD on this CPU";
    constexpr size_t kGuard = 16;
    std::mt19937 random(15);
    for (size_t bpp : {3, 4}) {
        for (uint8_t type = 1; type <= 4; ++type) {
            for (size_t width = 1; width <= 64; ++width) {
                const size_t size = width * bpp;
                std::vector<uint8_t> stored(size + kGuard), prior(size + kGuard);
                for (uint8_t &b : stored) b = static_cast<uint8_t>(random());
                for (uint8_t &b : prior) b = static_cast<uint8_t>(random());
                std::vector<uint8_t> scalar = stored, simd = stored;
                unfilter_row_scalar(type, scalar.data(), prior.data(), size, bpp);
                ASSERT_TRUE(unfilter_row_simd(type, simd.data(), prior.data(), size, bpp));
                ASSERT_EQ(simd, scalar)
                    << "filter " << int(type) << " bpp " << bpp << " width " << width;
                ASSERT_TRUE(std::equal(simd.begin() + size, simd.end(), stored.begin() + size));
            }
        }
    }
}

}  // namespace
}  // namespace png
