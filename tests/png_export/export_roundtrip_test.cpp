// Every written file is read back by libpng and pngcheck and must give the
// host's pixels exactly: each depth and palette class, one and two planes,
// interlaced and not, every size from 1 x 1 to 17 x 17 and a large image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "export_fixtures.h"
#include "support/tools.h"

namespace png_export_test {
namespace {

int expected_colour_type(Kind k) {
    switch (k) {
        case Kind::kGrey1:
        case Kind::kGrey4:
        case Kind::kGrey8:
            return 0;
        case Kind::kRgb:
            return 2;
        case Kind::kPalette1:
        case Kind::kPalette4:
        case Kind::kPalette8:
            return 3;
        case Kind::kGreyAlpha:
            return 4;
        case Kind::kRgba:
            return 6;
    }
    return -1;
}

std::vector<uint8_t> rgb_palette(const host::Image &image) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 2 < image.palette.size(); i += 3)
        out.insert(out.end(), {image.palette[i + 2], image.palette[i + 1], image.palette[i]});
    return out;
}

// Decodes with libpng and compares everything; returns a failure description.
std::string check_file(const std::vector<uint8_t> &file, Kind kind, const HostPicture &p,
                       bool interlace) {
    if (file.empty()) return "export failed";
    Decoded d = decode_with_libpng(file);
    if (!d.ok || d.warnings) return "libpng: " + d.error;
    const host::Image &c = p.colour;
    if (d.width != static_cast<uint32_t>(c.width) || d.height != static_cast<uint32_t>(c.height))
        return "size";
    if (d.colourType != expected_colour_type(kind))
        return "colour type " + std::to_string(d.colourType);
    int depth = c.bitsPerPixel == 24 ? 8 : c.bitsPerPixel;
    if (d.bitDepth != depth) return "bit depth " + std::to_string(d.bitDepth);
    if (d.interlace != (interlace ? 1 : 0)) return "interlace";
    if (d.colourType == 3 && d.palette != rgb_palette(c)) return "palette";
    if (decoded_samples(d) != expected_samples(p)) return "pixels";
    return "";
}

class ExportRoundTrip : public ::testing::TestWithParam<Kind> {};

TEST_P(ExportRoundTrip, EverySizeUpTo17BothInterlaceModes) {
    Kind kind = GetParam();
    std::string dir = testing_support::temp_path(kind_name(kind));
    ASSERT_TRUE(testing_support::run("mkdir -p " + dir));
    for (bool interlace : {false, true}) {
        for (int32_t w = 1; w <= 17; ++w) {
            for (int32_t h = 1; h <= 17; ++h) {
                HostPicture p = make_picture(kind, w, h, static_cast<uint32_t>(w * 100 + h));
                std::vector<uint8_t> file = export_bytes(p, interlace);
                std::string problem = check_file(file, kind, p, interlace);
                ASSERT_EQ(problem, "")
                    << kind_name(kind) << " " << w << "x" << h << (interlace ? " interlaced" : "");
                testing_support::write_bytes(dir + "/" + std::to_string(w) + "_" +
                                                 std::to_string(h) + (interlace ? "i" : "") +
                                                 ".png",
                                             file);
            }
        }
    }
    if (!testing_support::have_program("pngcheck")) GTEST_SKIP() << "pngcheck not installed";
    std::string report = dir + "/pngcheck.txt";
    bool clean = testing_support::run("cd " + dir + " && pngcheck -q *.png > " + report);
    std::vector<uint8_t> text = testing_support::read_bytes(report);
    EXPECT_TRUE(clean) << std::string(text.begin(), text.end());
    EXPECT_TRUE(text.empty()) << std::string(text.begin(), text.end());
    testing_support::run("rm -rf " + dir);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ExportRoundTrip, ::testing::ValuesIn(all_kinds()),
                         [](const ::testing::TestParamInfo<Kind> &i) {
                             return kind_name(i.param);
                         });

TEST(ExportRoundTripLarge, ManyIdatChunks) {
    for (Kind kind : {Kind::kRgb, Kind::kRgba, Kind::kPalette8, Kind::kGrey1}) {
        for (bool interlace : {false, true}) {
            HostPicture p = make_picture(kind, 613, 421, 7);
            std::vector<uint8_t> file = export_bytes(p, interlace);
            EXPECT_EQ(check_file(file, kind, p, interlace), "") << kind_name(kind) << interlace;
            size_t idat = 0;
            for (const Chunk &c : chunks_of(file)) idat += c.type == "IDAT";
            EXPECT_GT(idat, 2u) << kind_name(kind);
        }
    }
}

