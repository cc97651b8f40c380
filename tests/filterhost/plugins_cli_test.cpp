// filterhost with a folder of plug-ins: the example Netpbm plug-in, a copy of
// it whose property list claims another output extension, one whose list is
// damaged, a Windows plug-in and a file that is no plug-in at all.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/tools.h"

namespace {

namespace fs = std::filesystem;
using testing_support::read_bytes;
using testing_support::temp_path;
using Bytes = std::vector<uint8_t>;

struct Outcome {
    int status;
    std::string out, err;
};

std::string text_of(const std::string &path) {
    const Bytes b = read_bytes(path);
    std::remove(path.c_str());
    return std::string(b.begin(), b.end());
}

Outcome filterhost(const std::string &args) {
    const std::string out = temp_path("stdout"), err = temp_path("stderr");
    const int rc = std::system(
        (std::string(FILTERHOST) + " --modules " MODULE_DIR " " + args + " >" + out + " 2>" + err)
            .c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, text_of(out), text_of(err)};
}

// The example plug-in with `from` replaced by `to` (same length) in its bytes.
void patched_copy(const std::string &path, const std::string &from, const std::string &to) {
    Bytes b = read_bytes(PNM_PLUGIN);
    auto it = std::search(b.begin(), b.end(), from.begin(), from.end());
    ASSERT_NE(it, b.end()) << from;
    std::copy(to.begin(), to.end(), it);
    testing_support::write_bytes(path, b);
}

class FilterhostPlugins : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = testing_support::make_temp_dir("filterhost_plugins") + "/";
        fs::create_directory(dir + "plugins");
        fs::create_directory(dir + "empty");
        fs::copy_file(PNM_PLUGIN, dir + "plugins/netpbm.so");
        // Writes raw PPM for ".xyz" files: the name and write list of the copy.
        patched_copy(dir + "plugins/xyz.so", "\x06Netpbm", "\x06XyzPnm");
        Bytes b = read_bytes(dir + "plugins/xyz.so");
        const std::string writes = "xErW";
        auto it = std::search(b.begin(), b.end(), writes.begin(), writes.end());
        ASSERT_NE(it, b.end());
        std::copy_n("XYZ ", 4, it + 12);
        testing_support::write_bytes(dir + "plugins/xyz.so", b);
        // A name property longer than the list, and a count of 96 properties.
        patched_copy(dir + "plugins/damaged.so", std::string("eman\0\0\0\0\x08\0", 10),
                     std::string("eman\0\0\0\0\xff\xff", 10));
        patched_copy(dir + "plugins/counted.so", std::string("\x06\0\0\0MIB8dnik", 12),
                     std::string("\x60\0\0\0MIB8dnik", 12));
        fs::copy_file(TESTDATA_DIR "/webpshop/x64/WebPShop.8bi", dir + "plugins/WebPShop.8bi");
        testing_support::write_bytes(dir + "plugins/notes.so", Bytes(100, 'x'));
        std::string ppm = "P6\n4 3\n255\n";
        for (int i = 0; i < 4 * 3 * 3; ++i) ppm += static_cast<char>(i * 7);
        testing_support::write_bytes(dir + "rgb.ppm", Bytes(ppm.begin(), ppm.end()));
        testing_support::write_bytes(dir + "notes.ppm", Bytes(100, 'x'));
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    static std::string dir;
};
std::string FilterhostPlugins::dir;

struct Case {
    std::string args;  // $ stands for the folder
    int status;
    std::vector<std::string> stdout_has, stdout_lacks, stderr_has;
};

std::string expand(const std::string &args, const std::string &dir) {
    std::string s;
    for (char c : args) s += c == '$' ? dir : std::string(1, c);
    return s;
}

TEST_F(FilterhostPlugins, FindsThemByTheirPropertyLists) {
    const Case cases[] = {
        {"formats --plugins $plugins",
         0,
         {"plug-in    Netpbm", "*.pbm;*.pgm;*.ppm;*.pnm;*.pam read,write", "netpbm.so",
          "plug-in    XyzPnm", "*.pam;*.xyz read,write"},
         {"WebP", "damaged.so", "counted.so", "notes.so"},
         {}},
        {"info $rgb.ppm --plugins $plugins",
         0,
         {"module: plughost", "plug-in: Netpbm (", "size: 4 x 3, 24 bits per pixel"},
         {},
         {}},
        {"--plugins $plugins convert $rgb.ppm $out.xyz", 0, {}, {}, {}},
        {"info $rgb.ppm --plugins $empty", 1, {}, {}, {"no module recognises this file\n"}},
        {"info $notes.ppm --plugins $plugins",
         1,
         {},
         {},
         {"no module recognises this file (plug-in Netpbm: "}},
        {"convert $rgb.ppm $out2.xyz --plugins $empty", 1, {}, {}, {"no module writes .xyz"}},
        {"formats --plugins $missing", 1, {}, {}, {"cannot list the plug-in folder"}},
    };
    for (const Case &c : cases) {
        const Outcome o = filterhost(expand(c.args, dir));
        EXPECT_EQ(o.status, c.status) << c.args << "\n" << o.err;
        for (const auto &s : c.stdout_has)
            EXPECT_NE(o.out.find(s), std::string::npos) << c.args << ": " << s << "\n" << o.out;
        for (const auto &s : c.stdout_lacks)
            EXPECT_EQ(o.out.find(s), std::string::npos) << c.args << ": " << s;
        for (const auto &s : c.stderr_has)
            EXPECT_NE(o.err.find(s), std::string::npos) << c.args << ": " << s << "\n" << o.err;
    }
    // The plug-in wrote the .xyz file: the picture of rgb.ppm as raw PPM.
    const Bytes in = read_bytes(dir + "rgb.ppm"), out = read_bytes(dir + "out.xyz");
    EXPECT_EQ(out, in);
    EXPECT_FALSE(fs::exists(dir + "out2.xyz"));
}

}  // namespace
