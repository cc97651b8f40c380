// rsrcxchg import through FilterEntry: every accepted kind of bitmap, the
// description, whole, cropped and fitted delivery, and the operation table.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "common/heap.h"
#include "common/muldiv.h"
#include "common/platform.h"
#include "fixtures.h"
#include "harness.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes in_ne(const Bytes &dib) {
    return fx::make_ne({{0x8002, dib}});
}

// The pixel a bitmap should deliver at (x, top).
uint32_t expected(const fx::Bitmap &im, const fx::DibOptions &o, int32_t x, int32_t top) {
    return o.compression == 3 ? fx::bitfield_expected(im.rgb(x, top), o) : im.rgb(x, top);
}

void expect_pixels(const fx::Harness &h, const fx::Bitmap &im, const fx::DibOptions &o,
                   int32_t left = 0, int32_t top = 0) {
    const int32_t rows = h.rows_high();
    const int32_t width = h.rows.empty() ? 0 : h.rows[0].width;
    int mismatches = 0;
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < width; ++x)
            if (h.rgb(x, y) != expected(im, o, left + x, top + y) && ++mismatches < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << h.rgb(x, y)
                              << " expected " << expected(im, o, left + x, top + y);
}

struct Kind {
    const char *name;
    int32_t bits;  // of the logical image
    uint32_t compression;
    int32_t fieldBits;
    bool topDown;
    bool literals;
    int32_t outBits;
};

void PrintTo(const Kind &c, std::ostream *os) {
    *os << c.name;
}

class EveryKind : public testing::TestWithParam<Kind> {};

TEST_P(EveryKind, DeliversTheBitmapWhole) {
    const Kind &k = GetParam();
    for (auto [w, hgt] : {std::pair{13, 7}, {1, 1}, {33, 4}, {8, 3}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(hgt));
        fx::Bitmap im = fx::pattern(w, hgt, k.bits, uint32_t(w * 7 + hgt));
        fx::DibOptions o;
        o.compression = k.compression;
        o.fieldBits = k.fieldBits;
        o.topDown = k.topDown;
        o.literals = k.literals;
        if (k.fieldBits == 32) {
            o.masks[0] = 0xFF0000;
            o.masks[1] = 0xFF00;
            o.masks[2] = 0xFF;
        }
        fx::Harness h;
        h.set_file(in_ne(fx::make_dib(im, o)));
        ASSERT_TRUE(h.identify()) << h.record().errorCode;
        const FilterRecord &r = h.record();
        EXPECT_EQ(r.width, w);
        EXPECT_EQ(r.height, hgt);
        EXPECT_EQ(r.bitsPerPixel, k.outBits);
        EXPECT_EQ(r.fileBitsPerPixel, k.fieldBits ? k.fieldBits : k.bits);
        EXPECT_EQ(r.imageCount, 1);
        EXPECT_EQ(r.planeKind, 1);
        EXPECT_EQ(r.linkedCount, 0);
        EXPECT_EQ(r.paletteCount, k.bits <= 8 ? 1 << k.bits : 0);
        EXPECT_STREQ(r.compressionName, "RLE Compression");
        ASSERT_TRUE(h.import_image()) << r.errorCode;
        EXPECT_EQ(r.errorCode, 0u);
        ASSERT_EQ(h.rows.size(), size_t(hgt));
        const int32_t padded = (w * k.outBits + 31) / 32 * 4;
        for (int32_t i = 0; i < hgt; ++i) {
            const fx::Row &row = h.rows[size_t(i)];
            EXPECT_EQ(row.y, k.topDown ? hgt - 1 - i : i);
            EXPECT_EQ(row.width, w);
            EXPECT_EQ(row.byteCount, padded);
            EXPECT_EQ(row.percent, flt::MulDiv(i, 100, hgt));
        }
        expect_pixels(h, im, o);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bitmaps, EveryKind,
    testing::Values(
        Kind{"Plain1", 1, 0, 0, false, true, 1}, Kind{"Plain4", 4, 0, 0, false, true, 4},
        Kind{"Plain8", 8, 0, 0, false, true, 8}, Kind{"Plain24", 24, 0, 0, false, true, 24},
        Kind{"Rle8", 8, 1, 0, false, true, 8}, Kind{"Rle8RunsOnly", 8, 1, 0, false, false, 8},
        Kind{"Rle4", 4, 2, 0, false, true, 4}, Kind{"Rle4RunsOnly", 4, 2, 0, false, false, 4},
        Kind{"Fields16", 24, 3, 16, false, true, 24}, Kind{"Fields32", 24, 3, 32, false, true, 24},
        Kind{"TopDown1", 1, 0, 0, true, true, 1}, Kind{"TopDown8", 8, 0, 0, true, true, 8},
        Kind{"TopDown24", 24, 0, 0, true, true, 24},
        Kind{"TopDownFields16", 24, 3, 16, true, true, 24},
        Kind{"Plain32", 24, 0, 32, false, true, 24}, Kind{"TopDown32", 24, 0, 32, true, true, 24}),
    [](const testing::TestParamInfo<Kind> &info) { return std::string(info.param.name); });

fx::Bitmap rle4_10x5() {
    return fx::pattern(10, 5, 4, 3);
}

TEST(Import, FullModeRowCallsOfRle4) {
    fx::DibOptions o;
    o.compression = 2;
    fx::Harness h;
    h.set_file(in_ne(fx::make_dib(rle4_10x5(), o)));
    ASSERT_TRUE(h.import_image());
    ASSERT_EQ(h.rows.size(), 5u);
    for (int32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(h.rows[i].y, i);
        EXPECT_EQ(h.rows[i].percent, 20 * i);
        EXPECT_EQ(h.rows[i].byteCount, 8);
        EXPECT_EQ(h.rows[i].x, 0);
        EXPECT_EQ(h.rows[i].rowCount, 1);
    }
    EXPECT_EQ(h.headerCalls, 1);
}

TEST(Import, CropOfRle4) {
    fx::DibOptions o;
    o.compression = 2;
    const fx::Bitmap im = rle4_10x5();
    fx::Harness h;
    h.set_file(in_ne(fx::make_dib(im, o)));
    h.record().region = {2, 1, 5, 3};
    ASSERT_TRUE(h.import_image());
    ASSERT_EQ(h.rows.size(), 3u);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(h.rows[i].y, i);
        EXPECT_EQ(h.rows[i].width, 4);
        EXPECT_EQ(h.rows[i].byteCount, 4);
    }
    expect_pixels(h, im, o, 2, 1);
}

