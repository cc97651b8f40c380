// Export failures: refused writes, requests PNG cannot hold, failing
// allocations. Each one reports its code, leaves no state and leaks nothing.
#include <gtest/gtest.h>

#include "common/heap.h"
#include "export_fixtures.h"

namespace png_export_test {
namespace {

// How many writes a whole export makes.
size_t write_count(const HostPicture &p, bool interlace) {
    auto s = new_session();
    EXPECT_TRUE(export_picture(*s, p, interlace));
    s->end_export();
    return s->writes().size();
}

TEST(ExportFailure, EveryWriteRefusedInTurn) {
    for (Kind kind : {Kind::kPalette4, Kind::kRgba}) {
        HostPicture p = make_picture(kind, 150, 90, 4);
        p.colour.comment = "note";
        for (bool interlace : {false, true}) {
            size_t n = write_count(p, interlace);
            for (bool cancel : {false, true}) {
                for (size_t k = 1; k <= n; ++k) {
                    long live = flt::heap_live_blocks();
                    auto s = new_session();
                    s->refuse_write_at = static_cast<int>(k);
                    s->store_cancel = cancel;
                    EXPECT_FALSE(export_picture(*s, p, interlace));
                    EXPECT_EQ(s->record().errorCode, cancel ? FERR_CANCELLED : FERR_TRANSFER);
                    EXPECT_EQ(s->record().filterState, nullptr);
                    EXPECT_EQ(s->writes().size(), k) << "stops at the refused write";
                    EXPECT_TRUE(s->end_export());
                    EXPECT_EQ(flt::heap_live_blocks(), live) << kind_name(kind) << " write " << k;
                }
            }
        }
    }
}

TEST(ExportFailure, RefusedBeforeAnyWrite) {
    struct Case {
        const char *what;
        Kind kind;
        int32_t bitsPerPixel;  // 0: the kind's
        int32_t imageCount;
        int32_t imageIndex;
    } cases[] = {
        {"palette with alpha plane", Kind::kPalette8, 0, 2, 1},
        {"1-bit with alpha plane", Kind::kGrey1, 0, 2, 1},
        {"4-bit with alpha plane", Kind::kPalette4, 0, 2, 1},
        {"16 bits", Kind::kRgb, 16, 1, 1},
        {"32 bits", Kind::kRgb, 32, 1, 1},
        {"0 bits", Kind::kRgb, 0, 1, 1},
        {"alpha plane without the colour plane", Kind::kGrey8, 0, 2, 2},
        {"plane 2 of one", Kind::kGrey8, 0, 1, 2},
        {"three planes", Kind::kGrey8, 0, 3, 1},
    };
    for (const Case &c : cases) {
        HostPicture p = make_picture(c.kind, 7, 5);
        if (c.bitsPerPixel || std::string(c.what) == "0 bits")
            p.colour.bitsPerPixel = c.bitsPerPixel;
        long live = flt::heap_live_blocks();
        auto s = new_session();
        EXPECT_FALSE(s->export_plane(p.colour, c.imageCount, c.imageIndex)) << c.what;
        EXPECT_EQ(s->record().errorCode, FERR_BAD_REQUEST) << c.what;
        EXPECT_TRUE(s->writes().empty()) << c.what;
        EXPECT_EQ(s->record().filterState, nullptr) << c.what;
        EXPECT_EQ(flt::heap_live_blocks(), live) << c.what;
    }
}

TEST(ExportFailure, EmptyImageRefused) {
    for (auto [w, h] : {std::pair{0, 3}, {3, 0}, {-1, 3}}) {
        HostPicture p = make_picture(Kind::kGrey8, 1, 1);
        p.colour.width = w;
        p.colour.height = h;
        auto s = new_session();
        EXPECT_FALSE(s->export_plane(p.colour, 1, 1));
        EXPECT_EQ(s->record().errorCode, FERR_BAD_REQUEST);
        EXPECT_TRUE(s->writes().empty());
    }
}

// The alpha plane must fit the stored colour plane (else it would be read
// past its end); the headers are written by then, the state goes.
TEST(ExportFailure, AlphaPlaneOfAnotherSize) {
    HostPicture p = make_picture(Kind::kRgba, 6, 6);
    HostPicture q = make_picture(Kind::kRgba, 6, 7);
    long live = flt::heap_live_blocks();
    auto s = new_session();
    ASSERT_TRUE(s->export_plane(p.colour, 2, 1));
    EXPECT_NE(s->record().filterState, nullptr);
    EXPECT_FALSE(s->export_plane(q.alpha, 2, 2));
    EXPECT_EQ(s->record().errorCode, FERR_BAD_REQUEST);
    EXPECT_EQ(s->record().filterState, nullptr);
    EXPECT_EQ(flt::heap_live_blocks(), live);
}

TEST(ExportFailure, EveryAllocationFailsInTurn) {
    for (Kind kind : {Kind::kPalette8, Kind::kRgba, Kind::kGreyAlpha}) {
        HostPicture p = make_picture(kind, 33, 17, 2);
        p.colour.comment = "c";
        for (bool interlace : {false, true}) {
            bool finished = false;
            for (long n = 1; n < 200 && !finished; ++n) {
                long live = flt::heap_live_blocks();
                auto s = new_session();
                flt::heap_fail_at(n);
                bool ok = export_picture(*s, p, interlace);
                flt::heap_fail_at(0);
                if (ok) {
                    finished = true;
                } else {
                    EXPECT_EQ(s->record().errorCode, FERR_NO_MEMORY) << kind_name(kind) << n;
                    EXPECT_EQ(s->record().filterState, nullptr);
                }
                s->end_export();
                EXPECT_EQ(flt::heap_live_blocks(), live) << kind_name(kind) << " allocation " << n;
            }
            EXPECT_TRUE(finished);
        }
    }
}

}  // namespace
}  // namespace png_export_test
