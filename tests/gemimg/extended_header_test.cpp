// gemxchg on files with the extended "XIMG" header: pen colours from the file,
// true colour, longer pattern lengths, compared with ffmpeg's decoding of the
// same files; and the headers that only look extended.
#include <gtest/gtest.h>

#include "gem_fixtures.h"
#include "support/tools.h"

namespace {

using namespace gem_test;
using namespace testing_support;

// The imported image as red, green, blue bytes, top row first.
Bytes rgb_of(const host::Image &im) {
    Bytes out;
    for (int y = 0; y < im.height; ++y)
        for (int x = 0; x < im.width; ++x) {
            const uint8_t *row = im.row(y), *bgr = row + 3 * x;
            if (im.bitsPerPixel != 24) {
                const int bits = im.bitsPerPixel, shift = 8 - bits - x * bits % 8;
                bgr = im.palette.data() + 3 * (row[x * bits / 8] >> shift & ((1 << bits) - 1));
            }
            out.insert(out.end(), {bgr[2], bgr[1], bgr[0]});
        }
    return out;
}

TEST(GemExtended, ImportsAsFfmpegDecodes) {
    if (!have_program("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
    struct {
        int planes, pattern, width, height;
    } cases[] = {{1, 2, 37, 9},  {2, 2, 30, 5}, {4, 2, 21, 7},  {4, 4, 45, 6},
                 {8, 1, 19, 12}, {8, 4, 64, 5}, {24, 3, 21, 5}, {24, 4, 32, 4}};
    std::mt19937 rng(17);
    for (const auto &c : cases) {
        const Bytes file = ximg_file(c.planes, c.pattern, c.width, c.height, rng);
        const std::string img = temp_path("x.img"), raw = temp_path("x.rgb");
        write_bytes(img, file);
        ASSERT_TRUE(run("ffmpeg -v error -y -i " + img + " -pix_fmt rgb24 -f rawvideo " + raw));
        Imported r = import_file(file);
        ASSERT_TRUE(r.ok) << r.code;
        EXPECT_EQ(r.image.bitsPerPixel, c.planes == 1   ? 1
                                        : c.planes <= 4 ? 4
                                        : c.planes <= 8 ? 8
                                                        : 24);
        EXPECT_EQ(r.image.palette_count(), c.planes <= 8 ? 1 << c.planes : 0);
        EXPECT_EQ(rgb_of(r.image), read_bytes(raw)) << c.planes << " planes, pattern " << c.pattern;
        std::remove(img.c_str());
        std::remove(raw.c_str());
    }
}

// Headers longer than 9 words without usable pens read as their first 8 words
// say; a header longer than the file is refused; levels above 1000 are full.
TEST(GemExtended, OtherLongHeaders) {
    const Bytes line = {0x80, 0x01, 0x60};  // pixels 1 and 2 set
    const std::vector<int> pens = {0, 0, 0, 1000, 500, 1};
    std::vector<int> eight_plane_pens(768, 0);
    eight_plane_pens[765] = 1000;
    struct {
        const char *name;
        Bytes file;
        int32_t paletteCount;  // 0: refused
        Bytes pixel1;          // red, green, blue
    } cases[] = {
        {"10 words",
         cat(words({1, 10, 1, 1, 85, 85, 8, 1, 'X' << 8 | 'I', 'M' << 8 | 'G'}), line),
         2,
         {0, 0, 0}},
        {"pens and more words", cat(ximg_header(1, 1, 8, 1, pens, 3), line), 2, {255, 128, 0}},
        {"colour model 1", cat(ximg_header(1, 1, 8, 1, pens, 0, 1), line), 2, {0, 0, 0}},
        {"too few pens", cat(ximg_header(2, 1, 8, 1, pens), cat(line, {0x01})), 16, {255, 0, 0}},
        {"levels above 1000",
         cat(ximg_header(1, 1, 8, 1, {0, 0, 0, 1001, 65535, 0}), line),
         2,
         {255, 255, 0}},
        {"779 words",
         cat(ximg_header(8, 1, 8, 1, eight_plane_pens), Bytes(8, 0x81)),
         256,
         {255, 0, 0}},
        {"header past the file", cut(ximg_header(1, 1, 8, 1, pens), 33), 0, {}},
    };
    for (const auto &c : cases) {
        Imported r = import_file(c.file);
        ASSERT_EQ(r.ok, c.paletteCount != 0) << c.name;
        if (!r.ok) {
            EXPECT_EQ(r.code, static_cast<uint32_t>(FERR_UNSUPPORTED)) << c.name;
            continue;
        }
        EXPECT_EQ(r.image.palette_count(), c.paletteCount) << c.name;
        const Bytes rgb = rgb_of(r.image);
        EXPECT_EQ(Bytes(rgb.begin() + 3, rgb.begin() + 6), c.pixel1) << c.name;
    }
}

}  // namespace
