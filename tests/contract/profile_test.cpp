// Profile (INI) files read and written with the Windows rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/platform.h"
#include "host/host.h"

namespace {

class ProfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = ::testing::TempDir() + "profile_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        std::remove(path_.c_str());
    }
    void TearDown() override { std::remove(path_.c_str()); }
    void write(const std::string &text) {
        host::write_file(path_, std::vector<uint8_t>(text.begin(), text.end()));
    }
    std::string contents() {
        std::vector<uint8_t> b;
        host::read_file(path_, &b);
        return std::string(b.begin(), b.end());
    }
    int32_t get_int(const char *section, const char *key, int32_t def = -7) {
        return flt::platform_profile_int(section, key, def, path_.c_str());
    }
    std::string get(const char *section, const char *key, const char *def = "dflt",
                    uint32_t size = 260) {
        std::vector<char> buffer(size + 1, 'X');
        uint32_t n =
            flt::platform_profile_string(section, key, def, buffer.data(), size, path_.c_str());
        EXPECT_EQ(buffer[n], '\0');
        return std::string(buffer.data(), n);
    }
    std::string path_;
};

TEST_F(ProfileTest, IntegersParseLikeTheSystemDoes) {
    write(
        "[S]\nplain=42\nneg=-5\nhex=0x1F\nspaces=   17  \ntrail=12abc\nword=abc\n"
        "empty=\nbig=257\nquoted=\"3\"\n");
    struct Case {
        const char *key;
        int32_t expected;
    } cases[] = {{"plain", 42}, {"neg", -5},   {"hex", 31},  {"spaces", 17}, {"trail", 12},
                 {"word", 0},   {"empty", -7}, {"big", 257}, {"quoted", 3},  {"missing", -7}};
    for (const Case &c : cases) EXPECT_EQ(get_int("S", c.key), c.expected) << c.key;
    EXPECT_EQ(get_int("Nope", "plain"), -7);
}

TEST_F(ProfileTest, NamesCompareWithoutCaseAndTheFirstMatchWins) {
    write("; comment=1\n[png filter]\r\nINTERLACE = 1\r\ninterlace=2\r\n[PNG Filter]\r\nx=9\r\n");
    EXPECT_EQ(get_int("PNG Filter", "Interlace"), 1);
    EXPECT_EQ(get_int("PNG FILTER", "x"), -7);  // only the first section counts
    EXPECT_EQ(get_int("S", "comment"), -7);
}

TEST_F(ProfileTest, StringsAreTrimmedUnquotedAndCutToTheBuffer) {
    write("[Plugins EntryPoints]\n0x1a =  MyEntry  \nq='quoted value'\nlong=abcdefghij\n");
    EXPECT_EQ(get("Plugins EntryPoints", "0X1A"), "MyEntry");
    EXPECT_EQ(get("Plugins EntryPoints", "q"), "quoted value");
    EXPECT_EQ(get("Plugins EntryPoints", "long", "", 5), "abcd");
    EXPECT_EQ(get("Plugins EntryPoints", "none", "ENTRYPOINT"), "ENTRYPOINT");
    EXPECT_EQ(get("Plugins EntryPoints", "none", "ENTRYPOINT", 6), "ENTRY");
    EXPECT_EQ(get("Plugins EntryPoints", "none", nullptr), "");
}

TEST_F(ProfileTest, MissingFileGivesTheDefault) {
    EXPECT_EQ(get_int("S", "k", 3), 3);
    EXPECT_EQ(get("S", "k", "d"), "d");
    EXPECT_EQ(flt::platform_profile_int("S", "k", 4, nullptr), 4);
}

TEST_F(ProfileTest, WritingCreatesReplacesAndDeletes) {
    ASSERT_TRUE(flt::platform_profile_write("PNG Filter", "Interlace", "1", path_.c_str()));
    EXPECT_EQ(get_int("png filter", "interlace"), 1);
    ASSERT_TRUE(flt::platform_profile_write("PNG Filter", "Other", "x", path_.c_str()));
    ASSERT_TRUE(flt::platform_profile_write("png filter", "INTERLACE", "0", path_.c_str()));
    EXPECT_EQ(get_int("PNG Filter", "Interlace"), 0);
    EXPECT_EQ(get("PNG Filter", "Other"), "x");
    ASSERT_TRUE(flt::platform_profile_write("Second", "k", "v", path_.c_str()));
    ASSERT_TRUE(flt::platform_profile_write("PNG Filter", "Other", nullptr, path_.c_str()));
    EXPECT_EQ(get("PNG Filter", "Other"), "dflt");
    ASSERT_TRUE(flt::platform_profile_write("PNG Filter", nullptr, nullptr, path_.c_str()));
    EXPECT_EQ(get_int("PNG Filter", "Interlace"), -7);
    EXPECT_EQ(get("Second", "k"), "v");
    EXPECT_FALSE(flt::platform_profile_write("S", "k", "v", nullptr));
}

TEST_F(ProfileTest, WritingKeepsTheRestOfTheFile) {
    write("; settings\n[A]\nk=1\n\n[B]\nm=2\n");
    ASSERT_TRUE(flt::platform_profile_write("A", "n", "3", path_.c_str()));
#ifdef _WIN32
    // Windows rewrites the file in its own layout (CR LF, blank lines dropped
    // under Wine): what must survive are the lines themselves, in order.
    std::string lines;
    for (char c : contents())
        if (c != '\r' && !(c == '\n' && (lines.empty() || lines.back() == '\n'))) lines += c;
    EXPECT_EQ(lines, "; settings\n[A]\nk=1\nn=3\n[B]\nm=2\n");
#else
    EXPECT_EQ(contents(), "; settings\n[A]\nk=1\nn=3\n\n[B]\nm=2\n");
#endif
}

TEST_F(ProfileTest, NullKeyListsTheKeysOfASection) {
    write("[A]\nfirst=1\nsecond=2\n");
    char buffer[32];
    uint32_t n =
        flt::platform_profile_string("A", nullptr, "", buffer, sizeof buffer, path_.c_str());
    EXPECT_EQ(std::string(buffer, n), std::string("first\0second\0", 13));
    EXPECT_EQ(buffer[n], '\0');
}

}  // namespace
