// Crop and fit delivery of paintxchg, checked against macptopbm's rows.
#include <gtest/gtest.h>

#include "common/muldiv.h"
#include "fixtures.h"

namespace macpaint_test {
namespace {

const Picture &noise() {
    return pictures()[0];
}

std::unique_ptr<host::Session> import_with(const FilterRect &region, uint32_t flags,
                                           const std::vector<uint8_t> &file) {
    auto s = session_for(file);
    s->record().region = region;
    s->record().requestFlags = flags;
    s->import_image();
    return s;
}

// Checks that the delivered image is the reference cut to [l..r] x [t..b].
void expect_crop(const host::Session &s, const host::Image &ref, int l, int t, int r, int b) {
    const host::Image &got = s.image();
    ASSERT_EQ(got.width, r - l + 1);
    ASSERT_EQ(got.height, b - t + 1);
    for (int y = 0; y < got.height; ++y)
        for (int x = 0; x < got.width; ++x)
            ASSERT_EQ(bit_at(got.row(y), x), bit_at(ref.row(t + y), l + x))
                << "region " << l << "," << t << "," << r << "," << b << " at " << x << "," << y;
}

TEST(MacPaintRegion, CropAtEveryBitOffset) {
    REQUIRE_NETPBM();
    for (int left = 0; left < 24; ++left) {
        for (int width : {1, 7, 8, 9, 63, 576 - left}) {
            int right = left + width - 1;
            if (right > 575) continue;
            auto s = import_with({left, 5, right, 9}, 0, noise().mac);
            ASSERT_EQ(s->record().errorCode, 0u);
            expect_crop(*s, noise().reference, left, 5, right, 9);
            for (const auto &row : s->rows()) EXPECT_EQ(row.byteCount, (width + 7) / 8);
        }
    }
}

TEST(MacPaintRegion, RowNumbersCountDownToTheRegionsBottomRow) {
    REQUIRE_NETPBM();
    auto s = import_with({3, 2, 10, 4}, 0, noise().mac);
    ASSERT_EQ(s->rows().size(), 3u);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(s->rows()[n].y, 2 - n);
        EXPECT_EQ(s->rows()[n].width, 8);
        EXPECT_EQ(s->rows()[n].percent, flt::MulDiv(n, 100, 3));
    }
    expect_crop(*s, noise().reference, 3, 2, 10, 4);
    auto one = import_with({8, 0, 15, 0}, 0, noise().mac);
    ASSERT_EQ(one->rows().size(), 1u);
    EXPECT_EQ(one->image().row(0)[0], noise().reference.row(0)[1]);
}

TEST(MacPaintRegion, EmptyOrInvertedRegionDeliversTheWholePicture) {
    REQUIRE_NETPBM();
    for (FilterRect r :
         {FilterRect{0, 0, 0, 0}, FilterRect{10, 10, 5, 50}, FilterRect{4, 9, 40, 2}}) {
        auto s = import_with(r, 0, noise().mac);
        ASSERT_EQ(s->rows().size(), 720u);
        expect_crop(*s, noise().reference, 0, 0, 575, 719);
    }
}

TEST(MacPaintRegion, RegionReachingOutsideIsClippedAndOneWhollyOutsideRefused) {
    REQUIRE_NETPBM();
    auto s = import_with({-5, 700, 600, 800}, 0, noise().mac);
    ASSERT_EQ(s->record().errorCode, 0u);
    expect_crop(*s, noise().reference, 0, 700, 575, 719);
    for (FilterRect r :
         {FilterRect{600, 0, 700, 10}, FilterRect{0, 720, 10, 730}, FilterRect{-20, -20, -1, -1}}) {
        auto bad = import_with(r, 0, noise().mac);
        EXPECT_EQ(bad->record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
        EXPECT_TRUE(bad->rows().empty());
        EXPECT_EQ(bad->record().filterState, nullptr);
    }
}

// Source row of output row c for the nearest-row rule of the scaled path.
int source_row(int c, int out_rows) {
    if (out_rows <= kHeight) return (c * kHeight + out_rows - 1) / out_rows;
    return ((c + 1) * kHeight + out_rows - 1) / out_rows - 1;
}

TEST(MacPaintFit, SmallerAndLargerSizesPickNearestRowsAndStretchThem) {
    REQUIRE_NETPBM();
    const host::Image &ref = noise().reference;
    for (auto [w, h] :
         {std::pair{288, 360}, {100, 50}, {576, 720}, {1000, 800}, {1, 1}, {577, 1440}}) {
        for (uint32_t flag : {0x40u, 0x800u}) {
            auto s = import_with({20, 30, 20 + w - 1, 30 + h - 1}, flag, noise().mac);
            ASSERT_EQ(s->record().errorCode, 0u) << w << "x" << h;
            ASSERT_EQ(static_cast<int>(s->rows().size()), h);
            const host::Image &got = s->image();
            ASSERT_EQ(got.height, h);
            std::vector<uint8_t> expected(static_cast<size_t>(w) / 8 + 2);
            for (int c = 0; c < h; ++c) {
                const auto &call = s->rows()[c];
                EXPECT_EQ(call.y, h - 1 - c);
                EXPECT_EQ(call.byteCount, (w + 31) / 32 * 4);
                host::stretch_row(ref.row(source_row(c, h)), expected.data(), 576, w, 1);
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(bit_at(got.row(c), x), bit_at(expected.data(), x))
                        << w << "x" << h << " row " << c << " x " << x;
            }
            EXPECT_EQ(s->stretch_calls(), std::min(h, 720));
        }
    }
}

TEST(MacPaintFit, HalfSizeUsesEverySecondRowFromRowZero) {
    REQUIRE_NETPBM();
    auto s = import_with({0, 0, 287, 359}, 0x40, noise().mac);
    ASSERT_EQ(s->rows().size(), 360u);
    std::vector<uint8_t> expected(36);
    host::stretch_row(noise().reference.row(2), expected.data(), 576, 288, 1);
    EXPECT_EQ(0, std::memcmp(s->image().row(1), expected.data(), 36));
    EXPECT_EQ(s->rows()[1].percent, flt::MulDiv(2, 100, 720));
}

TEST(MacPaintCallbacks, RefusalsGiveTheModulesOwnCodes) {
    REQUIRE_NETPBM();
    struct Case {
        uint32_t flags;
        int refuse_header, refuse_row;
        bool cancel;
        uint32_t code;
    } cases[] = {
        {0, 1, 0, false, FERR_TRANSFER},    {0x40, 1, 0, true, FERR_TRANSFER},
        {0, 0, 1, false, FERR_CANNOT_READ}, {0, 0, 50, true, FERR_CANNOT_READ},
        {0x40, 0, 1, false, FERR_TRANSFER}, {0x800, 0, 10, true, FERR_TRANSFER},
    };
    for (const Case &c : cases) {
        auto s = session_for(noise().mac);
        s->record().requestFlags = c.flags;
        s->record().region = {0, 0, 99, 99};
        s->refuse_header = c.refuse_header;
        s->refuse_row_at = c.refuse_row;
        s->store_cancel = c.cancel;
        EXPECT_FALSE(s->import_image());
        EXPECT_EQ(s->record().errorCode, c.code);
        EXPECT_EQ(s->record().filterState, nullptr);
        EXPECT_EQ(static_cast<int>(s->rows().size()), c.refuse_row);
    }
}

}  // namespace
}  // namespace macpaint_test