// Crops at every bit offset of 1- and 4-bit rows, bottom-up and top-down.
TEST(Import, CropAtEveryBitOffset) {
    for (int32_t bits : {1, 4}) {
        for (bool top_down : {false, true}) {
            const fx::Bitmap im = fx::pattern(37, 6, bits, 11);
            fx::DibOptions o;
            o.topDown = top_down;
            fx::Harness h;
            h.set_file(in_ne(fx::make_dib(im, o)));
            for (int32_t left = 0; left < 10; ++left) {
                for (int32_t width : {1, 3, 8, 37 - left}) {
                    SCOPED_TRACE(std::to_string(bits) + " bits, left " + std::to_string(left) +
                                 ", width " + std::to_string(width) +
                                 (top_down ? " top-down" : ""));
                    h.record().region = {left, 1, left + width - 1, 4};
                    ASSERT_TRUE(h.import_image());
                    ASSERT_EQ(h.rows.size(), 4u);
                    EXPECT_EQ(h.rows[0].width, width);
                    expect_pixels(h, im, o, left, 1);
                }
            }
        }
    }
}

TEST(Import, RegionsThatDeliverTheWholeBitmap) {
    const fx::Bitmap im = fx::pattern(5, 5, 8, 2);
    fx::Harness h;
    h.set_file(in_ne(fx::make_dib(im)));
    for (FilterRect r : {FilterRect{10, 10, 20, 20}, FilterRect{0, 0, 0, 0},
                         FilterRect{-9, -9, -1, -1}, FilterRect{3, 3, 1, 1}}) {
        h.record().region = r;
        ASSERT_TRUE(h.import_image());
        EXPECT_EQ(h.rows.size(), 5u);
        EXPECT_EQ(h.rows[0].width, 5);
        expect_pixels(h, im, {});
    }
    // A region larger than the bitmap is clipped to it.
    h.record().region = {-3, 2, 40, 40};
    ASSERT_TRUE(h.import_image());
    EXPECT_EQ(h.rows.size(), 3u);
    expect_pixels(h, im, {}, 0, 2);
}

