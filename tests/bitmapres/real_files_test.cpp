// Bitmaps of real executables that were not made here: DLLs linked by
// mingw-w64 from BMP files that ImageMagick wrote, read through FilterEntry
// and through filterhost, each compared pixel by pixel with ImageMagick's own
// decoding of the BMP; and, where Wine is installed, the bitmaps of its PE
// DLLs compared with what wrestool extracts and ImageMagick decodes.
#include "real_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "host/host.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t image_rgb(const host::Image &im, int32_t x, int32_t top) {
    const uint8_t *row = im.row(top);
    if (im.bitsPerPixel == 24)
        return uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
    uint32_t p;
    if (im.bitsPerPixel == 8) {
        p = row[x];
    } else {
        const int bits = im.bitsPerPixel, bit = x * bits;
        p = row[bit / 8] >> (8 - bits - bit % 8) & ((1u << bits) - 1);
    }
    const uint8_t *e = &im.palette.at(3 * p);
    return uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
}

bool load_ppm(const std::string &path, host::Image *im) {
    Bytes bytes;
    std::string error;
    return host::read_file(path, &bytes) && host::read_netpbm(bytes, im, nullptr, &error);
}

// Compares the harness's delivered image with a netpbm reference.
void expect_same(const fx::Harness &h, const host::Image &ref, const std::string &what) {
    ASSERT_EQ(h.rows_high(), ref.height) << what;
    ASSERT_FALSE(h.rows.empty()) << what;
    ASSERT_EQ(h.rows[0].width, ref.width) << what;
    int bad = 0;
    for (int32_t y = 0; y < ref.height; ++y)
        for (int32_t x = 0; x < ref.width; ++x)
            if (h.rgb(x, y) != image_rgb(ref, x, y) && ++bad <= 3)
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex
                              << h.rgb(x, y) << ", expected " << image_rgb(ref, x, y);
}

struct Entry {
    std::string resource, reference;
};

std::vector<Entry> manifest() {
    std::vector<Entry> out;
    std::ifstream in(fx::fixture_path("manifest.txt"));
    Entry e;
    while (in >> e.resource >> e.reference) out.push_back(e);
    return out;
}

int32_t depth_of(const std::string &reference) {
    static const std::map<std::string, int32_t> depths = {
        {"bits1", 1}, {"bits4", 4}, {"bits8", 8}, {"rle8", 8}, {"rle8w40", 8}, {"rle4", 4}};
    auto it = depths.find(reference);
    return it == depths.end() ? 24 : it->second;
}

class MingwDll : public testing::TestWithParam<const char *> {};

TEST_P(MingwDll, EveryBitmapEqualsItsBmp) {
    Bytes dll;
    if (!fx::read_fixture(fx::fixture_path(GetParam()), &dll))
        GTEST_SKIP() << fx::missing_fixtures_message();
    const std::vector<Entry> entries = manifest();
    ASSERT_EQ(entries.size(), 15u);
    fx::Harness h;
    h.set_file(dll);
    ASSERT_TRUE(h.identify()) << h.record().errorCode;
    EXPECT_EQ(h.record().imageCount, 15);
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string what = entries[i].resource + " (" + entries[i].reference + ")";
        host::Image ref;
        ASSERT_TRUE(load_ppm(fx::fixture_path(entries[i].reference + ".ppm"), &ref)) << what;
        h.record().imageIndex = int32_t(i + 1);
        ASSERT_TRUE(h.import_image()) << what << ": " << h.record().errorCode;
        EXPECT_EQ(h.record().bitsPerPixel, depth_of(entries[i].reference)) << what;
        expect_same(h, ref, what);
    }
    h.record().imageIndex = 16;
    EXPECT_FALSE(h.identify());
    EXPECT_EQ(h.record().errorCode, uint32_t(FERR_CORRUPT));
}

INSTANTIATE_TEST_SUITE_P(RealFiles, MingwDll, testing::Values("bitmaps32.dll", "bitmaps64.dll"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param).substr(0, 9);
                         });

std::string run(const std::string &command) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
    return out;
}

