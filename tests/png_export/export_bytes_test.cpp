// The bytes the writer fixes: signature writes, chunk order, IHDR, PLTE, pHYs,
// tEXt, the 8192-byte IDAT chunks, progress values.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "export_fixtures.h"

namespace png_export_test {
namespace {

std::vector<std::string> types_of(const std::vector<Chunk> &chunks) {
    std::vector<std::string> t;
    for (const Chunk &c : chunks) t.push_back(c.type);
    return t;
}

TEST(ExportBytes, OneRgbPixel) {
    HostPicture p = make_picture(Kind::kRgb, 1, 1);
    auto s = new_session();
    ASSERT_TRUE(export_picture(*s, p));
    const auto &w = s->writes();
    // The signature goes out as two writes of 4 bytes, progress 0.
    ASSERT_GE(w.size(), 2u);
    EXPECT_EQ(w[0].count, 4u);
    EXPECT_EQ(w[1].count, 4u);
    EXPECT_EQ(w[0].percent, 0);
    std::vector<Chunk> chunks = chunks_of(s->output());
    EXPECT_EQ(types_of(chunks), (std::vector<std::string>{"IHDR", "pHYs", "IDAT", "IEND"}));
    for (const Chunk &c : chunks) EXPECT_TRUE(c.crcOk) << c.type;
    const uint8_t ihdr[13] = {0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0};
    ASSERT_EQ(chunks[0].data.size(), 13u);
    EXPECT_EQ(std::memcmp(chunks[0].data.data(), ihdr, 13), 0);
    // Every chunk is three writes (length+type, data, CRC), IEND two.
    // 2 + IHDR 3 + pHYs 3 + IDAT 3 + IEND 2.
    EXPECT_EQ(w.size(), 13u);
    EXPECT_EQ(w.back().percent, 100);
    EXPECT_EQ(w[w.size() - 2].percent, 100);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(w[i].percent, 0) << i;
    s->end_export();
}

TEST(ExportBytes, PhysAndComment) {
    struct Case {
        int32_t xres, yres;
        const char *comment;  // null: none
        uint32_t x, y;
    } cases[] = {
        {2834645, 2834645, "abc", 2834, 2834},
        {0, 0, "", 0, 0},
        {3937000, 1999, nullptr, 3937, 1},
        {-5000, 999, "x", static_cast<uint32_t>(-5), 0},
    };
    for (const Case &c : cases) {
        HostPicture p = make_picture(Kind::kGrey8, 3, 2);
        p.colour.xResolution = c.xres;
        p.colour.yResolution = c.yres;
        p.colour.comment = c.comment ? c.comment : "";
        auto s = new_session();
        s->export_empty_comment = c.comment != nullptr;
        ASSERT_TRUE(export_picture(*s, p));
        std::vector<Chunk> chunks = chunks_of(s->output());
        std::vector<std::string> order = {"IHDR", "pHYs"};
        if (c.comment) order.push_back("tEXt");
        order.insert(order.end(), {"IDAT", "IEND"});
        EXPECT_EQ(types_of(chunks), order);
        const Chunk &phys = chunks[1];
        ASSERT_EQ(phys.data.size(), 9u);
        EXPECT_EQ(be32(&phys.data[0]), c.x);
        EXPECT_EQ(be32(&phys.data[4]), c.y);
        EXPECT_EQ(phys.data[8], 1);
        if (c.comment) {
            std::string expect = std::string("Comment") + '\0' + c.comment;
            EXPECT_EQ(chunks[2].data.size(), 7 + 1 + std::strlen(c.comment));
            EXPECT_EQ(std::string(chunks[2].data.begin(), chunks[2].data.end()), expect);
        }
        s->end_export();
    }
}

// Grey palettes give grey files without PLTE; one coloured entry a palette.
TEST(ExportBytes, ColourTypeFromPalette) {
    HostPicture p = make_picture(Kind::kGrey4, 5, 3);
    std::vector<Chunk> grey = chunks_of(export_bytes(p));
    EXPECT_EQ(grey[0].data[9], 0);
    EXPECT_EQ(grey[0].data[8], 4);
    EXPECT_EQ(types_of(grey), (std::vector<std::string>{"IHDR", "pHYs", "IDAT", "IEND"}));

    p.colour.palette[3 * 7 + 0] = 0x11;  // entry 7 blue
    p.colour.palette[3 * 7 + 2] = 0x99;  // entry 7 red
    std::vector<Chunk> pal = chunks_of(export_bytes(p));
    EXPECT_EQ(pal[0].data[9], 3);
    ASSERT_EQ(pal[1].type, "PLTE");
    ASSERT_EQ(pal[1].data.size(), 48u);
    EXPECT_EQ(pal[1].data[21], 0x99);  // red first
    EXPECT_EQ(pal[1].data[23], 0x11);  // blue last

    // 8-bit grey with an alpha plane is grey + alpha.
    HostPicture ga = make_picture(Kind::kGreyAlpha, 4, 4);
    EXPECT_EQ(chunks_of(export_bytes(ga))[0].data[9], 4);
}

// The PLTE of a sub-byte image holds no more entries than the depth reaches.
TEST(ExportBytes, PaletteCutToDepth) {
    HostPicture p = make_picture(Kind::kPalette1, 9, 2);
    p.colour.palette.resize(3 * 256, 0x40);
    std::vector<Chunk> chunks = chunks_of(export_bytes(p));
    ASSERT_EQ(chunks[1].type, "PLTE");
    EXPECT_EQ(chunks[1].data.size(), 6u);
}

#if PNG_REFERENCE_DECODER
// Grey palettes that are not the plain ramp keep their look: 1- and 4-bit
// images go out as palette images, 8-bit ones as the palette's grey levels.
TEST(ExportBytes, GreyPaletteNotARamp) {
    HostPicture p = make_picture(Kind::kGrey1, 8, 1);
    p.colour.palette = {255, 255, 255, 0, 0, 0};  // white, black
    p.colour.pixels = {0xF0};
    Decoded d = decode_with_libpng(export_bytes(p));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.colourType, 3);
    EXPECT_EQ(d.palette, (std::vector<uint8_t>{255, 255, 255, 0, 0, 0}));

