// Every module loaded as a host loads it: the answers to each operation code
// that do not depend on a file, and the capability bits.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"

namespace {

struct ModuleCase {
    const char *name;
    bool refuses_unknown;  // unknown codes fail with FERR_BAD_REQUEST
    uint32_t caps;         // bits FE_GET_CAPS adds
};

void PrintTo(const ModuleCase &c, std::ostream *os) {
    *os << c.name;
}

const ModuleCase kModules[] = {
    {"pngxchg", true, 0x89208}, {"paintxchg", false, 0},    {"gemxchg", false, 0},
    {"plughost", true, 0},      {"rsrcxchg", false, 0x100},
};

std::unique_ptr<host::Module> load(const char *name) {
    std::string error;
    auto m = host::Module::load(std::string(MODULE_DIR) + "/" + name + ".so", &error);
    EXPECT_TRUE(m) << error;
    return m;
}

std::vector<uint8_t> record_bytes(host::Session &s) {
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&s.record());
    return std::vector<uint8_t>(p, p + sizeof(FilterRecord));
}

class ContractTest : public ::testing::TestWithParam<ModuleCase> {};

TEST_P(ContractTest, UnknownCodesFollowTheModulesRule) {
    auto m = load(GetParam().name);
    ASSERT_TRUE(m);
    for (uint32_t op : {0u, 4u, 5u, 11u, 12u, 255u, 0x80000000u}) {
        host::Session s(*m);
        std::vector<uint8_t> before = record_bytes(s);
        int32_t result = s.call(op);
        if (GetParam().refuses_unknown) {
            EXPECT_EQ(result, 0) << "operation " << op;
            EXPECT_EQ(s.record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
        } else {
            EXPECT_EQ(result, 1) << "operation " << op;
            EXPECT_EQ(record_bytes(s), before) << "operation " << op << " changed the record";
        }
    }
}

TEST_P(ContractTest, GetCapsOrsItsBitsAndKeepsTheHosts) {
    auto m = load(GetParam().name);
    ASSERT_TRUE(m);
    for (uint32_t preset : {0u, 0x4000u, 0xF0000000u}) {
        host::Session s(*m);
        s.record().filterFlags = preset;
        EXPECT_EQ(s.call(FE_GET_CAPS), 1);
        EXPECT_EQ(s.record().filterFlags, preset | GetParam().caps);
    }
}

TEST_P(ContractTest, EndOperationsAndReservedCodeSucceedWithoutState) {
    auto m = load(GetParam().name);
    ASSERT_TRUE(m);
    for (uint32_t op : {FE_END_IMPORT, FE_END_EXPORT, FE_RESERVED_10}) {
        host::Session s(*m);
        EXPECT_EQ(s.call(op), 1) << "operation " << op;
        EXPECT_EQ(s.record().filterState, nullptr);
    }
}

TEST_P(ContractTest, IdentifyRefusesAnEmptyFile) {
    auto m = load(GetParam().name);
    ASSERT_TRUE(m);
    host::Session s(*m);
    s.set_file({});
    EXPECT_EQ(s.call(FE_IDENTIFY), 0);
    EXPECT_NE(s.record().errorCode, 0u);
    s.end_import();
}

// The dynamic symbols a module defines, as nm lists them.
std::vector<std::string> exported_symbols(const std::string &path) {
    std::vector<std::string> names;
    FILE *p = popen(("nm -D --defined-only --extern-only " + path).c_str(), "r");
    if (!p) return names;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        std::string l(line);
        size_t last = l.find_last_of(' ');
        names.push_back(l.substr(last + 1, l.find_last_not_of("\n") - last));
    }
    pclose(p);
    return names;
}

TEST_P(ContractTest, ExportsOnlyTheEntryAndTheDescriptor) {
#ifdef _WIN32
    GTEST_SKIP() << "DLL export tables are checked by windows_dll_tests";
#endif
    std::string path = std::string(MODULE_DIR) + "/" + GetParam().name + ".so";
    std::vector<std::string> names = exported_symbols(path);
    ASSERT_FALSE(names.empty());
    bool plughost = std::string(GetParam().name) == "plughost";
    for (const std::string &n : names) {
        bool entry_slot = plughost && n.size() == 13 && n.rfind("FilterEntry", 0) == 0 &&
                          std::stoi(n.substr(11)) >= 1 && std::stoi(n.substr(11)) <= 19;
        EXPECT_TRUE(n == "FilterEntry" || n == "FilterDescriptor" || n == "FilterDescriptorSize" ||
                    entry_slot)
            << GetParam().name << " exports " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, ContractTest, ::testing::ValuesIn(kModules),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Contract, OptionsWithoutDialogSucceedAtOnce) {
    auto m = load("pngxchg");
    ASSERT_TRUE(m);
    host::Session s(*m);
    s.record().requestFlags = FRI_NO_DIALOG;
    EXPECT_EQ(s.call(FE_OPTIONS), 1);
}

TEST(Contract, BitmapResourceExportWritesNothing) {
    auto m = load("rsrcxchg");
    ASSERT_TRUE(m);
    host::Session s(*m);
    host::Image image;
    image.width = image.height = 4;
    image.bitsPerPixel = 8;
    image.allocate();
    EXPECT_TRUE(s.export_plane(image, 1, 1));
    EXPECT_TRUE(s.output().empty());
}

}  // namespace
