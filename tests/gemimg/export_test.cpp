// gemxchg export: header variants, the fixed byte sequences, replication
// groups, refusals, and round trips of every class through our own reader.
#include <gtest/gtest.h>

#include "common/delivery.h"
#include "format.h"
#include "gem_fixtures.h"

namespace {

using namespace gem_test;

const Bytes kWhiteBlack = {255, 255, 255, 0, 0, 0};
const Bytes kBlackWhite = {0, 0, 0, 255, 255, 255};

host::Image plain_image(int width, int height, int bpp, const Bytes &palette, uint8_t fill) {
    host::Image im;
    im.width = width, im.height = height, im.bitsPerPixel = bpp, im.palette = palette;
    im.allocate();
    std::fill(im.pixels.begin(), im.pixels.end(), fill);
    return im;
}

TEST(GemExport, WhiteImageOfThreeHundredLines) {
    // 16 pixels wide, every line white (1-bit, entry 0 white: bits 0).
    Exported e = export_image(plain_image(16, 300, 1, kWhiteBlack, 0x00));
    ASSERT_TRUE(e.ok);
    const Bytes line = {0x02};  // two solid 0x00 bytes
    Bytes expected = words({1, 8, 1, 1, 85, 85, 16, 300});
    expected = cat(expected, {0x00, 0x00, 0xFF, 0xFF});
    expected = cat(expected, line);
    expected = cat(expected, {0x00, 0x00, 0xFF, 44});
    expected = cat(expected, line);
    expected = cat(expected, line);
    EXPECT_EQ(e.file, expected);
    EXPECT_EQ(e.writes[0].count, 16u);
    EXPECT_EQ(e.writes[0].percent, 0);
}

TEST(GemExport, BlackFirstPaletteInvertsBits) {
    host::Image a = blocks_image(37, 1, {2, 3, 1}, kBlackWhite);
    host::Image b = a;
    b.palette = kWhiteBlack;
    for (auto &v : b.pixels) v = static_cast<uint8_t>(~v);
    Exported ea = export_image(a), eb = export_image(b);
    ASSERT_TRUE(ea.ok && eb.ok);
    EXPECT_EQ(ea.file, eb.file);
}

TEST(GemExport, HeaderVariants) {
    Bytes intensity_shuffled;
    for (int i = 15; i >= 0; --i) {
        const auto &c = gem::ImgPaletteIntensity[i];
        intensity_shuffled.insert(intensity_shuffled.end(), {c[2], c[1], c[0]});
    }
    Bytes sixteen_plus = bgr_of(gem::ImgPaletteSixteen, 16);
    sixteen_plus.insert(sixteen_plus.end(), {1, 2, 3});
    Bytes odd = grey_palette(16, 17, true);
    odd[3 * 7] = 1;
    Bytes colour256 = grey_palette(256, 1, false);
    colour256[3 * 100 + 2] = 7;
    struct {
        int bpp;
        Bytes palette;
        bool ok;
        uint32_t code;
        Bytes header;  // words 1..3 and 8
    } cases[] = {
        {1, kWhiteBlack, true, 0, {8, 1, 1}},
        {4, bgr_of(gem::ImgPaletteIntensity, 16), true, 0, {8, 4, 1}},
        {4, intensity_shuffled, true, 0, {8, 4, 1}},
        {4, Bytes(intensity_shuffled.begin(), intensity_shuffled.begin() + 12), true, 0, {8, 4, 1}},
        {4, bgr_of(gem::ImgPaletteSixteen, 16), true, 0, {9, 4, 1, 2}},
        {4, sixteen_plus, true, 0, {9, 4, 1, 2}},
        {4, grey_palette(16, 17, true), true, 0, {9, 4, 1, 1}},
        {4, odd, false, FERR_CORRUPT, {}},
        {4, grey_palette(8, 17, true), false, FERR_CORRUPT, {}},
        {8, grey_palette(256, 1, false), true, 0, {9, 8, 1, 1}},
        {8, grey_palette(16, 1, false), true, 0, {9, 8, 1, 1}},
        {8, colour256, false, FERR_CORRUPT, {}},
        {24, {}, true, 0, {9, 1, 3, 3}},
        {2, {}, false, FERR_BAD_REQUEST, {}},
        {16, {}, false, FERR_BAD_REQUEST, {}},
        {32, {}, false, FERR_BAD_REQUEST, {}},
    };
    for (const auto &c : cases) {
        host::Image im = plain_image(10, 3, c.bpp, c.palette, 0);
        if (c.bpp == 2 || c.bpp == 16 || c.bpp == 32) im.pixels.assign(10 * 4 * 3, 0);
        Exported e = export_image(im);
        ASSERT_EQ(e.ok, c.ok) << c.bpp;
        if (!c.ok) {
            EXPECT_EQ(e.code, c.code);
            EXPECT_TRUE(e.writes.empty()) << "refused before writing";
            continue;
        }
        EXPECT_EQ(e.file[3], c.header[0]);
        EXPECT_EQ(e.file[5], c.header[1]);
        EXPECT_EQ(e.file[7], c.header[2]);
        if (c.header[0] == 9) {
            EXPECT_EQ(e.file[17], c.header[3]);
        }
    }
}

TEST(GemExport, PixelSizeFromResolution) {
    struct {
        int32_t resolution;
        int microns;
    } cases[] = {{0, 85}, {11811024, 84}, {2834645, 352}, {11764705, 85}};
    for (const auto &c : cases) {
        host::Image im = plain_image(8, 1, 1, kWhiteBlack, 0);
        im.xResolution = c.resolution;
        im.yResolution = 2834645;
        Exported e = export_image(im);
        ASSERT_TRUE(e.ok);
        EXPECT_EQ(e.file[8] << 8 | e.file[9], c.microns);
        EXPECT_EQ(e.file[10] << 8 | e.file[11], 352);
    }
}

TEST(GemExport, RefusesSizesTheHeaderCannotHold) {
    for (auto wh : {std::pair<int, int>{70000, 1}, {1, 70000}, {0, 4}, {4, 0}}) {
        host::Image im;
        im.width = wh.first, im.height = wh.second, im.bitsPerPixel = 1, im.palette = kWhiteBlack;
        im.allocate();
        Exported e = export_image(im);
        EXPECT_FALSE(e.ok);
        EXPECT_EQ(e.code, static_cast<uint32_t>(FERR_BAD_REQUEST));
        EXPECT_TRUE(e.writes.empty());
    }
}

TEST(GemExport, RefusedWrites) {
    host::Image im = blocks_image(20, 8, {3, 1, 2}, grey_palette(256, 1, false));
    const size_t total = export_image(im).writes.size();
    ASSERT_GT(total, 3u);
    for (size_t k = 1; k <= total; ++k) {
        for (bool cancel : {false, true}) {
            Exported e = export_image(im, static_cast<int>(k), cancel);
            EXPECT_FALSE(e.ok);
            EXPECT_EQ(e.code, static_cast<uint32_t>(cancel ? FERR_CANCELLED : FERR_TRANSFER));
            EXPECT_EQ(e.writes.size(), k) << "stops at the refused write";
            EXPECT_EQ(flt::heap_live_blocks(), 0);
        }
    }
}

TEST(GemExport, EveryAllocationFailingInTurn) {
    for (int bpp : {1, 4, 8, 24}) {
        const Bytes palette = bpp == 4   ? bgr_of(gem::ImgPaletteSixteen, 16)
                              : bpp == 8 ? grey_palette(256, 1, false)
                              : bpp == 1 ? kWhiteBlack
                                         : Bytes{};
        host::Image im = blocks_image(33, bpp, {2, 1}, palette);
        bool succeeded = false;
        for (long n = 1; n < 20 && !succeeded; ++n) {
            flt::heap_fail_at(n);
            Exported e = export_image(im);
            flt::heap_fail_at(0);
            succeeded = e.ok;
            if (!e.ok) {
                EXPECT_EQ(e.code, static_cast<uint32_t>(FERR_NO_MEMORY));
            }
            EXPECT_EQ(flt::heap_live_blocks(), 0);
        }
        EXPECT_TRUE(succeeded) << bpp;
    }
}

// Our writer and reader agree for every class, with replication groups of
// 1, 2, 255, 256 and 300 lines (a last block of n rows gives a group of n - 1
// and the last line alone).
TEST(GemRoundTrip, EveryClassAndGroupLength) {
    const std::vector<int> blocks = {1, 2, 1, 255, 256, 3, 300, 1};
    struct {
        int bpp;
        Bytes palette;
        Bytes expected_palette;  // what import describes
    } classes[] = {
        {1, kWhiteBlack, kWhiteBlack},
        {1, kBlackWhite, kWhiteBlack},
        {4, bgr_of(gem::ImgPaletteIntensity, 16), bgr_of(gem::ImgPaletteIntensity, 16)},
        {4, bgr_of(gem::ImgPaletteSixteen, 16), bgr_of(gem::ImgPaletteSixteen, 16)},
        {4, grey_palette(16, 17, true), grey_palette(16, 17, true)},
        {8, grey_palette(256, 1, false), grey_palette(256, 1, false)},
        {24, {}, {}},
    };
    for (const auto &c : classes) {
        for (int width : {1, 13, 64}) {
            host::Image im = blocks_image(width, c.bpp, blocks, c.palette);
            Exported e = export_image(im);
            ASSERT_TRUE(e.ok) << c.bpp;
            Imported r = import_file(e.file);
            ASSERT_TRUE(r.ok) << c.bpp << " " << r.code;
            EXPECT_EQ(r.image.width, im.width);
            EXPECT_EQ(r.image.height, im.height);
            EXPECT_EQ(r.image.bitsPerPixel, c.bpp);
            EXPECT_EQ(r.image.palette, c.expected_palette);
            host::Image expect = im;
            if (c.palette == kBlackWhite) {
                for (auto &v : expect.pixels) v = static_cast<uint8_t>(~v);
                const unsigned tail = width % 8;
                if (tail)
                    for (int y = 0; y < expect.height; ++y)
                        expect.row(y)[expect.row_bytes() - 1] &=
                            static_cast<uint8_t>(0xFF << (8 - tail));
            }
            EXPECT_EQ(r.image.pixels, expect.pixels) << "bpp " << c.bpp << " width " << width;
        }
    }
}

TEST(GemRoundTrip, GroupsAreWrittenOnce) {
    host::Image im = blocks_image(40, 24, {256, 1}, {});
    Exported e = export_image(im);
    ASSERT_TRUE(e.ok);
    // Two groups (255 and 1) of one line, then the last line: five writes
    // after the header.
    ASSERT_EQ(e.writes.size(), 1u + 2 + 2 + 1);
    EXPECT_EQ(e.file[18 + 3], 255);
    host::Image one = blocks_image(40, 24, {1}, {});
    EXPECT_EQ(export_image(one).writes.size(), 2u);
}

}  // namespace