    HostPicture g = make_picture(Kind::kGreyAlpha, 4, 1);
    for (int i = 0; i < 256; ++i) std::memset(&g.colour.palette[3 * i], 255 - i, 3);
    g.colour.pixels = {0, 1, 200, 255};
    d = decode_with_libpng(export_bytes(g));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.colourType, 4);
    std::vector<uint32_t> grey;
    for (int x = 0; x < 4; ++x) grey.push_back(decoded_samples(d)[0][2 * x]);
    EXPECT_EQ(grey, (std::vector<uint32_t>{255, 254, 55, 0}));
}
#endif

// An 8-bit image with a short or missing palette: the entries it has decide.
TEST(ExportBytes, ShortPalettes) {
    HostPicture p = make_picture(Kind::kGrey8, 6, 2);
    p.colour.palette.resize(3 * 16);  // 16 grey entries of the ramp
    for (int i = 0; i < 16; ++i) std::memset(&p.colour.palette[3 * i], i, 3);
    EXPECT_EQ(chunks_of(export_bytes(p))[0].data[9], 0);
    p.colour.palette.clear();
    EXPECT_EQ(chunks_of(export_bytes(p))[0].data[9], 0);
    p.colour.palette = {1, 2, 3, 4, 5, 6};
    std::vector<Chunk> c = chunks_of(export_bytes(p));
    EXPECT_EQ(c[0].data[9], 3);
    EXPECT_EQ(c[1].data.size(), 6u);
}

std::vector<uint8_t> deflated(const std::vector<uint8_t> &raw) {
    uLongf size = compressBound(raw.size());
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress2(out.data(), &size, raw.data(), raw.size(), 6), Z_OK);
    out.resize(size);
    return out;
}

// The scanlines of a one-row grey image: the filter byte, then the pixels.
std::vector<uint8_t> scanline_of(const host::Image &image) {
    // Sized once: growing a one-byte vector by insert() draws a false
    // -Warray-bounds from GCC 12 at -O3.
    std::vector<uint8_t> raw(1 + image.pixels.size(), 0);
    std::copy(image.pixels.begin(), image.pixels.end(), raw.begin() + 1);
    return raw;
}

