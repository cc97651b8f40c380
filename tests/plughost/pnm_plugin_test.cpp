// The example Netpbm plug-in run through plughost: files read and written
// through the host's file handle, compared with netpbm's own reading.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/heap.h"
#include "plug_fixture.h"

namespace {

bool have_netpbm() {
    return std::system("command -v pamtopnm >/dev/null 2>&1") == 0;
}

std::vector<uint8_t> bytes_of(const std::string &text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

class PnmTest : public PlugTest {
  protected:
    void SetUp() override {
        PlugTest::SetUp();
        record().pluginPath = const_cast<char *>(PNM_PLUGIN);
    }
    void TearDown() override {
        PlugTest::TearDown();
        EXPECT_FALSE(loaded(PNM_PLUGIN));
    }
    // Imports the file through the plug-in.
    bool import(const std::string &path) {
        session->end_import();
        if (!session->map_file(path)) return false;
        bool ok = session->import_image();
        session->end_import();
        return ok;
    }
    // netpbm's reading of a file, as raw PBM/PGM/PPM at most 255, parsed by
    // the host's reader.
    host::Image netpbm_reading(const std::string &path, bool bitmap) {
        std::string out = path + ".ref";
        std::string cmd = bitmap ? "pamtopnm '" + path + "' > '" + out + "'"
                                 : "pamdepth 255 '" + path + "' | pamtopnm > '" + out + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(host::read_file(out, &bytes));
        host::Image image, alpha;
        std::string error;
        EXPECT_TRUE(host::read_netpbm(bytes, &image, &alpha, &error)) << error;
        return image;
    }
};

struct PnmFile {
    const char *name;
    std::string bytes;
    bool bitmap;
};

std::string raw_rgb_16() {
    std::string s = "P6\n3 2\n1000\n";
    for (int i = 0; i < 18; ++i) {
        int v = i * 55;
        s += static_cast<char>(v >> 8);
        s += static_cast<char>(v & 0xFF);
    }
    return s;
}

std::vector<PnmFile> files() {
    std::string pam_rgba =
        "P7\nWIDTH 2\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (int i = 0; i < 16; ++i) pam_rgba += static_cast<char>(i * 16 + 3);
    std::string pam_bw =
        "P7\nWIDTH 9\nHEIGHT 1\nDEPTH 1\nMAXVAL 1\nTUPLTYPE BLACKANDWHITE\nENDHDR\n";
    for (int i = 0; i < 9; ++i) pam_bw += static_cast<char>(i % 3 == 0);
    return {
        {"raw.pbm", std::string("P4\n# comment\n10 2\n") + "\xA5\xC0\x0F\xFF", true},
        {"plain.pbm", "P1\n5 2\n1 0 1 1 0\n00111\n", true},
        {"raw.pgm", "P5 4 1 255 \x01\x80\xFE\xFF", false},
        {"small_maxval.pgm", std::string("P5\n3 1\n15\n\x00\x07\x0F", 14), false},
        {"plain.pgm", "P2\n3 2\n100\n0 50 100\n1 99 33\n", false},
        {"raw.ppm", "P6\n2 1\n255\n\x10\x20\x30\x40\x50\x60", false},
        {"deep.ppm", raw_rgb_16(), false},
        {"plain.ppm", "P3\n1 2\n7\n7 0 3\n1 2 6\n", false},
        {"rgba.pam", pam_rgba, false},
        {"bw.pam", pam_bw, true},
    };
}

TEST_F(PnmTest, ImportMatchesNetpbmsReading) {
    if (!have_netpbm()) {
        GTEST_SKIP() << "netpbm tools not installed";
    }
    for (const PnmFile &f : files()) {
        std::string path = write_temp(f.name, bytes_of(f.bytes));
        ASSERT_TRUE(import(path)) << f.name << " " << record().errorCode;
        const host::Image &got = session->image();
        host::Image want = netpbm_reading(path, f.bitmap);
        EXPECT_EQ(got.width, want.width) << f.name;
        EXPECT_EQ(got.height, want.height) << f.name;
        EXPECT_EQ(got.bitsPerPixel, want.bitsPerPixel) << f.name;
        EXPECT_EQ(got.pixels, want.pixels) << f.name;
        if (got.bitsPerPixel <= 8) {
            EXPECT_EQ(got.palette, want.palette) << f.name;
        }
        EXPECT_EQ(got.xResolution, 2834645) << f.name;
    }
}

TEST_F(PnmTest, NotNetpbmOrDamagedIsRefusedCleanly) {
    struct Case {
        const char *bytes;
        uint32_t code;
    };
    // A file of its own for each case: the session keeps the last file mapped,
    // and Windows refuses to rewrite a mapped file.
    int n = 0;
    for (Case c :
         {Case{"GIF89a", FERR_CANNOT_READ}, Case{"P", FERR_CANNOT_READ},
          Case{"P6\n2 1\n255\n\x01", FERR_CANNOT_READ},  // raster cut short
          Case{"P5\n0 1\n255\n", FERR_CANNOT_READ}, Case{"P5\n40000 1\n255\n", FERR_CANNOT_READ},
          Case{"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 7\nMAXVAL 255\nENDHDR\n", FERR_CANNOT_READ}}) {
        std::string path = write_temp("bad" + std::to_string(n++), bytes_of(c.bytes));
        EXPECT_FALSE(import(path)) << c.bytes;
        EXPECT_EQ(record().errorCode, c.code) << c.bytes;
    }
}

// Writes `image` through the plug-in into `path`.
bool export_to(host::Session &s, const host::Image &image, const std::string &path) {
    if (!s.open_output(path)) return false;
    s.record().requestFlags = FRI_NO_DIALOG;
    bool ok = s.export_plane(image, 1, 1);
    s.end_export();
    s.close_files();
    return ok;
}

host::Image patterned(int32_t w, int32_t h, int32_t bits, std::vector<uint8_t> palette) {
    host::Image image;
    image.width = w;
    image.height = h;
    image.bitsPerPixel = bits;
    image.palette = std::move(palette);
    image.allocate();
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = static_cast<uint8_t>(i * 37 + 11);
    if (bits < 8 && w * bits % 8) {  // unused bits of each row stay 0
        for (int32_t y = 0; y < h; ++y)
            image.row(y)[image.row_bytes() - 1] &= static_cast<uint8_t>(0xFF << (8 - w * bits % 8));
    }
    return image;
}

TEST_F(PnmTest, ExportIsReadByNetpbmAsTheHostsOwnWriterWritesIt) {
    if (!have_netpbm()) {
        GTEST_SKIP() << "netpbm tools not installed";
    }
    std::vector<uint8_t> ramp, colours, sixteen;
    for (int i = 0; i < 256; ++i) ramp.insert(ramp.end(), 3, static_cast<uint8_t>(i));
    for (int i = 0; i < 256; ++i)
        colours.insert(colours.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                       static_cast<uint8_t>(i * 7)});
    sixteen.assign(colours.begin(), colours.begin() + 48);
    struct Case {
        const char *name;
        host::Image image;
    } cases[] = {{"bitmap", patterned(13, 3, 1, {0, 0, 0, 255, 255, 255})},
                 {"gray", patterned(5, 4, 8, ramp)},
                 {"indexed", patterned(5, 4, 8, colours)},
                 {"nibbles", patterned(7, 2, 4, sixteen)},
                 {"rgb", patterned(6, 5, 24, {})}};
    for (const Case &c : cases) {
        std::string path = dir + c.name + ".pnm";
        ASSERT_TRUE(export_to(*session, c.image, path)) << c.name << " " << record().errorCode;
        std::string normal = path + ".netpbm";
        std::string cmd = "pamtopnm '" + path + "' > '" + normal + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << c.name;
        std::vector<uint8_t> written;
        ASSERT_TRUE(host::read_file(normal, &written));
        EXPECT_EQ(written, host::write_netpbm(c.image)) << c.name;
    }
}

TEST_F(PnmTest, ProgressAndAbort) {
    std::string path =
        write_temp("big.pgm", bytes_of("P5\n100 100\n255\n" + std::string(10000, 'x')));
    ASSERT_TRUE(import(path));
    ASSERT_FALSE(session->progress().empty());
    EXPECT_EQ(session->progress().back(), 100);
    session->refuse_progress_at = 1;
    EXPECT_FALSE(import(path));
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN));
}

