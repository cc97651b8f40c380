// gemxchg identify and import through FilterEntry: the description, the
// region path, the scaled path, refusals and damaged files.
#include <gtest/gtest.h>

#include <algorithm>

#include "format.h"
#include "gem_fixtures.h"

namespace {

using namespace gem_test;

// A 1-bit, 8-pixel-wide file whose line i is the byte `line_byte(i)`; `lines`
// lists the scan lines as (replication count, or 0 for none).
uint8_t line_byte(int i) {
    return static_cast<uint8_t>(0x11 + i * 0x0B);
}

Bytes tagged_file(int height, const std::vector<int> &groups) {
    Bytes f = header8(1, 1, 8, height);
    int scan = 0;
    for (int g : groups) {
        if (g > 0) f.insert(f.end(), {0x00, 0x00, 0xFF, static_cast<uint8_t>(g)});
        f.insert(f.end(), {0x80, 0x01, line_byte(scan++)});
    }
    return f;
}

// The byte of scan line s for every delivered row, in call order.
std::vector<int> scan_lines(const Imported &r) {
    std::vector<int> out;
    for (const auto &b : r.bytes)
        for (int s = 0; s < 64; ++s)
            if (!b.empty() && b[0] == line_byte(s)) out.push_back(s);
    return out;
}

TEST(GemIdentify, DescribesTheFile) {
    host::Session s(testing_support::linked_module());
    Bytes f = header9(4, 1, 300, 7, 1);  // header only, no pixel data
    s.set_file(f);
    ASSERT_TRUE(s.identify());
    const FilterRecord &r = s.record();
    EXPECT_EQ(r.width, 300);
    EXPECT_EQ(r.height, 7);
    EXPECT_EQ(r.bitsPerPixel, 4);
    EXPECT_EQ(r.fileBitsPerPixel, 4);
    EXPECT_EQ(r.paletteCount, 16);
    EXPECT_EQ(r.xResolution, 11764705);
    EXPECT_EQ(r.imageCount, 1);
    EXPECT_EQ(r.imageIndex, 1);
    EXPECT_EQ(r.compressionIndex, 1);
    EXPECT_EQ(r.planeKind, 1);
    EXPECT_STREQ(r.compressionName, "RLE Compression");
    ASSERT_NE(r.palette, nullptr);
    EXPECT_EQ(r.palette[3 * 15], 0);  // grey 255 - 17 * 15
    EXPECT_EQ(r.palette[3 * 1], 238);
    // A second identify of another class replaces the palette and the name.
    s.set_file(header8(8, 1, 3, 3));
    ASSERT_TRUE(s.identify());
    EXPECT_EQ(s.record().paletteCount, 256);
    EXPECT_EQ(s.record().palette[3 * 200], 200);
    s.end_import();
    EXPECT_EQ(s.record().palette, nullptr);
    EXPECT_EQ(s.record().compressionName, nullptr);
    EXPECT_EQ(flt::heap_live_blocks(), 0);
}

TEST(GemIdentify, RefusesWhatItDoesNotTake) {
    for (const Bytes &f :
         {words({1, 10, 1, 1, 85, 85, 8, 1}), header8(0, 1, 8, 1), header8(12, 1, 8, 1),
          header9(1, 1, 8, 1, 0x8001), Bytes{0, 1, 0, 8}, Bytes{}}) {
        host::Session s(testing_support::linked_module());
        s.set_file(f);
        EXPECT_FALSE(s.identify());
        EXPECT_EQ(s.record().errorCode, static_cast<uint32_t>(FERR_UNSUPPORTED));
        Imported r = import_file(f);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.code, static_cast<uint32_t>(FERR_UNSUPPORTED));
        EXPECT_EQ(r.headerCalls, 0);
    }
}

TEST(GemIdentify, PaletteFamilies) {
    struct {
        Bytes header;
        uint8_t entry2[3];  // blue, green, red of palette entry 2
    } cases[] = {
        {header8(4, 1, 8, 1), {255, 0, 0}},         // intensity: entry 2 blue
        {header9(4, 1, 8, 1, 2), {0, 0, 255}},      // sixteen: entry 2 red
        {header9(4, 1, 8, 1, 0), {0, 0, 255}},      // any other kind: sixteen
        {header9(4, 1, 8, 1, 1), {221, 221, 221}},  // grey 255 - 34
        {header8(1, 1, 8, 1), {0, 0, 0}},           // (2 entries; entry 1 black)
    };
    for (const auto &c : cases) {
        host::Session s(testing_support::linked_module());
        s.set_file(c.header);
        ASSERT_TRUE(s.identify());
        const int index = s.record().paletteCount == 2 ? 1 : 2;
        EXPECT_EQ(Bytes(s.record().palette + 3 * index, s.record().palette + 3 * index + 3),
                  Bytes(c.entry2, c.entry2 + 3));
        s.end_import();
    }
}

