// Every written file read back by the module's own reader gives the host's
// planes: each depth and palette class, interlaced and not, through the
// linked core and through the module library a host loads.
#include <gtest/gtest.h>

#include <string>

#include "export_fixtures.h"
#include "support/linked_module.h"

namespace png_export_test {
namespace {

host::Image import_plane(const std::vector<uint8_t> &file, int32_t index,
                         const host::Module *module) {
    auto s = new_session(module);
    s->set_file(file);
    s->record().imageIndex = index;
    EXPECT_TRUE(s->import_image()) << "import of plane " << index;
    host::Image image = s->image();
    s->end_import();
    return image;
}

// nullptr: the linked core; else the library of that name.
class ExportReadBack : public ::testing::TestWithParam<const char *> {
  protected:
    void SetUp() override {
        if (!GetParam()) return;
        module_ = testing_support::shared_module(GetParam());
        ASSERT_NE(module_, nullptr) << GetParam();
    }
    const host::Module *module_ = nullptr;
};

TEST_P(ExportReadBack, OwnReaderGivesTheHostPlanes) {
    for (Kind kind : all_kinds()) {
        for (bool interlace : {false, true}) {
            for (int32_t w : {1, 3, 8, 9, 17}) {
                for (int32_t h : {1, 2, 9, 17}) {
                    HostPicture p = make_picture(kind, w, h, static_cast<uint32_t>(w + 31 * h));
                    std::vector<uint8_t> file = export_bytes(p, interlace, module_);
                    host::Image colour = import_plane(file, 1, module_);
                    std::string what = std::string(kind_name(kind)) + " " + std::to_string(w) +
                                       "x" + std::to_string(h) + (interlace ? " i" : "");
                    ASSERT_EQ(colour.bitsPerPixel, p.colour.bitsPerPixel) << what;
                    EXPECT_EQ(pixel_values(colour), pixel_values(p.colour)) << what;
                    EXPECT_EQ(colour.palette, p.colour.palette) << what;
                    EXPECT_EQ(colour.xResolution, 2834000) << what;
                    if (!has_alpha(kind)) continue;
                    host::Image alpha = import_plane(file, 2, module_);
                    EXPECT_EQ(pixel_values(alpha), pixel_values(p.alpha)) << what;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Module, ExportReadBack, ::testing::Values(nullptr, "pngxchg"),
                         [](const auto &info) {
                             return std::string(info.param ? "Library" : "Linked");
                         });

}  // namespace
}  // namespace png_export_test
