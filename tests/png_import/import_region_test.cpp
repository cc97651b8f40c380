// Crop and fit delivery of pngxchg, row numbers and progress, checked against
// libpng's rows.
#include <gtest/gtest.h>

#include "common/checked.h"
#include "common/muldiv.h"
#include "png_fixtures.h"

namespace png_test {
namespace {

unsigned pixel_at(const host::Image &img, int32_t x, int32_t y) {
    const uint8_t *row = img.row(y);
    switch (img.bitsPerPixel) {
        case 1:
            return row[x / 8] >> (7 - x % 8) & 1;
        case 4:
            return x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4;
        case 8:
            return row[x];
        default:
            return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
    }
}

struct Imported {
    std::unique_ptr<host::Session> session;
    bool ok;
};

Imported import_with(const std::vector<uint8_t> &file, const FilterRect &region, uint32_t flags,
                     int32_t index = 1) {
    Imported r{session_for(file), false};
    r.session->record().imageIndex = index;
    r.session->record().region = region;
    r.session->record().requestFlags = flags;
    r.ok = r.session->import_image();
    return r;
}

std::vector<uint8_t> file_of(int type, int depth, bool interlace, uint32_t w, uint32_t h) {
    return encode(make_samples(w, h, type, depth, interlace, w * 7 + h + depth));
}

// Checks rows y = c-1 ... 0, the width, byte counts and the percents.
void expect_sequence(const host::Session &s, int32_t width, int32_t rows, int32_t bpp,
                     bool percent_ahead) {
    ASSERT_EQ(s.rows().size(), static_cast<size_t>(rows));
    for (int32_t k = 0; k < rows; ++k) {
        const host::RowCall &c = s.rows()[k];
        EXPECT_EQ(c.y, rows - 1 - k);
        EXPECT_EQ(c.x, 0);
        EXPECT_EQ(c.rowCount, 1);
        EXPECT_EQ(c.width, width);
        EXPECT_EQ(c.byteCount, static_cast<int32_t>(flt::row_bytes(width, bpp)));
        EXPECT_EQ(c.percent, flt::MulDiv(k + (percent_ahead ? 1 : 0), 100, rows)) << k;
    }
}

TEST(PngRegion, CropAtEveryBitOffset) {
    struct Format {
        int type, depth;
    } formats[] = {{0, 1}, {3, 1}, {0, 2}, {3, 4}, {0, 8}, {2, 8}, {6, 16}};
    for (const Format &f : formats) {
        for (bool interlace : {false, true}) {
            const std::vector<uint8_t> file = file_of(f.type, f.depth, interlace, 37, 9);
            const Expected ref = reference_decode(file, 1);
            ASSERT_TRUE(ref.ok);
            for (int32_t left = 0; left < 16; ++left) {
                for (int32_t width : {2, 5, 8, 9, 37 - left}) {
                    const int32_t right = left + width - 1;
                    auto r = import_with(file, {left, 2, right, 6}, 0);
                    ASSERT_TRUE(r.ok) << left << "," << right;
                    const host::Session &s = *r.session;
                    expect_sequence(s, width, 5, ref.image.bitsPerPixel, interlace);
                    const host::Image &got = s.image();
                    for (int32_t y = 0; y < 5; ++y)
                        for (int32_t x = 0; x < width; ++x)
                            ASSERT_EQ(pixel_at(got, x, y), pixel_at(ref.image, left + x, 2 + y))
                                << "type " << f.type << " depth " << f.depth << " region " << left
                                << ".." << right << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(PngRegion, OneBitCropTakesColumnTwoIntoTheTopBit) {
    const std::vector<uint8_t> file = file_of(0, 1, false, 16, 6);
    const Expected ref = reference_decode(file, 1);
    auto r = import_with(file, {2, 1, 9, 3}, 0);
    ASSERT_TRUE(r.ok);
    const auto &rows = r.session->rows();
    ASSERT_EQ(rows.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(rows[k].y, 2 - k);
        EXPECT_EQ(rows[k].byteCount, 1);
        EXPECT_EQ(rows[k].width, 8);
        const uint8_t *src = ref.image.row(1 + k);
        const uint8_t want = static_cast<uint8_t>(src[0] << 2 | src[1] >> 6);
        EXPECT_EQ(r.session->image().row(k)[0], want);
    }
}

TEST(PngRegion, RegionsReachingOutsideAreClipped) {
    const std::vector<uint8_t> file = file_of(2, 8, false, 10, 8);
    const Expected ref = reference_decode(file, 1);
    struct Case {
        FilterRect region;
        int32_t l, t, r, b;
    } cases[] = {
        {{-5, -3, 4, 2}, 0, 0, 4, 2},
        {{6, 5, 40, 40}, 6, 5, 9, 7},
        {{-1, 3, 20, 6}, 0, 3, 9, 6},
    };
    for (const Case &c : cases) {
        auto r = import_with(file, c.region, 0);
        ASSERT_TRUE(r.ok);
        const host::Image &got = r.session->image();
        ASSERT_EQ(got.width, c.r - c.l + 1);
        ASSERT_EQ(got.height, c.b - c.t + 1);
        for (int32_t y = 0; y < got.height; ++y)
            for (int32_t x = 0; x < got.width; ++x)
                ASSERT_EQ(pixel_at(got, x, y), pixel_at(ref.image, c.l + x, c.t + y));
    }
}

TEST(PngRegion, WholeImageRoutes) {
    for (bool interlace : {false, true}) {
        const std::vector<uint8_t> file = file_of(0, 8, interlace, 7, 10);
        const Expected ref = reference_decode(file, 1);
        for (FilterRect region :
             {FilterRect{0, 0, 0, 0}, FilterRect{0, 0, 6, 9}, FilterRect{-2, -2, 50, 50}}) {
            auto r = import_with(file, region, 0);
            ASSERT_TRUE(r.ok);
            expect_sequence(*r.session, 7, 10, 8, interlace);
            EXPECT_EQ(compare_images(r.session->image(), ref.image), "");
            EXPECT_EQ(r.session->rows().front().y, 9);
            EXPECT_EQ(r.session->rows().back().percent, interlace ? 100 : 90);
        }
    }
}

TEST(PngRegion, ImagesOnePixelWideOrHighTakeTheirFullRegion) {
    // Their image rectangle is empty in the exclusive sense; a region that
    // covers them still delivers them whole.
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{1, 6}, {6, 1}, {1, 1}}) {
        const std::vector<uint8_t> file = file_of(0, 8, false, w, h);
        auto r =
            import_with(file, {0, 0, static_cast<int32_t>(w) - 1, static_cast<int32_t>(h) - 1}, 0);
        ASSERT_TRUE(r.ok) << w << "x" << h;
        EXPECT_EQ(r.session->rows().size(), h);
    }
}

TEST(PngRegion, EmptyIntersectionsAreBadRequests) {
    const std::vector<uint8_t> file = file_of(0, 4, false, 12, 10);
    for (FilterRect region :
         {FilterRect{2, 3, 8, 3}, FilterRect{4, 1, 4, 8}, FilterRect{20, 20, 30, 30},
          FilterRect{-9, -9, -1, -1}, FilterRect{8, 8, 2, 2}, FilterRect{11, 9, 20, 20}}) {
        auto r = import_with(file, region, 0);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.session->record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
        EXPECT_EQ(r.session->record().filterState, nullptr);
        EXPECT_EQ(r.session->header_calls(), 1);
        EXPECT_TRUE(r.session->rows().empty());
    }
}

// The reference image fitted as the module should: nearest source rows,
// each resampled by the host's own stretch.
host::Image fitted(const host::Image &ref, int32_t w, int32_t h) {
    host::Image out;
    out.width = w;
    out.height = h;
    out.bitsPerPixel = ref.bitsPerPixel;
    out.allocate();
    std::vector<uint8_t> row(flt::row_bytes_dword(w, ref.bitsPerPixel) + 4);
    for (int32_t k = 0; k < h; ++k) {
        host::stretch_row(ref.row(static_cast<int32_t>(int64_t{k} * ref.height / h)), row.data(),
                          ref.width, w, ref.bitsPerPixel);
        std::copy(row.begin(), row.begin() + out.row_bytes(), out.row(k));
    }
    return out;
}

TEST(PngRegion, FitToSmallerAndLargerSizes) {
    struct Format {
        int type, depth;
    } formats[] = {{0, 1}, {3, 2}, {0, 8}, {2, 16}, {6, 8}};
    for (const Format &f : formats) {
        for (bool interlace : {false, true}) {
            const std::vector<uint8_t> file = file_of(f.type, f.depth, interlace, 13, 11);
            const Expected ref = reference_decode(file, 1);
            for (auto [w, h] : {std::pair<int32_t, int32_t>{5, 4},
                                {13, 3},
                                {30, 25},
                                {1, 1},
                                {4, 11},
                                {13, 40}}) {
                for (uint32_t flag : {0x40u, 0x800u}) {
                    // Fit ignores where the region lies: only its size counts.
                    auto r = import_with(file, {7, 9, 7 + w - 1, 9 + h - 1}, flag);
                    ASSERT_TRUE(r.ok);
                    const host::Session &s = *r.session;
                    ASSERT_EQ(s.rows().size(), static_cast<size_t>(h));
                    for (int32_t k = 0; k < h; ++k) {
                        EXPECT_EQ(s.rows()[k].y, h - 1 - k);
                        EXPECT_EQ(s.rows()[k].width, w);
                        EXPECT_EQ(s.rows()[k].percent, flt::MulDiv(k + 1, 100, h));
                    }
                    EXPECT_EQ(compare_images(s.image(), fitted(ref.image, w, h)), "")
                        << "type " << f.type << " depth " << f.depth << " to " << w << "x" << h;
                    int distinct = 0;
                    for (int32_t k = 0; k < h; ++k)
                        distinct += k == 0 || int64_t{k} * 11 / h != int64_t{k - 1} * 11 / h;
                    EXPECT_EQ(s.stretch_calls(), distinct);
                }
            }
        }
    }
}

TEST(PngRegion, FitRowChoice) {
    // 5 rows into 2 take rows 0 and 2; 1 row into 3 repeats row 0.
    const std::vector<uint8_t> five = file_of(0, 8, false, 4, 5);
    const Expected ref5 = reference_decode(five, 1);
    auto r = import_with(five, {0, 0, 3, 1}, 0x40);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::vector<uint8_t>(r.session->image().row(0), r.session->image().row(0) + 4),
              std::vector<uint8_t>(ref5.image.row(0), ref5.image.row(0) + 4));
    EXPECT_EQ(std::vector<uint8_t>(r.session->image().row(1), r.session->image().row(1) + 4),
              std::vector<uint8_t>(ref5.image.row(2), ref5.image.row(2) + 4));
    const std::vector<uint8_t> one = file_of(0, 8, true, 4, 1);
    auto o = import_with(one, {0, 0, 3, 2}, 0x40);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.session->rows().size(), 3u);
    EXPECT_EQ(o.session->stretch_calls(), 1);
}

TEST(PngRegion, FitToTheImageSizeIsDeliveredUnscaled) {
    const std::vector<uint8_t> file = file_of(2, 8, false, 9, 6);
    auto r = import_with(file, {3, 3, 11, 8}, 0x800);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.session->stretch_calls(), 0);
    expect_sequence(*r.session, 9, 6, 24, false);
}

TEST(PngRegion, FitRegionsWithoutRowsOrStretchAreRefused) {
    const std::vector<uint8_t> file = file_of(0, 8, false, 9, 6);
    for (FilterRect region : {FilterRect{5, 0, 4, 3}, FilterRect{0, 5, 3, 2}}) {
        auto r = import_with(file, region, 0x40);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.session->record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
    }
    auto s = session_for(file);
    s->record().stretchProc = nullptr;
    s->record().region = {0, 0, 3, 3};
    s->record().requestFlags = 0x40;
    EXPECT_FALSE(s->import_image());
    EXPECT_EQ(s->record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
}

TEST(PngRegion, ColourThenAlphaPlaneFromOneIdentification) {
    for (int type : {4, 6}) {
        const std::vector<uint8_t> file = file_of(type, 8, type == 6, 11, 7);
        auto s = session_for(file);
        ASSERT_TRUE(s->identify());
        ASSERT_TRUE(s->import_image());
        EXPECT_EQ(compare_images(s->image(), reference_decode(file, 1).image), "");
        s->record().imageIndex = 2;
        ASSERT_TRUE(s->import_image());
        EXPECT_EQ(s->record().planeKind, 2);
        EXPECT_EQ(s->record().bitsPerPixel, 8);
        EXPECT_EQ(compare_images(s->image(), reference_decode(file, 2).image), "");
        s->record().imageIndex = 1;
        s->record().region = {2, 1, 8, 5};
        ASSERT_TRUE(s->import_image());
        EXPECT_EQ(s->image().width, 7);
        s->end_import();
        EXPECT_EQ(s->record().filterState, nullptr);
    }
}

TEST(PngRegion, RefusedCallsKeepTheHostsCancel) {
    const std::vector<uint8_t> file = file_of(0, 8, false, 5, 10);
    struct Case {
        int header, row;
        bool cancel;
        uint32_t code;
        size_t rows;
    } cases[] = {
        {1, 0, false, FERR_BAD_IMAGE, 0},  {1, 0, true, FERR_CANCELLED, 0},
        {0, 1, false, FERR_TRANSFER, 1},   {0, 4, true, FERR_CANCELLED, 4},
        {0, 10, false, FERR_TRANSFER, 10},
    };
    for (const Case &c : cases) {
        auto s = session_for(file);
        s->refuse_header = c.header;
        s->refuse_row_at = c.row;
        s->store_cancel = c.cancel;
        EXPECT_FALSE(s->import_image());
        EXPECT_EQ(s->record().errorCode, c.code);
        EXPECT_EQ(s->rows().size(), c.rows);
        EXPECT_EQ(s->record().filterState, nullptr);
    }
}

}  // namespace
}  // namespace png_test