TEST(GemRegion, EmptyRegionDeliversAllAndIsWrittenBack) {
    Imported r = import_file(tagged_file(4, {0, 0, 0, 0}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.region.right, 7);
    EXPECT_EQ(r.region.bottom, 3);
    EXPECT_EQ(scan_lines(r), std::vector<int>({0, 1, 2, 3}));
    // One column counts as empty: right and bottom grow, left and top stay.
    ImportOptions o;
    o.region = {2, 1, 2, 5};
    r = import_file(tagged_file(4, {0, 0, 0, 0}), o);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.region.left, 2);
    EXPECT_EQ(r.region.top, 1);
    EXPECT_EQ(r.region.right, 7);
    EXPECT_EQ(r.region.bottom, 3);
    EXPECT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0].width, 6);
}

TEST(GemRegion, RowsCountDownWithPercent) {
    ImportOptions o;
    o.region = {0, 1, 7, 3};
    Imported r = import_file(tagged_file(5, {0, 0, 0, 0, 0}), o);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.rows.size(), 3u);
    const int y[] = {2, 1, 0}, percent[] = {0, 33, 67};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(r.rows[i].y, y[i]);
        EXPECT_EQ(r.rows[i].percent, percent[i]);
        EXPECT_EQ(r.rows[i].x, 0);
        EXPECT_EQ(r.rows[i].rowCount, 1);
        EXPECT_EQ(r.rows[i].byteCount, 1);
    }
    EXPECT_EQ(scan_lines(r), std::vector<int>({1, 2, 3}));
}

TEST(GemRegion, ReplicationGroups) {
    // Lines: 0 alone, 1..5 a group, 6 alone, 7..8 a group.
    const Bytes f = tagged_file(9, {0, 5, 0, 2});
    struct {
        FilterRect region;
        std::vector<int> scans;
        std::vector<int> percents;
    } cases[] = {
        {{0, 0, 7, 8}, {0, 1, 1, 1, 1, 1, 2, 3, 3}, {0, 11, 11, 11, 11, 11, 67, 78, 78}},
        {{0, 3, 7, 6}, {1, 1, 1, 2}, {0, 0, 0, 75}},  // starts inside the group
        {{0, 2, 7, 3}, {1, 1}, {0, 0}},               // inside, cut at the bottom
        {{0, 0, 7, 1}, {0, 1}, {0, 50}},              // group cut after one row
    };
    for (const auto &c : cases) {
        ImportOptions o;
        o.region = c.region;
        Imported r = import_file(f, o);
        ASSERT_TRUE(r.ok) << r.code;
        EXPECT_EQ(scan_lines(r), c.scans) << c.region.top;
        std::vector<int> percents, ys;
        for (const auto &row : r.rows) percents.push_back(row.percent), ys.push_back(row.y);
        EXPECT_EQ(percents, c.percents);
        for (size_t i = 0; i < ys.size(); ++i)
            EXPECT_EQ(ys[i], static_cast<int>(ys.size() - 1 - i));
    }
}

TEST(GemRegion, GroupPastTheImageHeight) {
    Imported r = import_file(tagged_file(4, {0, 5}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, static_cast<uint32_t>(FERR_BAD_IMAGE));
    ImportOptions o;
    o.region = {0, 2, 7, 3};  // pending after the skip
    r = import_file(tagged_file(4, {0, 5}), o);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, static_cast<uint32_t>(FERR_CORRUPT));
}

TEST(GemRegion, LeftEdgeShiftsOneBitRows) {
    // Two plane bytes per line: 0b10110011 0b11110000, width 16.
    Bytes f = cat(header8(1, 1, 16, 1), {0x80, 0x02, 0xB3, 0xF0});
    struct {
        int left, right;
        Bytes row;
    } cases[] = {
        {3, 15, {0x9F, 0x80}},  // pixels 3..15: 1 0011 1111 0000 -> 10011111 1000....
        {8, 15, {0xF0}},
        {3, 9, {0x9E}},  // 7 pixels: 1001111, last bit cleared
        {1, 14, {0x67, 0xE0}},
    };
    for (const auto &c : cases) {
        ImportOptions o;
        o.region = {c.left, 0, c.right, 1};
        Imported r = import_file(f, o);
        ASSERT_TRUE(r.ok);
        ASSERT_EQ(r.bytes.size(), 1u);
        EXPECT_EQ(r.bytes[0], c.row) << c.left;
        EXPECT_EQ(r.rows[0].width, c.right - c.left + 1);
    }
}

