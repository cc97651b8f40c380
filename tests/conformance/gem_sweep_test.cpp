// gemxchg under the shared sweeps: identify, import (whole, crop, fit) and
// export of every depth and palette class the writer knows, and import of
// extended-header files.
#include <gtest/gtest.h>

#include "gemimg/format.h"
#include "gemimg/gem_fixtures.h"
#include "sweep.h"

namespace {

using gem_test::Bytes;

const host::Module &gem() {
    return testing_support::linked_module();
}

struct Picture {
    const char *name;
    host::Image image;
};

// Replication groups of several lengths, so that imports meet prefixes.
std::vector<Picture> pictures() {
    const std::vector<int> blocks = {1, 3, 1, 4, 2};
    return {
        {"1 bit", gem_test::blocks_image(21, 1, blocks, gem_test::grey_palette(2, 255, false))},
        {"4 bit intensity",
         gem_test::blocks_image(13, 4, blocks, gem_test::bgr_of(gem::ImgPaletteIntensity, 16))},
        {"4 bit sixteen",
         gem_test::blocks_image(9, 4, blocks, gem_test::bgr_of(gem::ImgPaletteSixteen, 16))},
        {"4 bit grey", gem_test::blocks_image(10, 4, blocks, gem_test::grey_palette(16, 17, true))},
        {"8 bit grey", gem_test::blocks_image(7, 8, blocks, gem_test::grey_palette(256, 1, false))},
        {"24 bit", gem_test::blocks_image(6, 24, blocks, {})},
    };
}

Bytes gem_file(const host::Image &image) {
    gem_test::Exported e = gem_test::export_image(image);
    EXPECT_TRUE(e.ok);
    return e.file;
}

// Refused calls keep the host's FERR_CANCELLED, else fail the transfer. The
// module keeps no state; palette and compression name wait for FE_END_IMPORT.
// A failed allocation in the identify steps of an import is reported as out
// of memory rather than as an unsupported file: the file is fine.
sweep::Case gem_case(sweep::Case c) {
    c.data_refused = sweep::keeps_cancel(FERR_TRANSFER);
    c.after_failure = sweep::expect_no_state;
    if (c.end == FE_END_IMPORT) c.after_end = sweep::expect_import_blocks_released;
    return c;
}

// The writer's files and files with the extended header (pens of 4 planes
// with pattern length 4, true colour).
std::vector<std::pair<std::string, Bytes>> import_files() {
    std::vector<std::pair<std::string, Bytes>> files;
    for (const Picture &p : pictures()) files.emplace_back(p.name, gem_file(p.image));
    std::mt19937 rng(3);
    files.emplace_back("extended 4 planes", gem_test::ximg_file(4, 4, 13, 9, rng));
    files.emplace_back("extended 24 planes", gem_test::ximg_file(24, 3, 6, 9, rng));
    return files;
}

TEST(GemSweep, Import) {
    std::vector<sweep::Case> cases;
    for (const auto &[name, file] : import_files()) {
        const sweep::ImportRun runs[] = {
            {name + " whole", file},
            {name + " crop without identify", file, {3, 2, 5, 8}, 0, 1, false},
            {name + " fit", file, {0, 0, 4, 5}, 0x40},
        };
        for (const sweep::ImportRun &run : runs)
            cases.push_back(gem_case(sweep::import_case(gem(), run)));
        cases.push_back(gem_case(sweep::identify_case(gem(), {name + " identify", file})));
    }
    sweep::run_all(cases);
}

TEST(GemSweep, Export) {
    std::vector<sweep::Case> cases;
    for (const Picture &p : pictures())
        cases.push_back(gem_case(sweep::export_case(gem(), p.name, {p.image})));
    sweep::run_all(cases);
}

}  // namespace
