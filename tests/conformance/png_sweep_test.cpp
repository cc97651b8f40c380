// pngxchg under the shared sweeps: identify, import of every plane in every
// mode from sequential and interlaced files, and export of every depth and
// plane layout, sequential and interlaced (the interlace choice through
// FE_OPTIONS and a settings file).
#include <gtest/gtest.h>

#include "png_export/export_fixtures.h"
#include "png_import/png_fixtures.h"
#include "support/linked_module.h"
#include "sweep.h"

namespace {

using png_export_test::HostPicture;
using png_export_test::Kind;

// Import failures leave nothing: the state and every block hung in the
// record go with the failure. A header call the host refused is reported as a
// bad image, a refused row as a failed transfer.
sweep::Case png_import(sweep::Case c) {
    c.data_refused = [](int k, bool cancel) {
        if (cancel) return uint32_t(FERR_CANCELLED);
        return k == 1 ? uint32_t(FERR_BAD_IMAGE) : uint32_t(FERR_TRANSFER);
    };
    c.after_failure = sweep::expect_import_blocks_released;
    c.after_end = sweep::expect_import_blocks_released;
    return c;
}

sweep::Case import_case(const sweep::ImportRun &run) {
    return png_import(sweep::import_case(testing_support::linked_module(), run));
}

std::vector<uint8_t> with_comment(std::vector<uint8_t> file) {
    std::vector<png_test::Chunk> chunks = png_test::split_chunks(file);
    std::vector<uint8_t> text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'i'};
    chunks.insert(chunks.begin() + 1, png_test::Chunk{"tEXt", text});
    return png_test::join_chunks(chunks);
}

std::vector<uint8_t> png_file(uint32_t w, uint32_t h, int colorType, int depth, bool interlace) {
    return with_comment(
        png_test::encode(png_test::make_samples(w, h, colorType, depth, interlace, w * h)));
}

TEST(PngSweep, Import) {
    const std::vector<sweep::ImportRun> runs = {
        {"grey 8 whole", png_file(9, 6, 0, 8, false)},
        {"grey 2 crop without identify", png_file(13, 7, 0, 2, false), {3, 1, 11, 5}, 0, 1, false},
        {"palette 1 crop", png_file(21, 6, 3, 1, false), {5, 2, 17, 5}},
        {"rgb 16 fit", png_file(8, 9, 2, 16, false), {0, 0, 4, 3}, 0x40},
        {"rgba colour plane", png_file(7, 5, 6, 8, false)},
        {"rgba alpha plane", png_file(7, 5, 6, 8, false), {}, 0, 2},
        {"grey alpha 16 alpha plane fit", png_file(6, 6, 4, 16, false), {0, 0, 2, 8}, 0x800, 2},
        {"interlaced rgb whole", png_file(11, 9, 2, 8, true)},
        {"interlaced palette 4 crop", png_file(13, 10, 3, 4, true), {3, 2, 10, 8}, 0, 1, false},
        {"interlaced rgba alpha plane fit", png_file(10, 10, 6, 8, true), {0, 0, 5, 3}, 0x40, 2},
    };
    std::vector<sweep::Case> cases;
    for (const sweep::ImportRun &run : runs) cases.push_back(import_case(run));
    sweep::run_all(cases);
}

// The colour plane imported first, then the alpha plane from the same state.
TEST(PngSweep, SecondPlaneFromTheSameState) {
    sweep::Case c = import_case({"rgba plane 2 after plane 1", png_file(6, 5, 6, 8, false)});
    c.prepare = [](host::Session &s) {
        if (!s.identify() || !s.import_image()) return false;
        s.record().imageIndex = 2;
        return true;
    };
    sweep::run_all({c});
}

TEST(PngSweep, Identify) {
    sweep::Case fresh = png_import(sweep::identify_case(testing_support::linked_module(),
                                                        {"identify", png_file(5, 4, 6, 8, false)}));
    sweep::Case again = fresh;
    again.name = "identify the alpha plane on a held state";
    again.prepare = [](host::Session &s) {
        if (!s.identify()) return false;
        s.record().imageIndex = 2;
        return true;
    };
    sweep::run_all({fresh, again});
}

// Export failures release the whole export state; a refused write keeps the
// host's FERR_CANCELLED.
sweep::Case export_case(Kind kind, bool interlace) {
    sweep::Case c;
    c.name = std::string(png_export_test::kind_name(kind)) + (interlace ? " interlaced" : "");
    auto picture = std::make_shared<HostPicture>(png_export_test::make_picture(kind, 19, 9, 3));
    picture->colour.comment = "note";
    c.open = [] { return png_export_test::new_session(); };
    c.operate = [picture, interlace](host::Session &s) {
        return png_export_test::export_picture(s, *picture, interlace);
    };
    c.end = FE_END_EXPORT;
    c.writes = true;
    c.data_refused = sweep::keeps_cancel(FERR_TRANSFER);
    c.after_failure = sweep::expect_no_state;
    c.after_end = sweep::expect_no_state;
    return c;
}

TEST(PngSweep, Export) {
    std::vector<sweep::Case> cases;
    for (Kind kind : png_export_test::all_kinds())
        for (bool interlace : {false, true}) cases.push_back(export_case(kind, interlace));
    sweep::run_all(cases);
}

}  // namespace