TEST(GemRegion, LeftEdgeOfFourBitRows) {
    // 4 planes, 4 pixels with indices 1, 2, 3, 4 (8-word: index = v).
    Bytes f = cat(header8(4, 1, 4, 1),
                  {0x80, 0x01, 0x00, 0x80, 0x01, 0x10, 0x80, 0x01, 0x60, 0x80, 0x01, 0xA0});
    ImportOptions o;
    o.region = {1, 0, 3, 1};
    Imported r = import_file(f, o);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.bytes.size(), 1u);
    EXPECT_EQ(r.bytes[0], Bytes({0x23, 0x40}));
}

TEST(GemRegion, RegionOutsideTheImageIsRefused) {
    ImportOptions o;
    o.region = {20, 0, 30, 2};
    Imported r = import_file(tagged_file(3, {0, 0, 0}), o);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, static_cast<uint32_t>(FERR_BAD_REQUEST));
    EXPECT_TRUE(r.rows.empty());
    // Partly outside: clipped.
    o.region = {-5, -5, 30, 1};
    r = import_file(tagged_file(3, {0, 0, 0}), o);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(scan_lines(r), std::vector<int>({0, 1}));
}

TEST(GemRegion, DamagedData) {
    struct {
        Bytes file;
        uint32_t code;
    } cases[] = {
        {cat(header8(1, 1, 8, 2), {0x81, 0x80, 0x03, 0x12}), FERR_CORRUPT},  // literal cut off
        {cat(header8(1, 1, 8, 2), {0x81, 0x00, 0x05}), FERR_CORRUPT},        // pattern cut off
        {cat(header8(1, 1, 8, 2), {0x81, 0x00, 0x00}), FERR_DECODE},         // inside a prefix
        {cat(header8(1, 1, 8, 2), {0x81, 0x00, 0x00, 0xFF}), FERR_DECODE},
        {cat(header8(1, 1, 8, 2), {0x81}), FERR_CORRUPT},     // no second line
        {cat(header9(1, 3, 2, 1, 3), {0x83}), FERR_CORRUPT},  // chunky line too long
    };
    for (const auto &c : cases) {
        Imported r = import_file(c.file);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.code, c.code);
    }
    // A failing skip to the region's top.
    ImportOptions o;
    o.region = {0, 2, 7, 3};
    Imported r = import_file(cat(header8(1, 1, 8, 4), {0x81, 0x80, 0x05}), o);
    EXPECT_EQ(r.code, static_cast<uint32_t>(FERR_DECODE));
    // A group of zero lines at line 1 with a damaged line (a cut literal, a
    // chunky line too long) is one damage, whether read from line 0, from
    // line 1 or scaled.
    const Bytes zero_groups[] = {
        cat(header8(1, 1, 8, 3), {0x81, 0x00, 0x00, 0xFF, 0x00, 0x80, 0x05}),
        cat(header9(1, 3, 2, 3, 3), {0x82, 0x00, 0x00, 0xFF, 0x00, 0x83, 0x82, 0x82}),
    };
    const ImportOptions reads[] = {{}, {{0, 1, 1, 2}}, {{0, 0, 1, 2}, true}};
    for (const Bytes &f : zero_groups)
        for (const ImportOptions &read : reads)
            EXPECT_EQ(import_file(f, read).code, static_cast<uint32_t>(FERR_CORRUPT));
}

TEST(GemImport, RefusedCalls) {
    const Bytes f = tagged_file(3, {0, 0, 0});
    struct {
        int header, row;
        bool cancel;
        uint32_t code;
        size_t rows;
    } cases[] = {
        {1, 0, false, FERR_TRANSFER, 0},
        {1, 0, true, FERR_CANCELLED, 0},
        {0, 2, false, FERR_TRANSFER, 2},
        {0, 2, true, FERR_CANCELLED, 2},
    };
    for (bool fit : {false, true}) {
        for (const auto &c : cases) {
            ImportOptions o;
            o.refuseHeader = c.header;
            o.refuseRowAt = c.row;
            o.storeCancel = c.cancel;
            o.fit = fit;
            o.region = fit ? FilterRect{0, 0, 7, 2} : FilterRect{};
            Imported r = import_file(f, o);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.code, c.code);
            EXPECT_EQ(r.rows.size(), c.rows);
        }
    }
}

