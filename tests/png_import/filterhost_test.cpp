// filterhost converts a PNG to PPM, and its alpha plane to PGM, as libpng
// decodes them.
#include <gtest/gtest.h>

#include "png_fixtures.h"
#include "support/tools.h"

namespace png_test {
namespace {

TEST(PngFilterhost, ConvertsColourAndAlphaPlanes) {
    using namespace testing_support;
    const std::vector<uint8_t> file = encode(make_samples(23, 9, 6, 16, true, 9));
    const std::string in = temp_path("rgba.png"), ppm = temp_path("rgba.ppm"),
                      pgm = temp_path("alpha.pgm");
    write_bytes(in, file);
    const std::string cmd = std::string(FILTERHOST) + " --modules " + MODULE_DIR + " convert ";
    ASSERT_TRUE(run(cmd + in + " " + ppm));
    ASSERT_TRUE(run(cmd + "--index 2 " + in + " " + pgm));
    struct Plane {
        const std::string &path;
        int32_t index;
    } planes[] = {{ppm, 1}, {pgm, 2}};
    for (const Plane &p : planes) {
        host::Image got;
        std::string error;
        ASSERT_TRUE(host::read_netpbm(read_bytes(p.path), &got, nullptr, &error)) << error;
        EXPECT_EQ(compare_images(got, reference_decode(file, p.index).image), "") << p.path;
        std::remove(p.path.c_str());
    }
    std::remove(in.c_str());
}

}  // namespace
}  // namespace png_test
