// A plug-in's property list read from its file: WebPShop's two builds and
// the example Netpbm plug-in as they are, damaged lists, and every
// truncation of the files, which must find nothing outside the bytes given.
#include "host/pipl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "support/tools.h"

namespace {

using host::four_cc;
using host::PluginContainer;
using Bytes = std::vector<uint8_t>;

const std::string kWebpX64 = TESTDATA_DIR "/webpshop/x64/WebPShop.8bi";
const std::string kWebpX86 = TESTDATA_DIR "/webpshop/x86/WebPShop.8bi";

// The property list's bytes in a file, copied out.
Bytes list_of(const Bytes &file) {
    const uint8_t *pipl = nullptr;
    size_t size = 0;
    if (host::find_pipl(file.data(), file.size(), &pipl, &size) == PluginContainer::kNone)
        return {};
    return Bytes(pipl, pipl + size);
}

// Offset of the property `key` (its vendor word) in a list; the header is 10 bytes.
size_t property_at(const Bytes &list, uint32_t key) {
    for (size_t at = 10; at + 16 <= list.size();) {
        if (flt::load_u32le(&list[at + 4]) == key) return at;
        at += 16 + (flt::load_u32le(&list[at + 12]) + 3) / 4 * 4;
    }
    return list.size();
}

void put_u32(Bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> 8 * i);
}

struct ListCase {
    std::string what;
    std::string file;
    uint32_t key;
    std::function<void(Bytes &)> damage;
    bool ok;
    std::string name, entry;
    std::vector<std::string> read, write;
};

const uint32_t k8664 = four_cc("8664"), kWx86 = four_cc("wx86");
const std::vector<std::string> kWebp = {"webp"};

const ListCase kListCases[] = {
    {"x64 build", kWebpX64, k8664, nullptr, true, "WebP", "PluginMain", kWebp, kWebp},
    {"x86 build", kWebpX86, kWx86, nullptr, true, "WebP", "PluginMain", kWebp, kWebp},
    {"other architecture: no entry", kWebpX64, kWx86, nullptr, true, "WebP", "", kWebp, kWebp},
    {"count past the end",
     kWebpX64,
     k8664,
     [](Bytes &b) { put_u32(b, 6, 22); },
     false,
     "",
     "",
     {},
     {}},
    {"huge count",
     kWebpX64,
     k8664,
     [](Bytes &b) { put_u32(b, 6, 0xffffffffu); },
     false,
     "",
     "",
     {},
     {}},
    {"property length past the end",
     kWebpX64,
     k8664,
     [](Bytes &b) { put_u32(b, property_at(b, four_cc("name")) + 12, 0x7ffffff0u); },
     false,
     "",
     "",
     {},
     {}},
    {"version other than 0",
     kWebpX64,
     k8664,
     [](Bytes &b) { put_u32(b, 2, 1); },
     false,
     "",
     "",
     {},
     {}},
    {"a filter's kind",
     kWebpX64,
     k8664,
     [](Bytes &b) { put_u32(b, property_at(b, four_cc("kind")) + 16, four_cc("8BFM")); },
     false,
     "",
     "",
     {},
     {}},
    {"name longer than its property", kWebpX64, k8664,
     [](Bytes &b) { b[property_at(b, four_cc("name")) + 16] = 200; }, true,
     std::string("WebP\0\0\0", 7), "PluginMain", kWebp, kWebp},
    {"entry without its terminator", kWebpX64, k8664,
     [](Bytes &b) {
         const size_t at = property_at(b, k8664) + 16;
         std::memset(&b[at], 'A', 12);
     },
     true, "WebP", "", kWebp, kWebp},
    {"no write flag, extensions padded",
     kWebpX64,
     k8664,
     [](Bytes &b) {
         b[property_at(b, four_cc("fmtf")) + 16] = 0x20;
         std::memcpy(&b[property_at(b, four_cc("RdEx")) + 16], "Jpg ", 4);
     },
     true,
     "WebP",
     "PluginMain",
     {"jpg", "webp"},
     kWebp},
};