// IDAT chunks are 8192 bytes but the last; zlib's default stream exactly.
TEST(ExportBytes, IdatChunksOf8192) {
    HostPicture p = make_picture(Kind::kGrey8, 20000, 1, 3);
    auto s = new_session();
    ASSERT_TRUE(export_picture(*s, p));
    std::vector<uint8_t> idat;
    std::vector<size_t> lengths;
    for (const Chunk &c : chunks_of(s->output()))
        if (c.type == "IDAT") {
            lengths.push_back(c.data.size());
            idat.insert(idat.end(), c.data.begin(), c.data.end());
        }
    EXPECT_EQ(idat, deflated(scanline_of(p.colour)));
    ASSERT_EQ(lengths.size(), 3u);
    EXPECT_EQ(lengths[0], 8192u);
    EXPECT_EQ(lengths[1], 8192u);
    EXPECT_GT(lengths[2], 0u);
    EXPECT_LT(lengths[2], 8192u);
    s->end_export();
}

// Compressed data of exactly 16384 bytes: two chunks, no empty third one.
TEST(ExportBytes, Exactly16384CompressedBytes) {
    int32_t width = 0;
    for (int32_t w = 16200; w < 16400 && !width; ++w) {
        HostPicture p = make_picture(Kind::kGrey8, w, 1, 11);
        if (deflated(scanline_of(p.colour)).size() == 16384) width = w;
    }
    ASSERT_NE(width, 0) << "no width gives 16384 compressed bytes";
    HostPicture p = make_picture(Kind::kGrey8, width, 1, 11);
    std::vector<size_t> lengths;
    for (const Chunk &c : chunks_of(export_bytes(p)))
        if (c.type == "IDAT") lengths.push_back(c.data.size());
    EXPECT_EQ(lengths, (std::vector<size_t>{8192, 8192}));
}

// Sequential: each full chunk carries rows fetched * 100 / height, closing
// chunks the last full chunk's value; interlaced: (pass + 1) * 100 / 7.
TEST(ExportBytes, IdatProgress) {
    HostPicture p = make_picture(Kind::kRgb, 300, 40, 9);
    auto s = new_session();
    ASSERT_TRUE(export_picture(*s, p));
    std::vector<int32_t> idat;
    const auto &w = s->writes();
    const auto &out = s->output();
    for (size_t i = 0; i < w.size(); ++i)
        if (w[i].count == 8 && std::memcmp(&out[w[i].offset + 4], "IDAT", 4) == 0)
            idat.push_back(w[i].percent);
    ASSERT_GE(idat.size(), 4u);
    for (size_t i = 1; i < idat.size(); ++i) EXPECT_GE(idat[i], idat[i - 1]);
    EXPECT_LT(idat.front(), 100);
    EXPECT_EQ(idat.back(), idat[idat.size() - 2]);  // the closing chunk
    s->end_export();

    auto t = new_session();
    ASSERT_TRUE(export_picture(*t, p, true));
    const std::vector<int32_t> allowed = {14, 29, 43, 57, 71, 86, 100};
    for (size_t i = 0; i < t->writes().size(); ++i) {
        const auto &wc = t->writes()[i];
        if (wc.count == 8 && std::memcmp(&t->output()[wc.offset + 4], "IDAT", 4) == 0) {
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), wc.percent), allowed.end());
        }
    }
    t->end_export();
}

// Each host row is fetched once per pass that samples it.
TEST(ExportBytes, InterlacedFetchCounts) {
    HostPicture p = make_picture(Kind::kGrey8, 9, 16);
    auto s = new_session();
    ASSERT_TRUE(export_picture(*s, p, true));
    std::vector<int> count(16, 0);
    for (int32_t y : s->fetches()) ++count[15 - y];  // by PNG row
    for (int r = 0; r < 16; ++r) {
        int expect = r % 8 == 0 ? 4 : r % 8 == 4 ? 3 : r % 4 == 2 ? 2 : 1;
        EXPECT_EQ(count[r], expect) << "row " << r;
    }
    s->end_export();
}

}  // namespace
}  // namespace png_export_test