// The region is inclusive: one column or one row is a crop, not the whole.
TEST(Import, OnePixelRegionIsACrop) {
    const fx::Bitmap im = fx::pattern(5, 5, 24, 2);
    fx::Harness h;
    h.set_file(in_ne(fx::make_dib(im)));
    h.record().region = {3, 1, 3, 1};
    ASSERT_TRUE(h.import_image());
    ASSERT_EQ(h.rows.size(), 1u);
    EXPECT_EQ(h.rows[0].width, 1);
    EXPECT_EQ(h.rgb(0, 0), im.rgb(3, 1));
}

TEST(Import, FitPicksRowsByTheAccumulator) {
    struct {
        int32_t rows, targetRows;
        std::vector<int32_t> sourceFromBottom;  // for each delivered y
    } cases[] = {{4, 2, {0, 2}},
                 {5, 2, {0, 3}},
                 {1, 3, {0, 0, 0}},
                 {3, 3, {0, 1, 2}},
                 {2, 5, {0, 0, 0, 1, 1}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + " to " + std::to_string(c.targetRows));
        // Each row one colour, told apart by its index from the bottom.
        fx::Bitmap im = fx::pattern(3, c.rows, 8, 1);
        for (int32_t top = 0; top < c.rows; ++top)
            for (int32_t x = 0; x < 3; ++x)
                im.pixels[size_t(top) * 3 + x] = uint32_t(c.rows - 1 - top);
        fx::Harness h;
        h.set_file(in_ne(fx::make_dib(im)));
        h.record().requestFlags = 0x800;
        h.record().region = {4, 6, 4 + 9, 6 + c.targetRows - 1};
        ASSERT_TRUE(h.import_image());
        EXPECT_EQ(h.record().width, 10);
        EXPECT_EQ(h.record().height, c.targetRows);
        EXPECT_EQ(h.record().region.left, 0);
        EXPECT_EQ(h.record().region.top, 0);
        EXPECT_EQ(h.record().region.right, 9);
        EXPECT_EQ(h.record().region.bottom, c.targetRows - 1);
        ASSERT_EQ(h.rows.size(), size_t(c.targetRows));
        for (int32_t i = 0; i < c.targetRows; ++i) {
            EXPECT_EQ(h.rows[i].y, i);
            EXPECT_EQ(h.rows[i].width, 10);
            EXPECT_EQ(h.rows[i].byteCount, 12);
            EXPECT_EQ(h.index(9, c.targetRows - 1 - i), uint32_t(c.sourceFromBottom[i]));
        }
    }
}

TEST(Import, FitToOwnSizeKeepsTheImageEitherWayUp) {
    for (bool top_down : {false, true}) {
        const fx::Bitmap im = fx::pattern(9, 6, 24, 5);
        fx::DibOptions o;
        o.topDown = top_down;
        fx::Harness h;
        h.set_file(in_ne(fx::make_dib(im, o)));
        h.record().requestFlags = 0x40;
        h.record().region = {0, 0, 8, 5};
        ASSERT_TRUE(h.import_image());
        EXPECT_EQ(h.stretchCalls, 6);
        expect_pixels(h, im, o);
    }
}

// 32-bit pixels without bit fields lose their fourth byte in every mode,
// stored either way up.
TEST(Import, Plain32CroppedAndFitted) {
    const fx::Bitmap im = fx::pattern(11, 6, 24, 8);
    const struct {
        const char *name;
        FilterRect region;
        uint32_t flags;
        int32_t left, top;  // of the expected pixels in the bitmap
    } cases[] = {{"crop", {3, 1, 9, 4}, 0, 3, 1}, {"fit", {0, 0, 10, 5}, 0x40, 0, 0}};
    for (bool top_down : {false, true}) {
        fx::DibOptions o;
        o.fieldBits = 32;
        o.topDown = top_down;
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (top_down ? " top-down" : ""));
            fx::Harness h;
            h.set_file(in_ne(fx::make_dib(im, o)));
            h.record().region = c.region;
            h.record().requestFlags = c.flags;
            ASSERT_TRUE(h.import_image()) << h.record().errorCode;
            EXPECT_EQ(h.rows_high(), c.region.bottom - c.region.top + 1);
            expect_pixels(h, im, o, c.left, c.top);
        }
    }
}

TEST(Import, FitWithoutSizeOrStretchIsRefused) {
    fx::Harness h;
    h.set_file(in_ne(fx::make_dib(fx::pattern(4, 4, 8, 1))));
    h.record().requestFlags = 0x40;
    h.record().region = {5, 5, 4, 9};
    EXPECT_FALSE(h.import_image());
    EXPECT_EQ(h.record().errorCode, uint32_t(FERR_BAD_REQUEST));
    h.record().region = {0, 0, 3, 3};
    h.record().stretchProc = nullptr;
    EXPECT_FALSE(h.import_image());
    EXPECT_EQ(h.record().errorCode, uint32_t(FERR_BAD_REQUEST));
    EXPECT_EQ(h.headerCalls, 0);
}