void PrintTo(const ListCase &c, std::ostream *os) {
    *os << c.what;
}

class PiplList : public ::testing::TestWithParam<ListCase> {};

TEST_P(PiplList, Parses) {
    const ListCase &c = GetParam();
    Bytes list = list_of(testing_support::read_bytes(c.file));
    ASSERT_EQ(list.size(), 538u);
    if (c.damage) c.damage(list);
    host::PluginProperties p;
    ASSERT_EQ(host::parse_pipl(list.data(), list.size(), c.key, &p), c.ok);
    if (!c.ok) return;
    EXPECT_EQ(p.name, c.name);
    EXPECT_EQ(p.entry, c.entry);
    EXPECT_EQ(p.read_extensions, c.read);
    EXPECT_EQ(p.write_extensions, c.write);
    EXPECT_TRUE(p.can_read);
    EXPECT_EQ(p.can_write, c.what != "no write flag, extensions padded");
}

INSTANTIATE_TEST_SUITE_P(Lists, PiplList, ::testing::ValuesIn(kListCases), [](const auto &info) {
    std::string n = info.param.what;
    for (char &ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return n;
});

// Each file cut at every length (and damaged in its directory): whatever is
// found lies inside the bytes given, and the whole file finds the list.
struct FileCase {
    std::string file;
    PluginContainer container;
    std::function<void(Bytes &)> damage;
};

void rename_pipl_type(Bytes &b) {
    const char name[] = "P\0I\0P\0L\0";
    auto it = std::search(b.begin(), b.end(), name, name + 8);
    if (it != b.end()) *it = 'Q';
}

TEST(PiplInFile, FoundOnlyInsideTheFile) {
    const FileCase cases[] = {
        {kWebpX64, PluginContainer::kPe, nullptr},
        {kWebpX86, PluginContainer::kPe, nullptr},
        {PNM_PLUGIN, PluginContainer::kElf, nullptr},
        {kWebpX64, PluginContainer::kNone, rename_pipl_type},
        {kWebpX64, PluginContainer::kNone, [](Bytes &b) { put_u32(b, 0x3c, 0x7ffffff0u); }},
        {PNM_PLUGIN, PluginContainer::kNone, [](Bytes &b) { b[5] = 2; }},  // big-endian
        {PNM_PLUGIN, PluginContainer::kNone, [](Bytes &b) { put_u32(b, 0x28, 0xfffffff0u); }},
    };
    for (const FileCase &c : cases) {
        Bytes file = testing_support::read_bytes(c.file);
        ASSERT_FALSE(file.empty()) << c.file;
        if (c.damage) c.damage(file);
        const uint8_t *pipl = nullptr;
        size_t size = 0;
        EXPECT_EQ(host::find_pipl(file.data(), file.size(), &pipl, &size), c.container) << c.file;
        if (c.container == PluginContainer::kNone) continue;
        const size_t end = static_cast<size_t>(pipl - file.data()) + size;
        for (size_t n = 0; n < file.size(); n += 1 + n / 4096) {
            if (host::find_pipl(file.data(), n, &pipl, &size) == PluginContainer::kNone) continue;
            ASSERT_LE(static_cast<size_t>(pipl - file.data()) + size, n)
                << c.file << " cut at " << n;
            ASSERT_LE(n, file.size());
            ASSERT_GE(n, end);
        }
    }
}

TEST(PiplInFile, ExamplePluginDescribesItself) {
    const Bytes list = list_of(testing_support::read_bytes(PNM_PLUGIN));
    host::PluginProperties p;
    ASSERT_TRUE(host::parse_pipl(list.data(), list.size(), host::running_code_key(), &p));
    EXPECT_EQ(p.name, "Netpbm");
    EXPECT_EQ(p.entry, "ENTRYPOINT");
    EXPECT_EQ(p.read_extensions, (std::vector<std::string>{"pbm", "pgm", "ppm", "pnm", "pam"}));
    EXPECT_EQ(p.write_extensions, (std::vector<std::string>{"pbm", "pgm", "ppm", "pnm"}));
}

}  // namespace
