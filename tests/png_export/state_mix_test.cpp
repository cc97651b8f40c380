// One record used for import and export in turn without the end operations:
// each operation releases the other direction's state instead of misreading it.
#include <gtest/gtest.h>

#include "common/heap.h"
#include "export_fixtures.h"

namespace png_export_test {
namespace {

TEST(StateMix, ExportAfterIdentifyAndImportAfterOptions) {
    HostPicture p = make_picture(Kind::kRgba, 9, 7, 3);
    std::vector<uint8_t> file = export_bytes(p);
    ASSERT_FALSE(file.empty());
    long live = flt::heap_live_blocks();
    {
        auto s = new_session();
        s->set_file(file);
        ASSERT_TRUE(s->identify());  // an import parse now hangs in filterState
        ASSERT_TRUE(export_picture(*s, p));
        EXPECT_TRUE(s->end_export());
        EXPECT_EQ(s->record().filterState, nullptr);

        ASSERT_EQ(s->call(FE_OPTIONS), 1);  // no dialog can open here: confirmed
        ASSERT_NE(s->record().filterState, nullptr);
        ASSERT_TRUE(s->import_image());  // options left an export state
        EXPECT_EQ(s->image().width, 9);
        EXPECT_EQ(s->image().height, 7);
        EXPECT_TRUE(s->end_import());
        EXPECT_EQ(s->record().filterState, nullptr);
    }
    EXPECT_EQ(flt::heap_live_blocks(), live);
}

TEST(StateMix, EndImportKeepsTheOptionsOfAComingExport) {
    auto s = new_session();
    ASSERT_EQ(s->call(FE_OPTIONS), 1);
    void *options = s->record().filterState;
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(s->end_import());
    EXPECT_EQ(s->record().filterState, options);
    EXPECT_TRUE(s->end_export());
    EXPECT_EQ(s->record().filterState, nullptr);
}

}  // namespace
}  // namespace png_export_test
