// gemxchg against netpbm, which nobody here wrote: files from pbmtogem import
// to the pixels of their PBM, and gemtopnm reads what we write (1 and 4
// planes, the variants it knows) to the pixels we wrote.
#include <gtest/gtest.h>

#include <random>

#include "format.h"
#include "gem_fixtures.h"
#include "support/tools.h"

namespace {

using namespace gem_test;
using namespace testing_support;

#define REQUIRE_NETPBM()                                        \
    if (!have_program("pbmtogem") || !have_program("gemtopnm")) \
    GTEST_SKIP() << "netpbm (pbmtogem, gemtopnm) not installed"

// A PBM (P4, 1 = black) of a named pattern.
Bytes pbm(int width, int height, int kind, uint32_t seed) {
    std::string head = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    Bytes out(head.begin(), head.end());
    std::mt19937 rng(seed);
    const int rb = (width + 7) / 8;
    Bytes row(rb);
    for (int y = 0; y < height; ++y) {
        if (kind != 2 || y % 17 == 0)
            for (int b = 0; b < rb; ++b) {
                const uint32_t r = rng();
                row[b] = kind == 0 ? static_cast<uint8_t>(r)
                                   : static_cast<uint8_t>(r % 5 == 0            ? r
                                                          : (b * 3 + y) % 7 < 3 ? 0xFF
                                                                                : 0);
            }
        if (width % 8) row[rb - 1] &= static_cast<uint8_t>(0xFF << (8 - width % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

host::Image read_pnm(const Bytes &b) {
    host::Image im;
    std::string error;
    EXPECT_TRUE(host::read_netpbm(b, &im, nullptr, &error)) << error;
    return im;
}

struct Shape {
    int width, height, kind;
};
const Shape kShapes[] = {{1, 1, 0},     {7, 3, 0},     {64, 40, 1},
                         {333, 121, 0}, {1000, 90, 2}, {17, 600, 2}};

TEST(GemReference, PbmtogemFilesImportToTheirPbm) {
    REQUIRE_NETPBM();
    uint32_t seed = 1;
    for (const Shape &s : kShapes) {
        const std::string in = temp_path("ref.pbm"), img = temp_path("ref.img");
        const Bytes source = pbm(s.width, s.height, s.kind, seed++);
        write_bytes(in, source);
        ASSERT_TRUE(run("pbmtogem " + in + " > " + img));
        Imported r = import_file(read_bytes(img));
        ASSERT_TRUE(r.ok) << r.code;
        const host::Image expected = read_pnm(source);  // palette black, white: bit 0 black
        ASSERT_EQ(r.image.width, s.width);
        ASSERT_EQ(r.image.height, s.height);
        // Our palette is white, black: every bit is inverted.
        host::Image ours = r.image;
        for (int y = 0; y < ours.height; ++y)
            for (size_t b = 0; b < ours.row_bytes(); ++b) {
                uint8_t v = static_cast<uint8_t>(~ours.row(y)[b]);
                if (b + 1 == ours.row_bytes() && s.width % 8)
                    v &= static_cast<uint8_t>(0xFF << (8 - s.width % 8));
                ours.row(y)[b] = v;
            }
        EXPECT_EQ(ours.pixels, expected.pixels) << s.width << "x" << s.height;
        std::remove(in.c_str());
        std::remove(img.c_str());
    }
}

TEST(GemReference, GemtopnmReadsOurBilevelFiles) {
    REQUIRE_NETPBM();
    uint32_t seed = 40;
    for (const Shape &s : kShapes) {
        const host::Image source = read_pnm(pbm(s.width, s.height, s.kind, seed++));
        Exported e = export_image(source);
        ASSERT_TRUE(e.ok);
        const std::string img = temp_path("ours.img"), back = temp_path("ours.pbm");
        write_bytes(img, e.file);
        ASSERT_TRUE(run("gemtopnm " + img + " > " + back));
        const host::Image theirs = read_pnm(read_bytes(back));
        EXPECT_EQ(theirs.width, s.width);
        EXPECT_EQ(theirs.pixels, source.pixels) << s.width << "x" << s.height;
        std::remove(img.c_str());
        std::remove(back.c_str());
    }
}

// gemtopnm colours four planes with the intensity palette at maxval 3, so
// our 8-word files must come out in those colours.
TEST(GemReference, GemtopnmReadsOurFourPlaneFiles) {
    REQUIRE_NETPBM();
    const Bytes palette = bgr_of(gem::ImgPaletteIntensity, 16);
    for (int width : {1, 16, 75, 640}) {
        const host::Image source = blocks_image(width, 4, {1, 2, 5, 1, 300, 1}, palette, width);
        Exported e = export_image(source);
        ASSERT_TRUE(e.ok);
        ASSERT_EQ(e.file[3], 8);
        const std::string img = temp_path("four.img"), back = temp_path("four.ppm");
        write_bytes(img, e.file);
        ASSERT_TRUE(run("gemtopnm " + img + " | pamdepth 255 > " + back));
        const host::Image theirs = read_pnm(read_bytes(back));
        ASSERT_EQ(theirs.bitsPerPixel, 24);
        ASSERT_EQ(theirs.height, source.height);
        for (int y = 0; y < source.height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t b = source.row(y)[x / 2];
                const int index = (x & 1) ? b & 0x0F : b >> 4;
                ASSERT_EQ(Bytes(theirs.row(y) + 3 * x, theirs.row(y) + 3 * x + 3),
                          Bytes(palette.begin() + 3 * index, palette.begin() + 3 * index + 3))
                    << "x " << x << " y " << y;
            }
        std::remove(img.c_str());
        std::remove(back.c_str());
    }
}

// filterhost converts to and from .img for every class and keeps the pixels.
TEST(GemReference, FilterhostConvertsEveryClass) {
    REQUIRE_NETPBM();
    const std::string base = temp_path("fh");
    struct {
        std::string make;
        std::string ext;
    } inputs[] = {
        {"pbmtext GEM | pnminvert", "pbm"},
        {"pgmramp -lr 97 31", "pgm"},
        {"ppmrainbow -width 77 -height 19 red green blue", "ppm"},
    };
    for (const auto &in : inputs) {
        const std::string src = base + "." + in.ext, img = base + ".img",
                          back = base + ".back." + in.ext;
        ASSERT_TRUE(run(in.make + " > " + src));
        ASSERT_TRUE(run(std::string(FILTERHOST) + " convert " + src + " " + img + " --quiet"));
        ASSERT_TRUE(run(std::string(FILTERHOST) + " convert " + img + " " + back + " --quiet"));
        const host::Image a = read_pnm(read_bytes(src)), b = read_pnm(read_bytes(back));
        EXPECT_EQ(a.bitsPerPixel, b.bitsPerPixel) << in.ext;
        EXPECT_EQ(a.pixels, b.pixels) << in.ext;
        std::remove(src.c_str());
        std::remove(img.c_str());
        std::remove(back.c_str());
    }
    // The 4-bit class: a file of ours converted to .img again and to .ppm.
    const Bytes palette = bgr_of(gem::ImgPaletteIntensity, 16);
    Exported e = export_image(blocks_image(50, 4, {3, 1, 4}, palette));
    const std::string img = base + ".4.img", again = base + ".4b.img", ppm = base + ".4.ppm",
                      ref = base + ".4r.ppm";
    write_bytes(img, e.file);
    ASSERT_TRUE(run(std::string(FILTERHOST) + " convert " + img + " " + again + " --quiet"));
    EXPECT_EQ(read_bytes(again), e.file);
    ASSERT_TRUE(run(std::string(FILTERHOST) + " convert " + img + " " + ppm + " --quiet"));
    ASSERT_TRUE(run("gemtopnm " + img + " | pamdepth 255 > " + ref));
    EXPECT_EQ(read_pnm(read_bytes(ppm)).pixels, read_pnm(read_bytes(ref)).pixels);
    for (const auto &f : {img, again, ppm, ref}) std::remove(f.c_str());
}

}  // namespace
