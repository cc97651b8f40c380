// The descriptor bytes of every module, written out here independently of
// the modules' own tables, and read back through the host's parser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"

namespace {

std::vector<uint8_t> bytes_of(std::initializer_list<std::string> parts) {
    std::vector<uint8_t> out;
    for (const std::string &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string u32(uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                       static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24)};
}

std::string z(const char *s) {
    return std::string(s) + '\0';
}

const std::string kSignature = std::string("TALVOFILTER - A") + std::string(5, '\0');

struct DescriptorCase {
    const char *module;
    std::vector<uint8_t> expected;
    size_t size;
};

std::vector<DescriptorCase> cases() {
    return {
        {"pngxchg",
         bytes_of({z("PNG"), u32(70), kSignature, z("PNG Image"), z("*.PNG"), u32(0x3001),
                   u32(0xFFFF), u32(0), u32(0)}),
         60},
        {"paintxchg",
         bytes_of({z("MAC"), u32(85), kSignature, z("MacPaint Bitmap"), z("*.MAC"), u32(0x317),
                   u32(0x7001), u32(0), u32(1), z("0x1PackBits Compression"),
                   std::string(1, '\0')}),
         91},
        {"gemxchg",
         bytes_of({z("IMG"), u32(70), kSignature, z("IMG Bitmap"), z("*.IMG"), u32(0x313),
                   u32(0x7017), u32(0), u32(1), "\x17", z("RLE Compression"),
                   std::string(1, '\0')}),
         79},
        {"plughost",
         bytes_of({z("PLG"), u32(70), kSignature, z("PGUG-IN HOST"), z("*.*"), u32(0x3001),
                   u32(0xFFFF), u32(0), u32(0)}),
         61},
        {"rsrcxchg",
         bytes_of({z("BRS"), u32(113), kSignature, z("Windows 3.x/NT Bitmap Resource"),
                   z("*.EXE;*.DLL"), u32(0x312), u32(0x5037), u32(0), u32(2), z("0x17Uncompressed"),
                   "\x06", z("RLE Compression"), std::string(1, '\0')}),
         122},
    };
}

TEST(Descriptor, EveryModuleCarriesExactlyItsBytes) {
    for (const DescriptorCase &c : cases()) {
        std::string error;
        auto m = host::Module::load(std::string(MODULE_DIR) + "/" + c.module + ".so", &error);
        ASSERT_TRUE(m) << error;
        EXPECT_EQ(c.expected.size(), c.size) << c.module << ": expected table is wrong";
        EXPECT_EQ(m->descriptor().bytes, c.expected) << c.module;
    }
}

TEST(Descriptor, WordsStartRightAfterTheExtensionsEvenUnaligned) {
    std::string error;
    auto m = host::Module::load(std::string(MODULE_DIR) + "/paintxchg.so", &error);
    ASSERT_TRUE(m) << error;
    const std::vector<uint8_t> &b = m->descriptor().bytes;
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[50], 0x17);
    EXPECT_EQ(b[51], 0x03);
    EXPECT_EQ(m->descriptor().wordA, 0x317u);
    EXPECT_EQ(m->descriptor().wordB, 0x7001u);
}

TEST(Descriptor, HostParsesNamesExtensionsAndEntries) {
    std::string error;
    auto modules = host::load_all_modules(MODULE_DIR, &error);
    ASSERT_EQ(modules.size(), 5u) << error;
    const host::Descriptor &rsrc = modules[4]->descriptor();
    EXPECT_EQ(rsrc.tag, "BRS");
    EXPECT_EQ(rsrc.number, 113u);
    EXPECT_EQ(rsrc.name, "Windows 3.x/NT Bitmap Resource");
    EXPECT_EQ(rsrc.extensions, (std::vector<std::string>{"EXE", "DLL"}));
    ASSERT_EQ(rsrc.compressions.size(), 2u);
    EXPECT_EQ(rsrc.compressions[1].code, 0x06);
    EXPECT_EQ(rsrc.compressions[1].entry, "RLE Compression");
    const host::Descriptor &png = modules[0]->descriptor();
    EXPECT_TRUE(png.compressions.empty());
    EXPECT_EQ(png.bytes.size(), 60u);  // no list terminator after a count of 0
    EXPECT_TRUE(modules[0]->handles_extension("png"));
    EXPECT_FALSE(modules[0]->handles_extension("mac"));
}

}  // namespace
