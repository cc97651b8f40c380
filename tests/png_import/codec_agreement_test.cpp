// png_codec, the reference of the Windows build, against libpng: it reads
// what libpng writes as libpng reads it, and libpng reads what it writes.
#include <dirent.h>
#include <gtest/gtest.h>

#include <string>

#include "png_fixtures.h"

namespace png_test {
namespace {

std::string same(const Expected &a, const Expected &b) {
    if (!a.ok || !b.ok) return a.ok ? "png_codec refused" : "libpng refused";
    if (a.image.palette != b.image.palette) return "palette";
    return compare_images(a.image, b.image);
}

TEST(PngCodec, AgreesWithLibpngBothWays) {
    const int formats[][2] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                              {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                           PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};
    for (const auto &f : formats)
        for (bool interlace : {false, true})
            for (int filter : filters)
                for (uint32_t size : {1u, 5u, 19u}) {
                    Samples s = make_samples(size, size + 2, f[0], f[1], interlace, size);
                    s.filters = filter;
                    const std::string what = "type " + std::to_string(f[0]) + " depth " +
                                             std::to_string(f[1]) + " filters " +
                                             std::to_string(filter) + " size " +
                                             std::to_string(size) + (interlace ? " i" : "");
                    for (int32_t index : {1, 2}) {
                        const Expected libpng = reference_decode(encode(s), index);
                        EXPECT_EQ(same(codec_decode(encode(s), index), libpng), "") << what;
                        EXPECT_EQ(same(reference_decode(codec_encode(s), index), libpng), "")
                            << what;
                    }
                }
}

TEST(PngCodec, ReadsThePngSuiteAsLibpng) {
    const std::string dir = std::string(TESTDATA_DIR) + "/pngsuite";
    DIR *d = opendir(dir.c_str());
    if (!d) GTEST_FAIL() << "PngSuite missing from " << dir;
    int checked = 0;
    while (dirent *e = readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() < 5 || n.substr(n.size() - 4) != ".png" || n[0] == 'x') continue;
        std::vector<uint8_t> file;
        ASSERT_TRUE(host::read_file(dir + "/" + n, &file)) << n;
        for (int32_t index : {1, 2})
            EXPECT_EQ(same(codec_decode(file, index), reference_decode(file, index)), "") << n;
        ++checked;
    }
    closedir(d);
    EXPECT_GE(checked, 160);
}

}  // namespace
}  // namespace png_test
