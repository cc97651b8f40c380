// rsrcxchg under the shared sweeps: identify and import (whole, crop, fit) of
// bitmaps stored plain (32-bit too), run-length and bit-field coded in NE and PE files,
// chosen by every kind of imageIndex; FE_END_IMPORT and FE_GET_CAPS as the
// end operation.
#include <gtest/gtest.h>

#include "bitmapres/fixtures.h"
#include "support/linked_module.h"
#include "sweep.h"

namespace {

const host::Module &rsrc() {
    return testing_support::linked_module();
}

std::vector<uint8_t> dib(int32_t w, int32_t h, int32_t bits, uint32_t compression) {
    fx::DibOptions o;
    o.compression = compression;
    return fx::make_dib(fx::pattern(w, h, bits, w * 31 + h), o);
}

// Four bitmaps in an NE file: imageIndex 0 and 1 give the first; the last
// holds 32-bit pixels without bit fields, top row first.
std::vector<uint8_t> ne_file() {
    fx::DibOptions plain32;
    plain32.fieldBits = 32;
    plain32.topDown = true;
    return fx::make_ne({{0x8002, dib(9, 5, 4, 2)},
                        {0x8002, dib(11, 6, 8, 1)},
                        {0x8002, dib(10, 4, 24, 0)},
                        {0x8002, fx::make_dib(fx::pattern(7, 5, 24, 3), plain32)}});
}

// Two names in two languages each in a PE file: four bitmaps.
std::vector<uint8_t> pe_file() {
    return fx::make_pe({{2, "ONE", 0, 1033, dib(12, 5, 1, 0)},
                        {2, "ONE", 0, 1031, dib(7, 6, 16, 3)},
                        {2, "", 7, 1033, dib(13, 7, 4, 0)},
                        {2, "", 7, 1031, dib(6, 5, 8, 0)}});
}

// The header call refused is always a failed transfer; a refused row keeps
// the host's FERR_CANCELLED in every mode, the general rule for row calls
// (only the header call of this module is an exception). The palette and
// compression name stay until the end operation.
sweep::Case rsrc_case(sweep::Case c, uint32_t end) {
    c.end = end;
    c.data_refused = [](int k, bool cancel) {
        return k == 1 || !cancel ? uint32_t(FERR_TRANSFER) : uint32_t(FERR_CANCELLED);
    };
    c.after_failure = sweep::expect_no_state;
    c.after_end = sweep::expect_import_blocks_released;
    return c;
}

TEST(RsrcSweep, Import) {
    const std::vector<uint8_t> ne = ne_file(), pe = pe_file();
    const sweep::ImportRun runs[] = {
        {"NE index 0, RLE4 whole", ne, {}, 0, 0},
        {"NE index 1, RLE4 crop", ne, {2, 1, 5, 3}, 0, 1},
        {"NE index 2, RLE8 fit without identify", ne, {0, 0, 5, 8}, 0x40, 2, false},
        {"NE index 3, 24 bits crop", ne, {1, 1, 8, 2}, 0, 3},
        {"NE index 4, 32 bits crop", ne, {1, 1, 5, 3}, 0, 4},
        {"NE index 4, 32 bits fit", ne, {0, 0, 9, 2}, 0x40, 4},
        {"PE index 1, 1 bit crop", pe, {3, 0, 10, 3}, 0, 1},
        {"PE index 2, bit fields whole without identify", pe, {}, 0, 2, false},
        {"PE index 3, 4 bits fit", pe, {0, 0, 19, 2}, 0x800, 3},
        {"PE index 4, 8 bits whole", pe, {}, 0, 4},
    };
    std::vector<sweep::Case> cases;
    for (const sweep::ImportRun &run : runs) {
        cases.push_back(rsrc_case(sweep::import_case(rsrc(), run), FE_END_IMPORT));
        sweep::Case caps = rsrc_case(sweep::import_case(rsrc(), run), FE_GET_CAPS);
        caps.name += ", FE_GET_CAPS at the end";
        cases.push_back(caps);
    }
    cases.push_back(
        rsrc_case(sweep::identify_case(rsrc(), {"NE identify", ne, {}, 0, 2}), FE_END_IMPORT));
    cases.push_back(
        rsrc_case(sweep::identify_case(rsrc(), {"PE identify", pe, {}, 0, 3}), FE_GET_CAPS));
    sweep::run_all(cases);
}

// Export writes nothing, so there is nothing to sweep: no allocation, no call.
TEST(RsrcSweep, ExportTouchesNothing) {
    host::Image image;
    image.width = image.height = 4;
    image.bitsPerPixel = 8;
    image.allocate();
    host::Session s(rsrc());
    flt::heap_reset_counters();
    EXPECT_TRUE(s.export_plane(image, 1, 1));
    EXPECT_EQ(flt::heap_request_count(), 0);
    EXPECT_TRUE(s.writes().empty());
    EXPECT_TRUE(s.fetches().empty());
}

}  // namespace