TEST_F(PnmTest, ChunksStayWithinMaxData) {
    // 1000 x 600 RGB: 3000 bytes a row, 333 rows a chunk of at most 1000000.
    std::string header = "P6\n1000 600\n255\n";
    std::string path = write_temp("wide.ppm", bytes_of(header + std::string(1800000, '\x40')));
    ASSERT_TRUE(import(path));
    EXPECT_EQ(session->rows().size(), 600u);
    EXPECT_EQ(session->image().row(599)[0], 0x40);
}

TEST_F(PnmTest, EveryAllocationFailingInTurnLeaksNothing) {
    std::string path = write_temp("a.ppm", bytes_of("P6\n2 1\n255\n\x10\x20\x30\x40\x50\x60"));
    for (long n = 1;; ++n) {
        ASSERT_TRUE(session->map_file(path));
        flt::heap_fail_at(n);
        bool ok = session->import_image();
        uint32_t code = record().errorCode;
        session->end_import();
        flt::heap_fail_at(0);
        EXPECT_EQ(flt::heap_live_blocks(), 0) << n;
        EXPECT_FALSE(loaded(PNM_PLUGIN)) << n;
        if (ok) break;
        EXPECT_EQ(code, static_cast<uint32_t>(FERR_NO_MEMORY)) << n;
        ASSERT_LT(n, 50);
    }
    host::Image image = patterned(3, 2, 24, {});
    for (long n = 1;; ++n) {
        flt::heap_fail_at(n);
        bool ok = export_to(*session, image, dir + "out.ppm");
        uint32_t code = record().errorCode;
        flt::heap_fail_at(0);
        EXPECT_EQ(flt::heap_live_blocks(), 0) << n;
        EXPECT_EQ(record().filterState, nullptr) << n;
        if (ok) break;
        EXPECT_EQ(code, static_cast<uint32_t>(FERR_NO_MEMORY)) << n;
        ASSERT_LT(n, 50);
    }
}