TEST(Import, BitFieldChannels) {
    struct {
        const char *name;
        int32_t bits;
        uint32_t masks[3];
        uint32_t value;
        uint32_t rgb;
    } cases[] = {
        {"565", 16, {0xF800, 0x07E0, 0x001F}, 0xFFFF, 0xF8FCF8},
        {"555", 16, {0x7C00, 0x03E0, 0x001F}, 0x7C1F, 0xF800F8},
        {"ZeroMask", 16, {0xF800, 0, 0x001F}, 0xFFFF, 0xF800F8},
        {"MaskAbove16Bits", 16, {0x1F0000, 0x07E0, 0x001F}, 0xFFFF, 0x00FCF8},
        {"888", 32, {0xFF0000, 0xFF00, 0xFF}, 0x123456, 0x123456},
        {"Wide", 32, {0x3FF00000, 0xFFC00, 0x3FF}, 0x3FFFFFFF, 0xFFFFFF},
        {"AllZero", 32, {0, 0, 0}, 0xFFFFFFFF, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fx::Bitmap im = fx::pattern(1, 1, 24, 1);
        fx::DibOptions o;
        o.compression = 3;
        o.fieldBits = c.bits;
        std::copy(c.masks, c.masks + 3, o.masks);
        Bytes dib = fx::make_dib(im, o);
        for (int i = 0; i < c.bits / 8; ++i) dib[52 + i] = uint8_t(c.value >> (8 * i));
        fx::Harness h;
        h.set_file(in_ne(dib));
        ASSERT_TRUE(h.import_image());
        EXPECT_EQ(h.rgb(0, 0), c.rgb) << std::hex << h.rgb(0, 0);
    }
}

Bytes with_header(const fx::Bitmap &im, uint16_t bits, uint32_t compression) {
    Bytes dib = fx::make_dib(im);
    dib[14] = uint8_t(bits);
    dib[15] = uint8_t(bits >> 8);
    dib[16] = uint8_t(compression);
    return dib;
}

TEST(Import, UnsupportedCombinations) {
    const fx::Bitmap im8 = fx::pattern(4, 4, 8, 1);
    const fx::Bitmap im24 = fx::pattern(4, 4, 24, 1);
    Bytes zero_width = fx::make_dib(im8);
    zero_width[4] = 0;
    Bytes zero_height = fx::make_dib(im8);
    zero_height[8] = 0;
    Bytes huge = fx::make_dib(im8);
    huge[7] = 0x7F;  // width near 2^31: the image does not fit 32 bits
    Bytes small_header = fx::make_dib(im8);
    small_header[0] = 20;
    // Rows of 6368919572 bytes, 1636827176 of them: the product passes 2^63.
    Bytes vast = fx::make_dib(im24);
    for (int i = 0; i < 4; ++i) {
        vast[4 + i] = uint8_t(2122973190u >> (8 * i));
        vast[8 + i] = uint8_t(1636827176u >> (8 * i));
    }
    struct {
        const char *name;
        Bytes dib;
    } cases[] = {{"Plain16", with_header(im24, 16, 0)},
                 {"Rle8At4Bits", with_header(im8, 4, 1)},
                 {"Rle4At8Bits", with_header(im8, 8, 2)},
                 {"FieldsAt24", with_header(im24, 24, 3)},
                 {"Compression4", with_header(im8, 8, 4)},
                 {"TwoBits", with_header(im8, 2, 0)},
                 {"ZeroWidth", zero_width},
                 {"ZeroHeight", zero_height},
                 {"Huge", huge},
                 {"RowsTimesHeightOverflow", vast},
                 {"ShortHeader", small_header}};
    for (const auto &c : cases) {
        fx::Harness h;
        h.set_file(in_ne(c.dib));
        EXPECT_FALSE(h.identify()) << c.name;
        EXPECT_EQ(h.record().errorCode, uint32_t(FERR_UNSUPPORTED)) << c.name;
    }
}

TEST(Import, DamagedPixelData) {
    fx::Bitmap im = fx::pattern(16, 8, 8, 4);
    // Plain pixels cut short: the parse already refuses.
    Bytes plain = in_ne(fx::make_dib(im));
    plain.resize(plain.size() - 3);
    fx::Harness h;
    h.set_file(plain);
    EXPECT_FALSE(h.identify());
    EXPECT_EQ(h.record().errorCode, uint32_t(FERR_CORRUPT));
    // A run-length stream cut short fails during the import.
    fx::DibOptions o;
    o.compression = 1;
    Bytes rle = in_ne(fx::make_dib(im, o));
    rle.resize(rle.size() - 20);
    h.set_file(rle);
    EXPECT_TRUE(h.identify());
    EXPECT_FALSE(h.import_image());
    EXPECT_EQ(h.record().errorCode, uint32_t(FERR_CORRUPT));
    EXPECT_FALSE(h.rows.empty());
    // A run too long for its row.
    Bytes dib = fx::make_dib(im, o);
    const size_t pixels = 40 + 256 * 4;
    dib.resize(pixels);
    dib.insert(dib.end(), {17, 3, 0, 1});
    h.set_file(in_ne(dib));
    EXPECT_FALSE(h.import_image());
    EXPECT_EQ(h.record().errorCode, uint32_t(FERR_DECODE));
}

TEST(Import, Resolution) {
    fx::Bitmap im = fx::pattern(2, 2, 8, 1);
    fx::DibOptions o;
    fx::Harness h;
    h.set_file(in_ne(fx::make_dib(im, o)));
    ASSERT_TRUE(h.identify());
    // The screen's resolution (the POSIX platform layer reports a 1920 x 1080
    // screen of 508 x 286 mm; Windows asks GetDeviceCaps).
    flt::ScreenMetrics screen{};
    ASSERT_TRUE(flt::platform_screen_metrics(&screen));
    EXPECT_EQ(h.record().xResolution, screen.horzRes * 1000000LL / screen.horzSizeMm);
    EXPECT_EQ(h.record().yResolution, screen.vertRes * 1000000LL / screen.vertSizeMm);
    o.xPelsPerMeter = 3780;
    o.yPelsPerMeter = 2835;
    h.set_file(in_ne(fx::make_dib(im, o)));
    ASSERT_TRUE(h.identify());
    EXPECT_EQ(h.record().xResolution, 3780000);
    EXPECT_EQ(h.record().yResolution, 2835000);
}

// The colour table holds colours-used entries; the host gets at most one entry
// per pixel value, and the pixels follow the whole table.
TEST(Import, ColourTableOfColorsUsed) {
    const struct {
        int32_t bits;
        uint32_t used;
        int32_t entries;
    } cases[] = {{8, 5, 5}, {8, 300, 256}, {4, 20, 16}, {1, 3, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.used);
        fx::Bitmap im = fx::pattern(6, 3, c.bits, 9);
        for (auto &p : im.pixels) p %= std::min<uint32_t>(c.used, 1u << c.bits);
        fx::DibOptions o;
        o.colorsUsed = c.used;
        fx::Harness h;
        h.set_file(in_ne(fx::make_dib(im, o)));
        ASSERT_TRUE(h.import_image());
        EXPECT_EQ(h.record().paletteCount, c.entries);
        const size_t n = 3 * static_cast<size_t>(c.entries);
        EXPECT_EQ(Bytes(h.record().palette, h.record().palette + n),
                  Bytes(im.palette.begin(), im.palette.begin() + n));
        expect_pixels(h, im, o);
    }
}

// The old 12-byte header and the longer later headers: pixels follow the
// header at its own size.
TEST(Import, OtherHeaderSizes) {
    const fx::Bitmap im = fx::pattern(7, 3, 4, 6);
    const Bytes info = fx::make_dib(im);
    Bytes v5 = info;
    v5[0] = 124;
    v5.insert(v5.begin() + 40, 84, 0);
    Bytes core(12, 0);
    core[0] = 12;
    core[4] = 7;
    core[6] = 3;
    core[8] = 1;
    core[10] = 4;
    for (int i = 0; i < 16; ++i) core.insert(core.end(), &info[40 + 4 * i], &info[40 + 4 * i + 3]);
    core.insert(core.end(), info.begin() + 40 + 64, info.end());
    for (const Bytes *dib : {&v5, &core}) {
        fx::Harness h;
        h.set_file(in_ne(*dib));
        ASSERT_TRUE(h.import_image()) << h.record().errorCode;
        EXPECT_EQ(h.record().paletteCount, 16);
        expect_pixels(h, im, {});
    }
}

TEST(Import, WithoutIdentifyFirst) {
    const fx::Bitmap im = fx::pattern(6, 4, 24, 3);
    fx::Harness h;
    h.set_file(in_ne(fx::make_dib(im)));
    h.record().width = 99;  // left over from something else
    ASSERT_TRUE(h.import_image());
    EXPECT_EQ(h.record().width, 6);
    ASSERT_EQ(h.rows.size(), 4u);
    EXPECT_EQ(h.rows[0].width, 6);
    expect_pixels(h, im, {});
}

TEST(Import, RefusedCalls) {
    struct {
        const char *name;
        int header, row;
        bool cancel;
        uint32_t requestFlags;
        FilterRect region;
        uint32_t error;
        size_t rows;
    } cases[] = {
        {"Header", 1, 0, false, 0, {}, FERR_TRANSFER, 0},
        {"HeaderWithCancel", 1, 0, true, 0, {}, FERR_TRANSFER, 0},
        {"FullRow", 0, 2, false, 0, {}, FERR_TRANSFER, 2},
        {"FullRowCancel", 0, 2, true, 0, {}, FERR_CANCELLED, 2},
        {"CropRowCancel", 0, 1, true, 0, {1, 1, 2, 2}, FERR_CANCELLED, 1},
        {"CropRow", 0, 1, false, 0, {1, 1, 2, 2}, FERR_TRANSFER, 1},
        {"FitRowCancel", 0, 3, true, 0x40, {0, 0, 5, 5}, FERR_CANCELLED, 3},
    };
    for (const auto &c : cases) {
        fx::Harness h;
        h.set_file(in_ne(fx::make_dib(fx::pattern(4, 4, 8, 2))));
        h.refuseHeader = c.header;
        h.refuseRowAt = c.row;
        h.storeCancel = c.cancel;
        h.record().requestFlags = c.requestFlags;
        h.record().region = c.region;
        EXPECT_FALSE(h.import_image()) << c.name;
        EXPECT_EQ(h.record().errorCode, c.error) << c.name;
        EXPECT_EQ(h.rows.size(), c.rows) << c.name;
    }
}

TEST(Operations, ExportAndOtherCodesDoNothing) {
    fx::Harness h;
    h.set_file(in_ne(fx::make_dib(fx::pattern(4, 4, 8, 2))));
    for (uint32_t op : {2u, 4u, 5u, 7u, 9u, 10u, 11u, 0xFFFFu}) {
        h.record().errorCode = 77;
        EXPECT_EQ(h.call(op), 1) << op;
        EXPECT_EQ(h.record().errorCode, 77u) << op;
        EXPECT_EQ(h.headerCalls, 0);
        EXPECT_TRUE(h.rows.empty());
    }
}

TEST(Operations, EndImportAndCapsRelease) {
    for (uint32_t op : {uint32_t(FE_END_IMPORT), uint32_t(FE_GET_CAPS)}) {
        flt::heap_reset_counters();
        const long before = flt::heap_live_blocks();
        fx::Harness h;
        h.set_file(in_ne(fx::make_dib(fx::pattern(4, 4, 8, 2))));
        ASSERT_TRUE(h.identify());
        EXPECT_NE(h.record().palette, nullptr);
        EXPECT_EQ(h.call(op), 1);
        EXPECT_EQ(h.record().palette, nullptr);
        EXPECT_EQ(h.record().linkedPlanes, nullptr);
        EXPECT_EQ(h.record().compressionName, nullptr);
        EXPECT_EQ(flt::heap_live_blocks(), before);
        EXPECT_EQ(h.record().filterFlags, op == FE_GET_CAPS ? 0x100u : 0u);
    }
}

TEST(Operations, IdentifyAgainReplacesTheBlocks) {
    const long before = flt::heap_live_blocks();
    {
        fx::Harness h;
        h.set_file(in_ne(fx::make_dib(fx::pattern(4, 4, 8, 2))));
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(h.identify());
        EXPECT_EQ(flt::heap_live_blocks(), before + 2);
        // A foreign palette in the record is left to its owner.
        static uint8_t foreign[6];
        FilterEntry(FE_END_IMPORT, &h.record());
        h.record().palette = foreign;
        ASSERT_TRUE(h.identify());
        EXPECT_NE(h.record().palette, foreign);
    }
    EXPECT_EQ(flt::heap_live_blocks(), before);
}

}  // namespace
