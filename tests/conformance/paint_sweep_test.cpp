// paintxchg under the shared sweeps: identify, import of the whole picture, a
// crop and a fit, with and without the MacBinary header, and export with and
// without a file name.
#include <gtest/gtest.h>

#include "support/linked_module.h"
#include "sweep.h"

namespace {

const host::Module &paint() {
    return testing_support::linked_module();
}

host::Image picture(int32_t width, int32_t height) {
    host::Image im;
    im.width = width;
    im.height = height;
    im.bitsPerPixel = 1;
    im.palette = {0, 0, 0, 255, 255, 255};
    im.allocate();
    for (size_t i = 0; i < im.pixels.size(); ++i)
        im.pixels[i] = static_cast<uint8_t>(i % 7 < 3 ? 0xFF : i * 37);
    return im;
}

// A MacPaint file with its MacBinary header, as the writer makes it.
std::vector<uint8_t> paint_file() {
    host::Session s(paint());
    EXPECT_TRUE(s.export_plane(picture(300, 200), 1, 1));
    return s.output();
}

std::vector<uint8_t> without_mac_binary(std::vector<uint8_t> file) {
    file.erase(file.begin(), file.begin() + 128);
    return file;
}

// The import state goes with the import, failed or not; the palette and the
// compression name wait for FE_END_IMPORT. This module reports a refused
// header call as a failed transfer and a refused row as a read failure, or as
// a failed transfer while fitting, without looking for FERR_CANCELLED.
sweep::Case paint_import(sweep::Case c, uint32_t refused_row) {
    c.data_refused = [refused_row](int k, bool) {
        return k == 1 ? uint32_t(FERR_TRANSFER) : refused_row;
    };
    c.after_failure = sweep::expect_no_state;
    c.after_end = sweep::expect_import_blocks_released;
    return c;
}

TEST(PaintSweep, Import) {
    const std::vector<uint8_t> file = paint_file();
    const std::vector<uint8_t> bare = without_mac_binary(file);
    struct Run {
        sweep::ImportRun run;
        uint32_t refused_row;
    } runs[] = {
        {{"whole picture", file}, FERR_CANNOT_READ},
        {{"crop without identify", bare, {3, 2, 210, 150}, 0, 1, false}, FERR_CANNOT_READ},
        {{"crop of one row", file, {8, 0, 15, 0}}, FERR_CANNOT_READ},
        {{"fit", file, {0, 0, 47, 89}, 0x40}, FERR_TRANSFER},
        {{"fit enlarging without identify", bare, {0, 0, 15, 729}, 0x800, 1, false}, FERR_TRANSFER},
    };
    std::vector<sweep::Case> cases;
    for (const Run &r : runs)
        cases.push_back(paint_import(sweep::import_case(paint(), r.run), r.refused_row));
    cases.push_back(paint_import(sweep::identify_case(paint(), {"identify", file}), 0));
    sweep::run_all(cases);
}

// Nothing outlives an export. A refused header write is reported as out of
// memory, which is how this module has always answered it; a refused row as
// a failed transfer; FERR_CANCELLED is not looked at.
TEST(PaintSweep, Export) {
    std::vector<sweep::Case> cases = {
        sweep::export_case(paint(), "no file name", {picture(100, 50)}),
    };
    sweep::Case named = sweep::export_case(paint(), "file title from filePath, larger picture",
                                           {picture(600, 730)});
    named.open = [] {
        auto s = std::make_unique<host::Session>(paint());
        s->record().filePath = const_cast<char *>("/some/where/CAT.MAC");
        return s;
    };
    cases.push_back(named);
    for (sweep::Case &c : cases) {
        c.data_refused = [](int k, bool) {
            return k == 1 ? uint32_t(FERR_NO_MEMORY) : uint32_t(FERR_TRANSFER);
        };
        c.after_failure = sweep::expect_no_state;
    }
    sweep::run_all(cases);
}

}  // namespace