// filterhost converts through plughost both ways.
class FilterhostTest : public PnmTest {
  protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "the commands are written for a POSIX shell";
#endif
        PnmTest::SetUp();
    }
    void TearDown() override {
        if (session) PnmTest::TearDown();
    }
    int run(const std::string &args) {
        std::string cmd = std::string(FILTERHOST) + " --modules " MODULE_DIR " --quiet " + args +
                          " --plugin " PNM_PLUGIN " 2>/dev/null";
        return std::system(cmd.c_str());
    }
};

TEST_F(FilterhostTest, ConvertsThroughThePlugin) {
    if (!have_netpbm()) {
        GTEST_SKIP() << "netpbm tools not installed";
    }
    std::string in = write_temp("in.ppm", bytes_of(raw_rgb_16()));
    ASSERT_EQ(run("convert '" + in + "' '" + dir + "out.ppm'"), 0);
    std::string ref = dir + "ref.ppm";
    ASSERT_EQ(std::system(("pamdepth 255 '" + in + "' > '" + ref + "'").c_str()), 0);
    std::vector<uint8_t> got, want;
    ASSERT_TRUE(host::read_file(dir + "out.ppm", &got));
    ASSERT_TRUE(host::read_file(ref, &want));
    EXPECT_EQ(got, want);
}

// A run's plug-in settings go into the settings file for the save only;
// the user's other sections stay.
TEST_F(FilterhostTest, RunSettingsLeaveTheSettingsFileAsItWas) {
    std::string sample = SOURCE_DIR "/examples/samples/sample.mac";
    std::string ini = write_temp("my.ini", {});
    const std::string before = "[Other]\r\nkeep=1\r\n";
    write_temp("my.ini", std::vector<uint8_t>(before.begin(), before.end()));
    ASSERT_EQ(run("convert '" + sample + "' '" + dir + "out.pbm' --ini '" + ini +
                  "' --plugin-setting wrtl=100 --plugin-setting wrtc=2"),
              0);
    std::vector<uint8_t> after;
    ASSERT_TRUE(host::read_file(ini, &after));
    EXPECT_EQ(std::string(after.begin(), after.end()).substr(0, before.size()), before);
    EXPECT_EQ(std::string(after.begin(), after.end()).find("Run"), std::string::npos);
}

TEST_F(FilterhostTest, MacPaintToNetpbmThroughThePlugin) {
    std::string sample = SOURCE_DIR "/examples/samples/sample.mac";
    ASSERT_EQ(run("convert '" + sample + "' '" + dir + "out.pbm'"), 0);
    std::string cmd = std::string(FILTERHOST) + " --modules " MODULE_DIR " --quiet convert '" +
                      sample + "' '" + dir + "ref.pbm'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::vector<uint8_t> got, want;
    ASSERT_TRUE(host::read_file(dir + "out.pbm", &got));
    ASSERT_TRUE(host::read_file(dir + "ref.pbm", &want));
    EXPECT_EQ(got, want);
    // A file the plug-in does not know goes to the built-in modules.
    EXPECT_EQ(run("info '" + sample + "'"), 0);
}

}  // namespace

namespace {

TEST_F(FilterhostTest, NetpbmToPngAndBackThroughThePlugin) {
    if (!have_netpbm()) {
        GTEST_SKIP() << "netpbm tools not installed";
    }
    std::string in = write_temp("in.ppm", bytes_of(raw_rgb_16()));
    ASSERT_EQ(run("convert '" + in + "' '" + dir + "mid.png'"), 0);
    ASSERT_EQ(run("convert '" + dir + "mid.png' '" + dir + "back.ppm'"), 0);
    std::string ref = dir + "ref.ppm";
    ASSERT_EQ(std::system(("pamdepth 255 '" + in + "' > '" + ref + "'").c_str()), 0);
    std::vector<uint8_t> got, want;
    ASSERT_TRUE(host::read_file(dir + "back.ppm", &got));
    ASSERT_TRUE(host::read_file(ref, &want));
    EXPECT_EQ(got, want);
}

}  // namespace
