// filterhost run as a user runs it: batch conversion and description of a
// folder with a file of each format and a damaged one, help, and bad options.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "filters_version.h"
#include "support/tools.h"

namespace {

namespace fs = std::filesystem;
using testing_support::read_bytes;
using testing_support::temp_path;

struct Outcome {
    int status;
    std::string out, err;
};

std::string text_of(const std::string &path) {
    const std::vector<uint8_t> b = read_bytes(path);
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

void write_text(const std::string &path, const std::string &text) {
    testing_support::write_bytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// The folder: netpbm sources the test writes, and from them a PNG, a
// MacPaint and a GEM file made by filterhost's single-file convert; the test
// DLL with bitmap resources where the build could make it; a GEM file cut off in
// its image data.
class FilterhostBatch : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = testing_support::make_temp_dir("filterhost_batch") + "/";
        ASSERT_NE(dir, "/");
        std::string rgb = "P6\n8 6\n255\n", mono = "P4\n16 8\n";
        for (int i = 0; i < 8 * 6 * 3; ++i) rgb += static_cast<char>(i * 5);
        for (int i = 0; i < 2 * 8; ++i) mono += static_cast<char>(i % 3 ? 0x5a : 0xc3);
        write_text(dir + "pnm.ppm", rgb);
        write_text(dir + "mono.pbm", mono);
        write_text(dir + "notes.txt", "not an image\n");
        for (const char *made :
             {"pnm.ppm rgb.png", "mono.pbm paint.mac", "mono.pbm gem.img", "pnm.ppm damaged.img"}) {
            const std::string names = made;
            const std::string in = names.substr(0, names.find(' '));
            const std::string out = names.substr(names.find(' ') + 1);
            ASSERT_EQ(filterhost("--quiet convert " + dir + in + " " + dir + out).status, 0);
        }
        std::vector<uint8_t> cut = read_bytes(dir + "damaged.img");
        cut.resize(cut.size() - 40);
        testing_support::write_bytes(dir + "damaged.img", cut);
        if (fs::exists(RSRC_DLL)) fs::copy_file(RSRC_DLL, dir + "bitmaps.dll");
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    static std::string dir;
};
std::string FilterhostBatch::dir;

struct Output {
    std::string name;
    int32_t width, height;
};

struct Case {
    std::string what;
    std::string args;  // $ stands for the folder
    int status;
    std::vector<std::string> stdout_has, stderr_has;
    std::vector<Output> outputs;  // in $out/
};

std::string expand(const std::string &args, const std::string &dir) {
    std::string s;
    for (char c : args) s += c == '$' ? dir : std::string(1, c);
    return s;
}

TEST_F(FilterhostBatch, RunsOverFolders) {
    const bool dll = fs::exists(dir + "bitmaps.dll");
    const std::string modules_read =
        "$rgb.png $paint.mac $gem.img" + std::string(dll ? " $bitmaps.dll" : "");
    std::vector<Output> all = {
        {"rgb.pnm", 8, 6}, {"paint.pnm", 576, 720}, {"gem.pnm", 16, 8}, {"pnm.pnm", 8, 6}};
    if (dll) all.push_back({"bitmaps.pnm", 37, 23});
    const Case cases[] = {
        {"every format and a damaged file",
         "convert --to pnm --out $out $damaged.img $pnm.ppm " + modules_read,
         1,
         {},
         {"damaged.img: import failed: the file is damaged",
          std::to_string(all.size()) + " converted, 1 failed"},
         all},
        {"options apply to every file",
         "convert $rgb.png --out $out/crop --to .ppm --region 2,1,5,4 $gem.img",
         0,
         {},
         {"2 converted, 0 failed"},
         {{"crop/rgb.ppm", 4, 4}, {"crop/gem.ppm", 4, 4}}},
        {"one base name twice",
         "convert --to ppm --out $out/twice $rgb.png $rgb.png",
         1,
         {},
         {"twice/rgb.ppm: already written from ", "1 converted, 1 failed"},
         {}},
        {"its own output",
         "convert --to png --out $ $rgb.png",
         1,
         {},
         {"rgb.png: would replace its input"},
         {}},
        {"a missing file and one no module reads",
         "convert --to ppm --out $out/none $mono.pbm $missing.png $notes.txt",
         1,
         {},
         {"cannot read $missing.png", "$notes.txt: no module recognises this file",
          "1 converted, 2 failed"},
         {}},
        {"info on every format",
         "info " + modules_read + " $damaged.img $notes.txt",
         1,
         {"file: $rgb.png\nmodule: pngxchg", "file: $paint.mac\nmodule: paintxchg",
          "file: $gem.img\nmodule: gemxchg"},
         {"$notes.txt: no module recognises this file", "described, 1 failed"},
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir + "out");
        const Outcome r = filterhost("--quiet " + expand(c.args, dir));
        EXPECT_EQ(r.status, c.status) << r.err;
        for (const std::string &s : c.stdout_has)
            EXPECT_NE(r.out.find(expand(s, dir)), std::string::npos) << s << "\n" << r.out;
        for (const std::string &s : c.stderr_has)
            EXPECT_NE(r.err.find(expand(s, dir)), std::string::npos) << s << "\n" << r.err;
        for (const Output &o : c.outputs) {
            host::Image image;
            std::string error;
            ASSERT_TRUE(
                host::read_netpbm(read_bytes(dir + "out/" + o.name), &image, nullptr, &error))
                << o.name << ": " << error;
            EXPECT_EQ(image.width, o.width) << o.name;
            EXPECT_EQ(image.height, o.height) << o.name;
        }
    }
}

// Help and the version answer with status 0; a command line filterhost does not
// take gets one line of error and status 2.
TEST(FilterhostCommandLine, HelpAndBadOptions) {
    const struct {
        std::string args;
        int status;
        std::string stdout_has;
    } cases[] = {
        {"--help", 0, "convert"},
        {"--version", 0, "filterhost " FILTERS_VERSION_STRING "\n"},
        {"formats --help", 0, "Usage: filterhost formats"},
        {"info --help", 0, "--plugin"},
        {"convert --help", 0, "--to EXT"},
        {"", 2, ""},
        {"convert --bogus a b", 2, ""},
        {"convert a", 2, ""},
        {"convert --to png a.mac", 2, ""},
        {"convert --to . --out d a.mac", 2, ""},
        {"convert a b --region 1,2,3", 2, ""},
        {"convert a b --fit 0,5", 2, ""},
        {"convert --help", 0, "--plugin-setting KEY=N"},
        {"convert a b --plugin-setting wrtl", 2, ""},
        {"convert a b --plugin-setting wrtl=1.5", 2, ""},
        {"convert a b --plugin-setting 'wr l=1'", 2, ""},
        {"convert a b --plugin-setting quality=1", 2, ""},
        {"info", 2, ""},
    };
    for (const auto &c : cases) {
        const Outcome r = filterhost(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.out.find(c.stdout_has), std::string::npos) << c.args << "\n" << r.out;
        if (c.status) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
    }
}

}  // namespace
