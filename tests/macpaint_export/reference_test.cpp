// paintxchg's writer against netpbm: macptopbm reads what we write to the
// pixels we wrote; pictures from pbmtomacp survive our import and export;
// filterhost converts between .mac, .img and the netpbm formats.
#include <gtest/gtest.h>

#include "paint_export_fixtures.h"
#include "support/tools.h"

namespace {

using namespace paint_export_test;
using namespace testing_support;

#define REQUIRE_NETPBM()                                          \
    if (!have_program("macptopbm") || !have_program("pbmtomacp")) \
    GTEST_SKIP() << "netpbm (macptopbm, pbmtomacp) not installed"

host::Image read_pnm(const Bytes &b) {
    host::Image im;
    std::string error;
    EXPECT_TRUE(host::read_netpbm(b, &im, nullptr, &error)) << error;
    return im;
}

// The host image as a 576 x 720 picture: cut, or padded with white.
host::Image as_picture(const host::Image &im) {
    host::Image out;
    out.width = 576, out.height = 720, out.bitsPerPixel = 1, out.palette = im.palette;
    out.allocate();
    std::fill(out.pixels.begin(), out.pixels.end(), 0xFF);
    for (int y = 0; y < std::min(im.height, 720); ++y)
        for (int x = 0; x < std::min(im.width, 576); ++x)
            if (!(im.row(y)[x / 8] >> (7 - x % 8) & 1))
                out.row(y)[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
    return out;
}

TEST(PaintReference, MacptopbmReadsOurFiles) {
    REQUIRE_NETPBM();
    const std::pair<int, int> sizes[] = {{576, 720}, {100, 50},  {1, 1},
                                         {700, 800}, {333, 721}, {575, 3}};
    uint32_t seed = 1;
    for (auto [w, h] : sizes) {
        const host::Image im = bilevel(w, h, seed++);
        Exported e = export_image(im);
        ASSERT_TRUE(e.ok);
        const std::string mac = temp_path("ours.mac"), pbm = temp_path("ours.pbm");
        write_bytes(mac, e.file);
        ASSERT_TRUE(run("macptopbm " + mac + " > " + pbm));
        const host::Image theirs = read_pnm(read_bytes(pbm));
        EXPECT_EQ(theirs.pixels, as_picture(im).pixels) << w << "x" << h;
        std::remove(mac.c_str());
        std::remove(pbm.c_str());
    }
}

TEST(PaintReference, PbmtomacpPicturesSurviveImportAndExport) {
    REQUIRE_NETPBM();
    const std::string src = temp_path("src.pbm"), theirs = temp_path("theirs.mac"),
                      ours = temp_path("ours.mac"), a = temp_path("a.pbm"), b = temp_path("b.pbm");
    ASSERT_TRUE(
        run("pbmtext -builtin fixed 'MacPaint writer' | pnmscale 3 | pamditherbw -threshold "
            "| pamtopnm > " +
            src));
    ASSERT_TRUE(run("pbmtomacp " + src + " > " + theirs));
    ASSERT_TRUE(run(std::string(FILTERHOST) + " convert " + theirs + " " + ours + " --quiet"));
    ASSERT_TRUE(run("macptopbm " + theirs + " > " + a + " && macptopbm " + ours + " > " + b));
    EXPECT_EQ(read_pnm(read_bytes(a)).pixels, read_pnm(read_bytes(b)).pixels);
    for (const auto &f : {src, theirs, ours, a, b}) std::remove(f.c_str());
}

TEST(PaintReference, FilterhostConvertsBetweenMacAndOtherFormats) {
    REQUIRE_NETPBM();
    const std::string base = temp_path("conv");
    // A grey image thresholded to one bit, a colour one, and a GEM file.
    ASSERT_TRUE(run("pgmramp -lr 600 20 > " + base + ".pgm"));
    ASSERT_TRUE(run("ppmrainbow -width 50 -height 800 white black > " + base + ".ppm"));
    for (const std::string ext : {"pgm", "ppm"}) {
        const std::string in = base + "." + ext, mac = base + "." + ext + ".mac",
                          img = base + "." + ext + ".img", back = base + "." + ext + ".pbm",
                          ref = base + "." + ext + ".ref.pbm";
        ASSERT_TRUE(run(std::string(FILTERHOST) + " convert " + in + " " + mac + " --quiet"));
        ASSERT_TRUE(run("macptopbm " + mac + " > " + ref));
        ASSERT_TRUE(run(std::string(FILTERHOST) + " convert " + mac + " " + back + " --quiet"));
        EXPECT_EQ(read_pnm(read_bytes(back)).pixels, read_pnm(read_bytes(ref)).pixels) << ext;
        // .mac to .img and back to .mac keeps every pixel.
        ASSERT_TRUE(run(std::string(FILTERHOST) + " convert " + mac + " " + img + " --quiet"));
        ASSERT_TRUE(
            run(std::string(FILTERHOST) + " convert " + img + " " + mac + ".2.mac --quiet"));
        ASSERT_TRUE(run("macptopbm " + mac + ".2.mac > " + back));
        EXPECT_EQ(read_pnm(read_bytes(back)).pixels, read_pnm(read_bytes(ref)).pixels) << ext;
        for (const auto &f : {in, mac, img, back, ref, mac + ".2.mac"}) std::remove(f.c_str());
    }
}

}  // namespace