namespace {

using namespace gem_test;

// For every class, a region import delivers exactly the crop of the whole
// image, at every left edge (the shift of 1- and 4-bit rows), and a scaled
// import to the image's own size delivers the whole image.
TEST(GemRoundTrip, RegionsAreCropsAndFitToOwnSizeIsTheImage) {
    struct {
        int bpp;
        Bytes palette;
    } classes[] = {{1, {255, 255, 255, 0, 0, 0}},
                   {4, bgr_of(gem::ImgPaletteSixteen, 16)},
                   {8, grey_palette(256, 1, false)},
                   {24, {}}};
    for (const auto &c : classes) {
        const host::Image im = blocks_image(29, c.bpp, {2, 5, 1, 3}, c.palette, 3);
        Exported e = export_image(im);
        ASSERT_TRUE(e.ok);
        ImportOptions fit;
        fit.fit = true;
        fit.region = {0, 0, im.width - 1, im.height - 1};
        Imported whole = import_file(e.file, fit);
        ASSERT_TRUE(whole.ok);
        EXPECT_EQ(whole.image.pixels, im.pixels) << c.bpp;
        for (int left = 0; left < 12; ++left) {
            const int right = left + 3 + left % 9, top = left % 5, bottom = top + 2 + left % 4;
            ImportOptions o;
            o.region = {left, top, right, bottom};
            Imported r = import_file(e.file, o);
            ASSERT_TRUE(r.ok) << c.bpp << " " << left;
            const int w = right - left + 1;
            ASSERT_EQ(r.image.width, w);
            ASSERT_EQ(r.image.height, bottom - top + 1);
            for (int y = top; y <= bottom; ++y) {
                Bytes expect(r.image.row_bytes(), 0);
                flt::crop_row(im.row(y), expect.data(), left, w, c.bpp);
                EXPECT_EQ(Bytes(r.image.row(y - top), r.image.row(y - top) + expect.size()), expect)
                    << "bpp " << c.bpp << " left " << left << " y " << y;
            }
        }
    }
}

}  // namespace
