// The resources of every module DLL, read back through the Windows loader:
// the "IEFLT" 1 descriptor carries exactly the bytes of the module's
// descriptor.inc, string 1 and the version resource are there in U.S.
// English, and pngxchg carries its options dialog and help map.
#include <gtest/gtest.h>

#include <cstring>

#include "common/module.h"
#include "dll_view.h"
#include "filters_version.h"

namespace {

using dlltest::Cursor;
using dlltest::Dll;

#include "png/descriptor.inc"
const std::string kPngDescriptor(MODULE_DESCRIPTOR_BYTES, sizeof MODULE_DESCRIPTOR_BYTES - 1);
#undef MODULE_DESCRIPTOR_BYTES
#include "macpaint/descriptor.inc"
const std::string kPaintDescriptor(MODULE_DESCRIPTOR_BYTES, sizeof MODULE_DESCRIPTOR_BYTES - 1);
#undef MODULE_DESCRIPTOR_BYTES
#include "gemimg/descriptor.inc"
const std::string kGemDescriptor(MODULE_DESCRIPTOR_BYTES, sizeof MODULE_DESCRIPTOR_BYTES - 1);
#undef MODULE_DESCRIPTOR_BYTES
#include "plughost/descriptor.inc"
const std::string kPlugDescriptor(MODULE_DESCRIPTOR_BYTES, sizeof MODULE_DESCRIPTOR_BYTES - 1);
#undef MODULE_DESCRIPTOR_BYTES
#include "bitmapres/descriptor.inc"
const std::string kRsrcDescriptor(MODULE_DESCRIPTOR_BYTES, sizeof MODULE_DESCRIPTOR_BYTES - 1);
#undef MODULE_DESCRIPTOR_BYTES

struct ModuleCase {
    const char *name;
    const std::string *descriptor;
    size_t descriptor_size;
    const char *string1;
};

const ModuleCase kModules[] = {
    {"pngxchg", &kPngDescriptor, 60, "LZ77 Compression"},
    {"paintxchg", &kPaintDescriptor, 91, "RLE Compression"},
    {"gemxchg", &kGemDescriptor, 79, "RLE Compression"},
    {"plughost", &kPlugDescriptor, 61, "RLE Compression"},
    {"rsrcxchg", &kRsrcDescriptor, 122, "RLE Compression"},
};

class DllResources : public testing::TestWithParam<ModuleCase> {};

TEST_P(DllResources, DescriptorIsTheSourceBytesInUsEnglishOnly) {
    const ModuleCase &m = GetParam();
    Dll dll(m.name);
    ASSERT_NE(dll.handle(), nullptr) << m.name;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(dll.resource("IEFLT", MAKEINTRESOURCEA(1), &bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), *m.descriptor);
    EXPECT_EQ(bytes.size(), m.descriptor_size);
    EXPECT_EQ(dll.languages("IEFLT", MAKEINTRESOURCEA(1)), std::vector<WORD>{dlltest::kEnglishUs});
}

TEST_P(DllResources, StringOneAndVersionResource) {
    const ModuleCase &m = GetParam();
    Dll dll(m.name);
    ASSERT_NE(dll.handle(), nullptr) << m.name;
    char text[260] = {};
    EXPECT_EQ(LoadStringA(dll.handle(), 1, text, sizeof text),
              static_cast<int>(std::strlen(m.string1)));
    EXPECT_STREQ(text, m.string1);
    // Strings 0 to 15 live in block 1 of the string table; only string 1 is set.
    EXPECT_EQ(dll.languages(RT_STRING, MAKEINTRESOURCEA(1)),
              std::vector<WORD>{dlltest::kEnglishUs});
    EXPECT_EQ(LoadStringA(dll.handle(), 2, text, sizeof text), 0);

    std::vector<uint8_t> version;
    ASSERT_TRUE(dll.resource(RT_VERSION, MAKEINTRESOURCEA(1), &version));
    // VS_VERSIONINFO: length, value length (52, the fixed file info), type 0,
    // key "VS_VERSION_INFO".
    Cursor c{version};
    EXPECT_EQ(c.u16(), version.size());
    EXPECT_EQ(c.u16(), 52u);
    EXPECT_EQ(c.u16(), 0u);
    EXPECT_EQ(c.wide_string(), "VS_VERSION_INFO");
    c.align4();
    EXPECT_EQ(c.u32(), 0xFEEF04BDu);
    c.u32();  // structure version
    EXPECT_EQ(c.u32(), (FILTERS_VERSION_MAJOR << 16u) | FILTERS_VERSION_MINOR);
    EXPECT_EQ(c.u32(), FILTERS_VERSION_PATCH << 16u);
}

INSTANTIATE_TEST_SUITE_P(AllModules, DllResources, testing::ValuesIn(kModules),
                         [](const testing::TestParamInfo<ModuleCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(PngOptionsDialog, TemplateHoldsTheClassicDialogAndItsFourButtons) {
    Dll dll("pngxchg");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(dll.resource(RT_DIALOG, MAKEINTRESOURCEA(100), &bytes));
    Cursor c{bytes};
    EXPECT_EQ(c.u32(), 0x90C800C0u);  // style; a DIALOGEX would start 1, 0xFFFF
    EXPECT_EQ(c.u32(), 0u);           // extended style
    EXPECT_EQ(c.u16(), 4u);           // controls
    EXPECT_EQ(c.u16(), 0u);
    EXPECT_EQ(c.u16(), 0u);
    EXPECT_EQ(c.u16(), 141u);
    EXPECT_EQ(c.u16(), 61u);
    EXPECT_EQ(c.u16(), 0u);  // no menu
    EXPECT_EQ(c.u16(), 0u);  // standard dialog class
    EXPECT_EQ(c.wide_string(), "PNG Options");
    EXPECT_EQ(c.u16(), 8u);
    EXPECT_EQ(c.wide_string(), "MS Sans Serif");

    struct Item {
        uint32_t style;
        uint16_t x, y, cx, cy, id;
        const char *text;
    };
    const Item expected[] = {
        {0x50030003, 8, 23, 74, 10, 1000, "&Interlace"},
        {0x50030001, 85, 3, 50, 14, 1, "OK"},
        {0x50030000, 85, 22, 50, 14, 2, "Cancel"},
        {0x50030000, 85, 42, 50, 14, 9, "&Help"},
    };
    for (const Item &e : expected) {
        SCOPED_TRACE(e.text);
        c.align4();
        EXPECT_EQ(c.u32(), e.style);
        EXPECT_EQ(c.u32(), 0u);
        EXPECT_EQ(c.u16(), e.x);
        EXPECT_EQ(c.u16(), e.y);
        EXPECT_EQ(c.u16(), e.cx);
        EXPECT_EQ(c.u16(), e.cy);
        EXPECT_EQ(c.u16(), e.id);
        EXPECT_EQ(c.u16(), 0xFFFFu);  // predefined class by atom:
        EXPECT_EQ(c.u16(), 0x0080u);  // the button class
        EXPECT_EQ(c.wide_string(), e.text);
        EXPECT_EQ(c.u16(), 0u);  // no creation data
    }
    EXPECT_FALSE(c.overrun);
    EXPECT_GE(c.pos + 3, bytes.size());
}

TEST(PngOptionsDialog, HelpMapIsTwelveBytesOfNumericType4096) {
    Dll dll("pngxchg");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(dll.resource(MAKEINTRESOURCEA(4096), MAKEINTRESOURCEA(100), &bytes));
    const std::vector<uint8_t> expected = {0xE8, 0x03, 0, 0, 0x6D, 0x9D, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(bytes, expected);
}

TEST(PngOptionsDialog, OnlyPngCarriesDialogAndHelpMap) {
    for (const char *name : {"paintxchg", "gemxchg", "plughost", "rsrcxchg"}) {
        Dll dll(name);
        std::vector<uint8_t> bytes;
        EXPECT_FALSE(dll.resource(RT_DIALOG, MAKEINTRESOURCEA(100), &bytes)) << name;
        EXPECT_FALSE(dll.resource(MAKEINTRESOURCEA(4096), MAKEINTRESOURCEA(100), &bytes)) << name;
    }
}

}  // namespace