TEST(GemScaled, NearestLines) {
    std::vector<int> groups(100, 0);
    const Bytes f = [&] {
        Bytes b = header8(1, 1, 8, 100);
        for (int i = 0; i < 100; ++i) b.insert(b.end(), {0x80, 0x01, static_cast<uint8_t>(i)});
        return b;
    }();
    ImportOptions o;
    o.fit = true;
    o.region = {0, 0, 15, 49};
    Imported r = import_file(f, o);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.rows.size(), 50u);
    for (int k = 0; k < 50; ++k) {
        EXPECT_EQ(r.rows[k].y, 49 - k);
        EXPECT_EQ(r.rows[k].width, 16);
        EXPECT_EQ(r.rows[k].byteCount, 2);
        EXPECT_EQ(r.rows[k].percent, (k * 100 + 25) / 50);
        // Each source bit doubled by the host's stretch.
        const uint8_t src = static_cast<uint8_t>(2 * k);
        uint16_t wide = 0;
        for (int b = 0; b < 8; ++b)
            if (src >> (7 - b) & 1) wide |= static_cast<uint16_t>(3u << (14 - 2 * b));
        EXPECT_EQ(r.bytes[k], Bytes({static_cast<uint8_t>(wide >> 8), static_cast<uint8_t>(wide)}));
    }
    o.region = {0, 0, 7, 199};
    r = import_file(f, o);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.rows.size(), 200u);
    for (int k = 0; k < 200; ++k) EXPECT_EQ(r.bytes[k][0], k / 2);
}

TEST(GemScaled, RefusesAnEmptyTarget) {
    ImportOptions o;
    o.fit = true;
    o.region = {5, 5, 2, 9};
    Imported r = import_file(tagged_file(3, {0, 0, 0}), o);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, static_cast<uint32_t>(FERR_BAD_REQUEST));
}

// Every prefix of valid files of each class: import ends with success or a
// code of the table, reads nothing past the end (the bytes end at a guard
// page) and leaves no block behind.
TEST(GemBadInput, TruncationAtEveryByte) {
    const Bytes sixteen = bgr_of(gem::ImgPaletteSixteen, 16);
    const std::vector<host::Image> images = {
        blocks_image(21, 1, {1, 3, 1}, {255, 255, 255, 0, 0, 0}),
        blocks_image(13, 4, {2, 1, 2}, sixteen),
        blocks_image(9, 8, {1, 2, 1}, grey_palette(256, 1, false)),
        blocks_image(7, 24, {3, 1, 1}, {}),
    };
    for (const auto &im : images) {
        Exported e = export_image(im);
        ASSERT_TRUE(e.ok);
        for (bool fit : {false, true}) {
            for (size_t n = 0; n < e.file.size(); ++n) {
                ImportOptions o;
                o.fit = fit;
                o.region = fit ? FilterRect{0, 0, 5, 3} : FilterRect{};
                Imported r = import_file(Bytes(e.file.begin(), e.file.begin() + n), o);
                // The whole image needs every byte of the data.
                EXPECT_FALSE(r.ok && !fit) << n;
                if (!r.ok) {
                    const uint32_t allowed[] = {FERR_UNSUPPORTED, FERR_CORRUPT, FERR_DECODE,
                                                FERR_BAD_IMAGE};
                    EXPECT_NE(std::find(std::begin(allowed), std::end(allowed), r.code),
                              std::end(allowed))
                        << r.code;
                }
                EXPECT_EQ(flt::heap_live_blocks(), 0);
            }
        }
    }
}

TEST(GemBadInput, ZeroSizesAndOddHeaders) {
    for (const Bytes &f : {header8(1, 1, 0, 5), header8(1, 1, 5, 0),
                           cat(header8(1, 0, 8, 2), {0x00, 0x05, 0x00, 0x07, 0x81, 0x81}),
                           cat(header8(1, 200, 8, 1), {0x00, 0x01, 0x12})}) {
        Imported r = import_file(f);
        // Pattern length 0 gives operations that fill nothing; pattern bytes
        // beyond the data are never read.
        if (r.ok) {
            EXPECT_GT(r.rows.size(), 0u);
        }
        EXPECT_EQ(flt::heap_live_blocks(), 0);
    }
}

TEST(GemBadInput, EveryAllocationFailingInTurn) {
    const Exported e = export_image(blocks_image(19, 4, {2, 2, 1}, grey_palette(16, 17, true)));
    ASSERT_TRUE(e.ok);
    for (bool fit : {false, true}) {
        bool succeeded = false;
        for (long n = 1; n < 40 && !succeeded; ++n) {
            ImportOptions o;
            o.fit = fit;
            o.region = {0, 0, 9, 9};
            flt::heap_fail_at(n);
            Imported r = import_file(e.file, o);
            flt::heap_fail_at(0);
            succeeded = r.ok;
            if (!r.ok) {
                EXPECT_EQ(r.code, static_cast<uint32_t>(FERR_NO_MEMORY)) << n;
            }
            EXPECT_EQ(flt::heap_live_blocks(), 0) << n;
        }
        EXPECT_TRUE(succeeded);
    }
}

}  // namespace
