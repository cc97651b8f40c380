// paintxchg against netpbm: every row of every picture equals macptopbm's,
// with and without a MacBinary header, and filterhost converts the sample.
#include <gtest/gtest.h>

#include "common/muldiv.h"
#include "fixtures.h"

namespace macpaint_test {
namespace {

void expect_same_rows(const host::Image &got, const host::Image &want, const std::string &what) {
    ASSERT_EQ(got.width, want.width) << what;
    ASSERT_EQ(got.height, want.height) << what;
    for (int y = 0; y < want.height; ++y)
        ASSERT_EQ(0, std::memcmp(got.row(y), want.row(y), want.row_bytes()))
            << what << ": row " << y << " differs";
}

TEST(MacPaintReference, IdentifyDescribesThePicture) {
    REQUIRE_NETPBM();
    auto s = session_for(pictures()[0].mac);
    s->record().compressionIndex = 7;
    ASSERT_TRUE(s->identify());
    const FilterRecord &r = s->record();
    EXPECT_EQ(r.width, 576);
    EXPECT_EQ(r.height, 720);
    EXPECT_EQ(r.bitsPerPixel, 1);
    EXPECT_EQ(r.fileBitsPerPixel, 1);
    EXPECT_EQ(r.xResolution, 2834645);
    EXPECT_EQ(r.yResolution, 2834645);
    EXPECT_EQ(r.compressionIndex, 0);
    EXPECT_EQ(r.imageCount, 1);
    EXPECT_EQ(r.imageIndex, 1);
    EXPECT_EQ(r.planeKind, 1);
    EXPECT_EQ(r.linkedCount, 0);
    EXPECT_EQ(r.linkedPlanes, nullptr);
    ASSERT_EQ(r.paletteCount, 2);
    const uint8_t black_white[6] = {0, 0, 0, 255, 255, 255};
    EXPECT_EQ(0, std::memcmp(r.palette, black_white, 6));
    EXPECT_STREQ(r.compressionName, "RLE Compression");
    EXPECT_NE(r.filterState, nullptr);
}

TEST(MacPaintReference, EveryRowEqualsMacptopbmWithAndWithoutMacBinary) {
    REQUIRE_NETPBM();
    for (const Picture &p : pictures()) {
        for (bool mac_binary : {false, true}) {
            auto s = session_for(mac_binary ? with_mac_binary(p.mac, "CAT.MAC") : p.mac);
            ASSERT_TRUE(s->import_image()) << p.name << " error " << s->record().errorCode;
            EXPECT_EQ(s->record().filterState, nullptr);
            EXPECT_EQ(s->header_calls(), 1);
            expect_same_rows(s->image(), p.reference,
                             p.name + (mac_binary ? " with MacBinary" : ""));
            const auto &rows = s->rows();
            ASSERT_EQ(rows.size(), 720u);
            for (size_t n = 0; n < rows.size(); ++n) {
                EXPECT_EQ(rows[n].y, 719 - static_cast<int>(n));
                EXPECT_EQ(rows[n].width, 576);
                EXPECT_EQ(rows[n].byteCount, 72);
                EXPECT_EQ(rows[n].percent, flt::MulDiv(static_cast<int>(n), 100, 720));
            }
        }
    }
}

TEST(MacPaintReference, FilterhostConvertsTheShippedSample) {
    if (!testing_support::have_program("macptopbm")) GTEST_SKIP() << "netpbm missing";
    std::string out = testing_support::temp_path("sample.pbm");
    std::string ref = testing_support::temp_path("sample_ref.pbm");
    std::string sample = std::string(SOURCE_DIR) + "/examples/samples/sample.mac";
    ASSERT_TRUE(testing_support::run(std::string(FILTERHOST) + " convert " + sample + " " + out));
    ASSERT_TRUE(testing_support::run("macptopbm " + sample + " > " + ref));
    host::Image got, want;
    std::string error;
    ASSERT_TRUE(host::read_netpbm(testing_support::read_bytes(out), &got, nullptr, &error));
    ASSERT_TRUE(host::read_netpbm(testing_support::read_bytes(ref), &want, nullptr, &error));
    expect_same_rows(got, want, "sample");
    EXPECT_FALSE(testing_support::run(std::string(FILTERHOST) + " convert " + sample +
                                      " /nonexistent-dir/x.pbm"));
    EXPECT_FALSE(
        testing_support::run(std::string(FILTERHOST) + " convert " + out + ".missing " + out));
}

}  // namespace
}  // namespace macpaint_test
