// A plug-in built for a later version of the interface, run by the plughost
// library itself (plughost.dll under Wine): it reads through the basic suite
// when it finds the suite it needs, or can do without, and ends with its own
// error when it needs a suite version plughost lacks.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/host.h"
#include "support/tools.h"

namespace {

struct LaterCase {
    const char *name;
    const char *entry;
    uint32_t operation;
    uint32_t code;  // 0: success
};

class LaterPluginTest : public ::testing::TestWithParam<LaterCase> {};

TEST_P(LaterPluginTest, EndsWithItsOwnErrorOrReads) {
    const LaterCase &c = GetParam();
    std::string error;
    auto module = host::Module::load(PLUGHOST_MODULE, &error);
    ASSERT_TRUE(module) << error;
    const std::string dir = testing_support::make_temp_dir("plughost_later") + "/";
    const std::string ini = "[Plugins EntryPoints]\n0x7=" + std::string(c.entry) + "\n";
    ASSERT_TRUE(
        host::write_file(dir + "PLGENTRY.INI", std::vector<uint8_t>(ini.begin(), ini.end())));
    ASSERT_TRUE(host::write_file(dir + "in.bin", {1, 2, 3}));
    {
        host::Session s(*module);
        s.directory = dir;
        s.record().filterId = 7;
        s.record().pluginPath = const_cast<char *>(LATER_PLUGIN);
        bool ok;
        if (c.operation == FE_EXPORT) {
            ASSERT_TRUE(s.open_output(dir + "out.bin"));
            host::Image image;
            image.width = 3;
            image.height = 2;
            image.bitsPerPixel = 24;
            image.allocate();
            ok = s.export_plane(image, 1, 1);
        } else {
            ASSERT_TRUE(s.map_file(dir + "in.bin"));
            ok = s.call(c.operation) != 0;
        }
        EXPECT_EQ(ok, c.code == 0);
        EXPECT_EQ(s.record().errorCode, c.code);
        if (c.operation == FE_IMPORT && ok) {
            const host::Image &image = s.image();
            ASSERT_EQ(image.height, 2);
            EXPECT_EQ(std::vector<uint8_t>(image.row(0), image.row(0) + 3),
                      (std::vector<uint8_t>{10, 11, 12}));
            EXPECT_EQ(std::vector<uint8_t>(image.row(1), image.row(1) + 3),
                      (std::vector<uint8_t>{20, 21, 22}));
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, LaterPluginTest,
    ::testing::Values(LaterCase{"import_with_the_suite", "ENTRYPOINT", FE_IMPORT, 0},
                      LaterCase{"export_with_the_suite", "ENTRYPOINT", FE_EXPORT, 0},
                      LaterCase{"identify_needs_a_newer_suite", "NEWER", FE_IDENTIFY, FERR_PLUGIN},
                      LaterCase{"import_without_the_suite", "TOLERANT", FE_IMPORT, 0}),
    [](const ::testing::TestParamInfo<LaterCase> &info) { return std::string(info.param.name); });

}  // namespace