TEST(RealFiles, FilterhostListsAndConverts) {
    const std::string dll = fx::fixture_path("bitmaps32.dll");
    Bytes bytes;
    if (!fx::read_fixture(dll, &bytes)) GTEST_SKIP() << fx::missing_fixtures_message();
    const std::string host = std::string(FILTERHOST) + " --modules " MODULE_DIR " ";
    const std::string info = run(host + "info " + dll);
    EXPECT_NE(info.find("images: 15"), std::string::npos) << info;
    EXPECT_NE(info.find("image 11: 37 x 23, 24 bits per pixel (16 in the file)"), std::string::npos)
        << info;
    EXPECT_NE(info.find("image 14: 40 x 9, 8 bits per pixel"), std::string::npos) << info;
    const std::vector<Entry> entries = manifest();
    for (int index : {3, 7, 11}) {
        const std::string out = fx::fixture_path("converted.ppm");
        std::remove(out.c_str());
        ASSERT_EQ(std::system((host + "convert " + dll + " " + out + " --quiet --index " +
                               std::to_string(index))
                                  .c_str()),
                  0);
        host::Image got, ref;
        ASSERT_TRUE(load_ppm(out, &got));
        ASSERT_TRUE(
            load_ppm(fx::fixture_path(entries[size_t(index - 1)].reference + ".ppm"), &ref));
        ASSERT_EQ(got.width, ref.width);
        ASSERT_EQ(got.height, ref.height);
        for (int32_t y = 0; y < ref.height; ++y)
            for (int32_t x = 0; x < ref.width; ++x)
                ASSERT_EQ(image_rgb(got, x, y), image_rgb(ref, x, y))
                    << index << " " << x << "," << y;
    }
}

// Wine's DLLs, where the package is installed: every bitmap that wrestool
// lists, in the same order, equals wrestool's extraction as ImageMagick
// decodes it.
TEST(RealFiles, WineDllsMatchWrestoolAndImageMagick) {
#ifdef _WIN32
    GTEST_SKIP() << "wrestool and ImageMagick are Linux programs";
#endif
    const std::string wrestool = RSRC_WRESTOOL, convert = RSRC_CONVERT;
    if (wrestool.empty() || convert.empty())
        GTEST_SKIP() << "wrestool (icoutils) or ImageMagick not found";
    std::vector<std::string> dlls;
    for (const char *dir : {"/usr/lib/i386-linux-gnu/wine/i386-windows/",
                            "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/"})
        for (const char *name : {"comctl32.dll", "user32.dll", "comdlg32.dll"}) {
            Bytes probe;
            if (fx::read_fixture(std::string(dir) + name, &probe))
                dlls.push_back(std::string(dir) + name);
        }
    if (dlls.empty()) GTEST_SKIP() << "no Wine PE DLLs installed (package wine)";
    const std::string tmp = fx::fixture_path("wine");
    std::system(("mkdir -p " + tmp).c_str());
    int compared = 0, unsupported = 0;
    for (const std::string &dll : dlls) {
        Bytes bytes;
        ASSERT_TRUE(fx::read_fixture(dll, &bytes));
        std::istringstream list(run(wrestool + " -l --type=2 " + dll + " 2>/dev/null"));
        std::vector<std::string> names;
        std::string line;
        while (std::getline(list, line))
            if (line.find("--type=2") != std::string::npos) names.push_back(line);
        fx::Harness h;
        h.set_file(bytes);
        ASSERT_TRUE(h.identify()) << dll;
        ASSERT_EQ(h.record().imageCount, int32_t(names.size())) << dll;
        for (size_t i = 0; i < names.size() && i < 40; ++i) {
            const size_t n = names[i].find("--name="), l = names[i].find("--language=");
            const std::string name = names[i].substr(n + 7, names[i].find(' ', n) - n - 7);
            const std::string lang = names[i].substr(l + 11, names[i].find(' ', l) - l - 11);
            const std::string bmp = tmp + "/x.bmp", ppm = tmp + "/x.ppm";
            std::remove(ppm.c_str());
            std::system((wrestool + " -x --type=2 --name=" + name + " --language=" + lang + " -o " +
                         bmp + " " + dll + " 2>/dev/null && " + convert + " " + bmp +
                         " -alpha off -depth 8 " + ppm + " 2>/dev/null")
                            .c_str());
            host::Image ref;
            if (!load_ppm(ppm, &ref)) continue;  // a form ImageMagick does not read
            h.record().imageIndex = int32_t(i + 1);
            if (!h.import_image()) {
                // 16-bit bitmaps without bit fields are not taken.
                EXPECT_EQ(h.record().errorCode, uint32_t(FERR_UNSUPPORTED))
                    << dll << " " << names[i];
                ++unsupported;
                continue;
            }
            if (h.record().fileBitsPerPixel == 16) continue;  // ImageMagick widens the fields
            expect_same(h, ref, dll + " " + names[i]);
            ++compared;
        }
    }
    std::printf("[ wine     ] %d bitmaps of %zu DLLs compared, %d not supported\n", compared,
                dlls.size(), unsupported);
    EXPECT_GT(compared, 0);
}

}  // namespace