// filterhost converts netpbm input, with and without alpha and interlacing.
TEST(ExportFilterhost, ConvertsNetpbmToPng) {
    struct Case {
        const char *name;
        std::string header;
        size_t bytes_per_pixel_x8;  // bits per pixel of the raster
        int colour_type;
    } cases[] = {
        {"ppm", "P6 13 9 255\n", 24, 2},
        {"pgm", "P5 13 9 255\n", 8, 0},
        {"pbm", "P4 13 9\n", 1, 0},
        {"pam", "P7\nWIDTH 13\nHEIGHT 9\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", 32, 6},
        {"pam", "P7\nWIDTH 13\nHEIGHT 9\nDEPTH 2\nMAXVAL 255\nTUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n",
         16, 4},
    };
    for (const Case &c : cases) {
        for (bool interlace : {false, true}) {
            std::vector<uint8_t> in(c.header.begin(), c.header.end());
            size_t raster = c.bytes_per_pixel_x8 == 1 ? 2 * 9 : 13 * 9 * c.bytes_per_pixel_x8 / 8;
            uint32_t seed = 5;
            for (size_t i = 0; i < raster; ++i)
                in.push_back(static_cast<uint8_t>((seed = seed * 69069 + 1) >> 24));
            std::string src = testing_support::temp_path(std::string("in.") + c.name);
            std::string out = testing_support::temp_path("out.png");
            testing_support::write_bytes(src, in);
            ASSERT_TRUE(testing_support::run(std::string(FILTERHOST) + " convert " + src + " " +
                                             out + (interlace ? " --interlace" : "")))
                << c.header;
            HostPicture p;
            std::string error;
            ASSERT_TRUE(host::read_netpbm(in, &p.colour, &p.alpha, &error)) << error;
            std::vector<uint8_t> file = testing_support::read_bytes(out);
            Decoded d = decode_with_libpng(file);
            ASSERT_TRUE(d.ok && d.warnings == 0) << d.error;
            EXPECT_EQ(d.colourType, c.colour_type) << c.header;
            EXPECT_EQ(d.interlace, interlace ? 1 : 0) << c.header;
            EXPECT_EQ(decoded_samples(d), expected_samples(p)) << c.header;
            std::remove(src.c_str());
            std::remove(out.c_str());
        }
    }
}

}  // namespace
}  // namespace png_export_test

namespace png_export_test {
namespace {

// A PNG with alpha converts to a PNG with alpha: filterhost imports both
// planes and exports them as two.
TEST(ExportFilterhost, PngWithAlphaToPng) {
    HostPicture p = make_picture(Kind::kRgba, 21, 11, 3);
    std::string in = testing_support::temp_path("rgba.png");
    std::string out = testing_support::temp_path("copy.png");
    testing_support::write_bytes(in, export_bytes(p));
    ASSERT_TRUE(testing_support::run(std::string(FILTERHOST) + " convert " + in + " " + out +
                                     " --interlace"));
    Decoded d = decode_with_libpng(testing_support::read_bytes(out));
    ASSERT_TRUE(d.ok && d.warnings == 0) << d.error;
    EXPECT_EQ(d.colourType, 6);
    EXPECT_EQ(d.interlace, 1);
    EXPECT_EQ(decoded_samples(d), expected_samples(p));
    std::remove(in.c_str());
    std::remove(out.c_str());
}

}  // namespace
}  // namespace png_export_test

#include <dirent.h>

namespace png_export_test {
namespace {

struct Planes {
    bool ok = false;
    host::Image colour, alpha;
};

Planes import_both(const std::vector<uint8_t> &file) {
    Planes p;
    auto s = new_session();
    s->set_file(file);
    s->record().imageIndex = 1;
    if (!s->import_image()) return p;
    p.colour = s->image();
    bool linked = s->record().imageCount == 2;
    s->end_import();
    if (linked) {
        auto t = new_session();
        t->set_file(file);
        t->record().imageIndex = 2;
        if (!t->import_image()) return p;
        p.alpha = t->image();
        t->end_import();
    }
    p.ok = true;
    return p;
}

// Every PngSuite image the reader takes goes out again (both planes, both
// interlace modes) and reads back to the same pixels.
TEST(ExportPngSuite, ImportExportImport) {
    std::string dir = std::string(TESTDATA_DIR) + "/pngsuite";
    DIR *d = opendir(dir.c_str());
    if (!d) GTEST_FAIL() << "PngSuite missing from " << dir;
    std::vector<std::string> names;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 4 && n.substr(n.size() - 4) == ".png") names.push_back(n);
    }
    closedir(d);
    int exported = 0;
    for (const std::string &n : names) {
        Planes in = import_both(testing_support::read_bytes(dir + "/" + n));
        if (!in.ok) continue;  // damaged or unsupported on purpose
        HostPicture p{in.colour, in.alpha};
        for (bool interlace : {false, true}) {
            std::vector<uint8_t> file = export_bytes(p, interlace);
            ASSERT_FALSE(file.empty()) << n;
            Decoded dec = decode_with_libpng(file);
            EXPECT_TRUE(dec.ok && dec.warnings == 0) << n << ": " << dec.error;
            Planes out = import_both(file);
            ASSERT_TRUE(out.ok) << n;
            EXPECT_EQ(pixel_values(out.colour), pixel_values(in.colour)) << n;
            EXPECT_EQ(pixel_values(out.alpha), pixel_values(in.alpha)) << n;
            // A 2-bit palette comes back as a 4-bit one: its entries, then black.
            std::vector<uint8_t> palette = out.colour.palette;
            ASSERT_GE(palette.size(), in.colour.palette.size()) << n;
            EXPECT_TRUE(std::all_of(palette.begin() + in.colour.palette.size(), palette.end(),
                                    [](uint8_t b) { return b == 0; }))
                << n;
            palette.resize(in.colour.palette.size());
            EXPECT_EQ(palette, in.colour.palette) << n;
            ++exported;
        }
    }
    EXPECT_GT(exported, 100);
}

}  // namespace
}  // namespace png_export_test
