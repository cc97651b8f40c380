// gemxchg on files with the extended "XIMG" header: pen colours from the file,
// true colour, longer pattern lengths, compared with ffmpeg's decoding of the
// same files; and the headers that only look extended.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "gem_fixtures.h"
#include "support/tools.h"

namespace {

using namespace gem_test;
using namespace testing_support;

Bytes ximg_header(int planes, int pattern, int width, int height, const std::vector<int> &pens,
                  int extra_words = 0, int model = 0) {
    const int header_words = 11 + static_cast<int>(pens.size()) + extra_words;
    Bytes h = cat(header8(planes, pattern, width, height), {'X', 'I', 'M', 'G'});
    h[3] = static_cast<uint8_t>(header_words), h[2] = static_cast<uint8_t>(header_words >> 8);
    h = cat(h, words({model}));
    for (int level : pens) h = cat(h, words({level}));
    return cat(h, Bytes(2 * extra_words, 0));
}

Bytes cut(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

// Repetitions of the `pattern` bytes at b[0] within n bytes.
size_t repeats(const uint8_t *b, size_t n, size_t pattern) {
    size_t r = 1;
    while ((r + 1) * pattern <= n && r < 255 && std::equal(b, b + pattern, b + r * pattern)) ++r;
    return r;
}

// Run-length encodes n bytes with solid runs of 0x00 and 0xFF, pattern runs
// and literals.
Bytes encode(const uint8_t *b, size_t n, size_t pattern) {
    Bytes out;
    for (size_t i = 0; i < n;) {
        const auto solid = [&](size_t k) { return b[k] == 0x00 || b[k] == 0xFF; };
        size_t run = 1;
        if (solid(i)) {
            while (i + run < n && run < 127 && b[i + run] == b[i]) ++run;
            out.push_back(static_cast<uint8_t>((b[i] ? 0x80 : 0) | run));
        } else if ((run = repeats(b + i, n - i, pattern)) >= 2) {
            out = cat(cat(out, {0x00, static_cast<uint8_t>(run)}), Bytes(b + i, b + i + pattern));
            run *= pattern;
        } else {
            while (i + run < n && run < 255 && !solid(i + run) &&
                   repeats(b + i + run, n - i - run, pattern) < 2)
                ++run;
            out = cat(cat(out, {0x80, static_cast<uint8_t>(run)}), Bytes(b + i, b + i + run));
        }
        i += run;
    }
    return out;
}

// A file of `height` lines of raw plane bytes that mix solid bytes, repeated
// patterns and noise, neighbouring equal lines in replication groups.
Bytes ximg_file(int planes, int pattern, int width, int height, std::mt19937 &rng) {
    std::vector<int> pens;
    if (planes <= 8)
        for (int i = 0; i < 3 << planes; ++i) pens.push_back(static_cast<int>(rng() % 1001));
    Bytes f = ximg_header(planes, pattern, width, height, pens);
    const size_t segment = planes == 24 ? 3 * ((width + 15) / 16 * 16) : (width + 7) / 8;
    const size_t segments = planes == 24 ? 1 : planes;
    for (int y = 0; y < height;) {
        Bytes line(segment * segments);
        const Bytes unit = {static_cast<uint8_t>(rng()), 0x5A, static_cast<uint8_t>(rng()), 0x0F};
        for (size_t i = 0; i < line.size(); ++i) {
            const uint32_t style = (i / 6 + y) % 4;
            line[i] = style == 0   ? 0xFF
                      : style == 1 ? 0x00
                      : style == 2 ? unit[i % pattern % 4]
                                   : static_cast<uint8_t>(rng());
        }
        const int group = std::min<int>(1 + static_cast<int>(rng() % 3), height - y);
        if (group > 1) f = cat(f, {0x00, 0x00, 0xFF, static_cast<uint8_t>(group)});
        for (size_t s = 0; s < segments; ++s)
            f = cat(f, encode(line.data() + s * segment, segment, static_cast<size_t>(pattern)));
        y += group;
    }
    return f;
}

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
