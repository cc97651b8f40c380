// pngxchg import against libpng: a generated corpus of every colour type,
// depth and interlace at small odd sizes, and the PngSuite.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "png_fixtures.h"

namespace png_test {
namespace {

struct Format {
    int colorType, bitDepth;
};
const Format kFormats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
const int kFilterChoices[] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                              PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};

// Imports plane `index` of `file` and compares it with libpng's rows.
std::string check_file(const std::vector<uint8_t> &file, int32_t index) {
    Expected want = reference_decode(file, index);
    if (!want.ok) return "libpng refused the file";
    auto s = session_for(file);
    s->record().imageIndex = index;
    if (!s->import_image()) return "import failed with " + std::to_string(s->record().errorCode);
    std::string why = compare_images(s->image(), want.image);
    if (why.empty() && s->image().palette != want.image.palette) why = "palette differs";
    if (why.empty() && s->rows().size() != static_cast<size_t>(want.image.height))
        why = "row count " + std::to_string(s->rows().size());
    s->end_import();
    return why;
}

TEST(PngReference, GeneratedCorpusEveryFormatSizeAndInterlace) {
    int files = 0;
    for (const Format &f : kFormats) {
        for (bool interlace : {false, true}) {
            for (uint32_t w = 1; w <= 17; ++w) {
                for (uint32_t h = 1; h <= 17; ++h) {
                    Samples s = make_samples(w, h, f.colorType, f.bitDepth, interlace, w * 31 + h);
                    s.filters = kFilterChoices[(w + h) % 6];
                    std::vector<uint8_t> file = encode(s);
                    ASSERT_FALSE(file.empty());
                    const bool alpha = f.colorType & PNG_COLOR_MASK_ALPHA;
                    for (int32_t index = 1; index <= (alpha ? 2 : 1); ++index) {
                        std::string why = check_file(file, index);
                        ASSERT_EQ(why, "") << "type " << f.colorType << " depth " << f.bitDepth
                                           << (interlace ? " interlaced " : " ") << w << "x" << h
                                           << " plane " << index;
                    }
                    ++files;
                }
            }
        }
    }
    EXPECT_EQ(files, 15 * 2 * 17 * 17);
}

TEST(PngReference, LargerImagesEveryFilter) {
    // Rows long enough for every filter to meet every byte position.
    for (const Format &f : kFormats) {
        for (int filters : kFilterChoices) {
            Samples s = make_samples(67, 23, f.colorType, f.bitDepth, filters == PNG_ALL_FILTERS,
                                     static_cast<uint32_t>(filters));
            s.filters = filters;
            std::vector<uint8_t> file = encode(s);
            const bool alpha = f.colorType & PNG_COLOR_MASK_ALPHA;
            for (int32_t index = 1; index <= (alpha ? 2 : 1); ++index)
                ASSERT_EQ(check_file(file, index), "")
                    << "type " << f.colorType << " depth " << f.bitDepth << " filters " << filters;
        }
    }
}

std::string suite_dir() {
    return std::string(TESTDATA_DIR) + "/pngsuite";
}

std::vector<std::string> suite_files() {
    std::vector<std::string> names;
    DIR *d = opendir(suite_dir().c_str());
    if (!d) return names;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 4 && n.substr(n.size() - 4) == ".png") names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

#define REQUIRE_PNGSUITE(names) \
    if ((names).empty()) GTEST_FAIL() << "PngSuite missing from " << suite_dir()

std::vector<uint8_t> suite_file(const std::string &name) {
    std::vector<uint8_t> bytes;
    host::read_file(suite_dir() + "/" + name, &bytes);
    return bytes;
}

TEST(PngSuite, EveryValidFileImportsToLibpngsRows) {
    const auto names = suite_files();
    REQUIRE_PNGSUITE(names);
    int checked = 0;
    for (const std::string &n : names) {
        if (n[0] == 'x') continue;
        std::vector<uint8_t> file = suite_file(n);
        for (int32_t index = 1; index <= 2; ++index) {
            EXPECT_EQ(check_file(file, index), "") << n << " plane " << index;
        }
        ++checked;
    }
    EXPECT_GE(checked, 160);
}

TEST(PngSuite, DamagedFilesAreRefusedWithTheirCode) {
    const auto names = suite_files();
    REQUIRE_PNGSUITE(names);
    struct Case {
        const char *name;
        uint32_t identify;  // 0: identify succeeds
        uint32_t import;
    } cases[] = {
        {"xc1n0g08.png", FERR_UNSUPPORTED, FERR_UNSUPPORTED},  // colour type 1
        {"xc9n2c08.png", FERR_UNSUPPORTED, FERR_UNSUPPORTED},  // colour type 9
        {"xcrn0g04.png", FERR_NOT_FORMAT, FERR_NOT_FORMAT},    // CR bytes added
        {"xlfn0g04.png", FERR_NOT_FORMAT, FERR_NOT_FORMAT},    // LF bytes added
        {"xcsn0g01.png", FERR_CORRUPT, FERR_CORRUPT},          // IDAT CRC
        {"xhdn0g08.png", FERR_CORRUPT, FERR_CORRUPT},          // IHDR CRC
        {"xd0n2c08.png", FERR_UNSUPPORTED, FERR_UNSUPPORTED},  // depth 0
        {"xd3n2c08.png", FERR_UNSUPPORTED, FERR_UNSUPPORTED},  // depth 3
        {"xd9n2c08.png", FERR_UNSUPPORTED, FERR_UNSUPPORTED},  // depth 99
        {"xdtn0g01.png", 0, FERR_DECODE},                      // no IDAT
        {"xs1n0g01.png", FERR_NOT_FORMAT, FERR_NOT_FORMAT},    // signature
        {"xs2n0g01.png", FERR_NOT_FORMAT, FERR_NOT_FORMAT},
        {"xs4n0g01.png", FERR_NOT_FORMAT, FERR_NOT_FORMAT},
        {"xs7n0g01.png", FERR_NOT_FORMAT, FERR_NOT_FORMAT},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> file = suite_file(c.name);
        ASSERT_FALSE(file.empty()) << c.name;
        auto s = session_for(file);
        EXPECT_EQ(s->identify(), c.identify == 0) << c.name;
        if (c.identify) {
            EXPECT_EQ(s->record().errorCode, c.identify) << c.name;
        }
        EXPECT_FALSE(s->import_image()) << c.name;
        EXPECT_EQ(s->record().errorCode, c.import) << c.name;
        EXPECT_EQ(s->record().filterState, nullptr) << c.name;
        EXPECT_EQ(s->record().palette, nullptr) << c.name;
    }
    int x_files = 0;
    for (const std::string &n : names) x_files += n[0] == 'x';
    EXPECT_EQ(x_files, static_cast<int>(sizeof cases / sizeof cases[0]));
}

TEST(PngSuite, AncillaryChunksLeaveThePixelsAlone) {
    const auto names = suite_files();
    REQUIRE_PNGSUITE(names);
    const char *prefixes[] = {"cs", "g", "t", "z",  "oi", "ps", "cm",
                              "ct", "s", "f", "pp", "bg", "ch", "ex"};
    int seen = 0;
    for (const std::string &n : names) {
        bool ancillary = false;
        for (const char *p : prefixes) ancillary |= n.rfind(p, 0) == 0;
        if (!ancillary) continue;
        auto s = session_for(suite_file(n));
        ASSERT_TRUE(s->identify()) << n;
        EXPECT_EQ(s->record().imageCount, (s->file()[25] & 4) ? 2 : 1) << n;
        s->end_import();
        EXPECT_EQ(check_file(suite_file(n), 1), "") << n;
        ++seen;
    }
    EXPECT_GE(seen, 100);
}

TEST(PngSuite, TextAndResolutionChunks) {
    const auto names = suite_files();
    REQUIRE_PNGSUITE(names);
    // ct1n0g04 carries tEXt chunks but none with the keyword "Comment".
    auto t = session_for(suite_file("ct1n0g04.png"));
    ASSERT_TRUE(t->identify());
    EXPECT_EQ(t->record().comment, nullptr);
    // cdfn2c08 has pHYs 1 x 4 per unit, unit 1 (metres).
    auto p = session_for(suite_file("cdfn2c08.png"));
    ASSERT_TRUE(p->identify());
    EXPECT_EQ(p->record().xResolution, 1000);
    EXPECT_EQ(p->record().yResolution, 4000);
}

}  // namespace
}  // namespace png_test
