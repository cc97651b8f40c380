// paintxchg export through FilterEntry: header and title, row layout,
// padding and cutting, progress, refusals and failing allocations.
#include <gtest/gtest.h>

#include <cstring>

#include "paint_export_fixtures.h"

namespace {

using namespace paint_export_test;

TEST(PaintExport, HeaderBytes) {
    Exported e = export_image(solid(576, 720, 0xFF));
    ASSERT_TRUE(e.ok);
    ASSERT_EQ(e.file.size(), 640u + 720 * 2);
    Bytes header(640, 0);
    header[1] = 7;
    std::memcpy(&header[2], "CAT.MAC", 7);
    std::memcpy(&header[65], "PNTGVEMA", 8);
    header[131] = 2;
    EXPECT_EQ(Bytes(e.file.begin(), e.file.begin() + 640), header);
    for (int r = 0; r < 720; ++r) {
        EXPECT_EQ(e.file[640 + 2 * r], 0xB9);
        EXPECT_EQ(e.file[641 + 2 * r], 0x00);
    }
    ASSERT_EQ(e.writes.size(), 721u);
    EXPECT_EQ(e.writes[0].count, 640u);
    EXPECT_EQ(e.writes[0].percent, 0);
    EXPECT_EQ(e.writes[1].percent, 0);
    EXPECT_EQ(e.writes[360].percent, 50);
    EXPECT_EQ(e.writes[720].percent, 100);
}

TEST(PaintExport, FileTitles) {
    const std::string long_name(80, 'Q');
    const std::string long_path = "/tmp/" + long_name;
    struct {
        const char *path;
        bool ok;
        std::string title;
        uint32_t code;
    } cases[] = {
        {"/tmp/CAT.MAC", true, "CAT.MAC", 0},
        {"CAT.MAC", true, "CAT.MAC", 0},
        {"a/b/picture one.mac", true, "picture one.mac", 0},
        {nullptr, true, "PAINT1.MAC", 0},
        {long_path.c_str(), true, long_name.substr(0, 63), 0},
        {"/tmp/dir/", false, "", FERR_FILE_NAME},
        {"", false, "", FERR_FILE_NAME},
    };
    for (const auto &c : cases) {
        ExportOptions o;
        o.path = c.path;
        Exported e = export_image(bilevel(8, 2, 5), o);
        ASSERT_EQ(e.ok, c.ok) << (c.path ? c.path : "(null)");
        if (!c.ok) {
            EXPECT_EQ(e.code, c.code);
            EXPECT_TRUE(e.writes.empty());
            continue;
        }
        EXPECT_EQ(e.file[1], c.title.size());
        EXPECT_EQ(std::string(e.file.begin() + 2, e.file.begin() + 2 + c.title.size()), c.title);
        if (c.title.size() < 63) {
            EXPECT_EQ(e.file[2 + c.title.size()], 0);
        }
    }
}

TEST(PaintExport, HundredByFifty) {
    host::Image im = bilevel(100, 50, 9);
    Exported e = export_image(im);
    ASSERT_TRUE(e.ok);
    const std::vector<Bytes> rows = decode_rows(e.file);
    ASSERT_EQ(rows.size(), 720u);
    size_t p = 640;
    for (int r = 0; r < 720; ++r) {
        if (r >= 50) {
            EXPECT_EQ(e.file[p], 0xB9);
            p += 2;
            continue;
        }
        // 12 whole bytes, then 0x00 and the partial byte, then 59 white bytes.
        for (int b = 0; b < 12; ++b) EXPECT_EQ(rows[r][b], static_cast<uint8_t>(~im.row(r)[b]));
        EXPECT_EQ(rows[r][12], static_cast<uint8_t>(~im.row(r)[12] & 0xF0));
        for (int b = 13; b < 72; ++b) EXPECT_EQ(rows[r][b], 0);
        size_t q = p;
        size_t whole = 0;
        while (whole < 12) {
            const uint8_t h = e.file[q];
            whole += h < 0x80 ? h + 1u : 257u - h;
            q += h < 0x80 ? h + 2u : 2u;
        }
        EXPECT_EQ(Bytes(e.file.begin() + q, e.file.begin() + q + 4),
                  Bytes({0x00, static_cast<uint8_t>(~im.row(r)[12] & 0xF0), 0xC6, 0x00}));
        p = q + 4;
    }
    EXPECT_EQ(p, e.file.size());
}

TEST(PaintExport, LargerImagesAreCut) {
    host::Image im = bilevel(700, 800, 21);
    Exported e = export_image(im);
    ASSERT_TRUE(e.ok);
    const std::vector<Bytes> rows = decode_rows(e.file);
    ASSERT_EQ(rows.size(), 720u);
    for (int r = 0; r < 720; ++r)
        for (int b = 0; b < 72; ++b)
            ASSERT_EQ(rows[r][b], static_cast<uint8_t>(~im.row(r)[b])) << r << " " << b;
}

TEST(PaintExport, RefusedWrites) {
    struct {
        int at;
        bool cancel;
        uint32_t code;
    } cases[] = {{1, false, FERR_NO_MEMORY},
                 {1, true, FERR_NO_MEMORY},
                 {2, false, FERR_TRANSFER},
                 {300, true, FERR_TRANSFER},
                 {721, false, FERR_TRANSFER}};
    for (const auto &c : cases) {
        ExportOptions o;
        o.refuseWriteAt = c.at;
        o.storeCancel = c.cancel;
        Exported e = export_image(bilevel(30, 30, 2), o);
        EXPECT_FALSE(e.ok);
        EXPECT_EQ(e.code, c.code) << c.at;
        EXPECT_EQ(e.writes.size(), static_cast<size_t>(c.at));
        EXPECT_EQ(flt::heap_live_blocks(), 0);
    }
}

TEST(PaintExport, RefusesWhatItCannotWrite) {
    for (int bpp : {4, 8, 24}) {
        host::Image im;
        im.width = 10, im.height = 10, im.bitsPerPixel = bpp;
        im.allocate();
        Exported e = export_image(im);
        EXPECT_FALSE(e.ok);
        EXPECT_EQ(e.code, static_cast<uint32_t>(FERR_BAD_REQUEST));
        EXPECT_TRUE(e.writes.empty());
    }
    host::Image negative = bilevel(1, 1, 1);
    negative.width = -8;
    Exported e = export_image(negative);
    EXPECT_EQ(e.code, static_cast<uint32_t>(FERR_BAD_REQUEST));
}

// An image with a side of 0 is written as the blank picture.
TEST(PaintExport, ImagesWithoutPixelsAreTheBlankPicture) {
    for (auto [w, h] : {std::pair{0, 0}, {0, 10}, {10, 0}}) {
        host::Image im = bilevel(1, 1, 1);
        im.width = w, im.height = h;
        Exported e = export_image(im);
        ASSERT_TRUE(e.ok) << w << "x" << h << ": " << e.code;
        ASSERT_EQ(e.file.size(), 640u + 720 * 2);
        for (size_t p = 640; p < e.file.size(); p += 2)
            ASSERT_EQ(Bytes(e.file.begin() + p, e.file.begin() + p + 2), Bytes({0xB9, 0x00}));
    }
}

TEST(PaintExport, EveryAllocationFailingInTurn) {
    bool succeeded = false;
    for (long n = 1; n < 10 && !succeeded; ++n) {
        flt::heap_fail_at(n);
        Exported e = export_image(bilevel(40, 9, 4));
        flt::heap_fail_at(0);
        succeeded = e.ok;
        if (!e.ok) {
            EXPECT_EQ(e.code, static_cast<uint32_t>(FERR_NO_MEMORY)) << n;
            EXPECT_TRUE(e.writes.empty());
        }
        EXPECT_EQ(flt::heap_live_blocks(), 0);
    }
    EXPECT_TRUE(succeeded);
}

}  // namespace
