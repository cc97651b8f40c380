// The per-module support routines: MulDiv, rectangles, the heap hooks, the
// bounded reader, row helpers and the string loader.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "common/byte_reader.h"
#include "common/checked.h"
#include "common/delivery.h"
#include "common/heap.h"
#include "common/module.h"
#include "common/module_strings.h"
#include "common/muldiv.h"
#include "common/record_blocks.h"
#include "common/rect.h"

namespace {

TEST(MulDiv, RoundsHalvesAwayFromZeroAndRefusesZeroDivisor) {
    struct Case {
        int32_t a, b, c, expected;
    } cases[] = {
        {0, 100, 10, 0},      {9, 100, 10, 90},    {1, 100, 3, 33},          {2, 100, 3, 67},
        {1, 1, 2, 1},         {-1, 1, 2, -1},      {1, -1, 2, -1},           {-1, -1, 2, 1},
        {3, 1, -2, -2},       {5, 100, 0, -1},     {INT_MAX, 2, 2, INT_MAX}, {INT_MAX, 4, 2, -1},
        {719, 100, 720, 100}, {359, 100, 720, 50}, {-7, 3, 2, -11},
    };
    for (const Case &c : cases)
        EXPECT_EQ(flt::MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
}

TEST(Rect, WindowsSemantics) {
    FilterRect a{0, 0, 10, 10}, b{5, 5, 20, 20}, out{1, 1, 1, 1};
    EXPECT_TRUE(flt::IntersectRect(&out, a, b));
    EXPECT_EQ(out.left, 5);
    EXPECT_EQ(out.right, 10);
    FilterRect touching{10, 0, 20, 10};
    EXPECT_FALSE(flt::IntersectRect(&out, a, touching));  // right edge is exclusive
    EXPECT_TRUE(flt::rect_is_zero(out));
    FilterRect line{3, 3, 3, 8};
    EXPECT_TRUE(flt::IsRectEmpty(line));
    EXPECT_FALSE(flt::IntersectRect(&out, line, a));
    flt::OffsetRect(&a, -2, 3);
    EXPECT_EQ(a.left, -2);
    EXPECT_EQ(a.bottom, 13);
    flt::SetRect(&a, 1, 2, 3, 4);
    EXPECT_EQ(a.top, 2);
}

TEST(Heap, FailsTheNthRequestAndCountsLiveBlocks) {
    long live = flt::heap_live_blocks();
    flt::heap_fail_at(3);
    void *a = flt::heap_alloc(8);
    void *b = flt::heap_alloc(8);
    void *c = flt::heap_alloc(8);
    void *d = flt::heap_alloc(8);
    EXPECT_TRUE(a && b && d);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(flt::heap_live_blocks(), live + 3);
    flt::heap_free(a);
    flt::heap_free(b);
    flt::heap_free(d);
    flt::heap_free(nullptr);
    EXPECT_EQ(flt::heap_live_blocks(), live);
    flt::heap_fail_at(2, true);
    void *e = flt::heap_alloc(1);
    EXPECT_EQ(flt::heap_alloc(1), nullptr);
    EXPECT_EQ(flt::heap_alloc(1), nullptr);
    EXPECT_EQ(flt::heap_realloc(e, 100), nullptr);  // old block stays valid
    flt::heap_fail_at(0);
    flt::heap_free(e);
    EXPECT_EQ(flt::heap_live_blocks(), live);
    EXPECT_EQ(flt::heap_new_array<uint32_t>(SIZE_MAX / 2), nullptr);
}

TEST(ByteReader, RefusesToReadPastTheEnd) {
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    flt::ByteReader r(bytes, sizeof bytes);
    uint32_t v32 = 0;
    uint16_t v16 = 0;
    uint8_t v8 = 0;
    ASSERT_TRUE(r.u16be(&v16));
    EXPECT_EQ(v16, 0x0102);
    EXPECT_FALSE(r.u32le(&v32));
    EXPECT_EQ(r.pos(), 2u);  // a failed read does not move
    ASSERT_TRUE(r.u16le(&v16));
    EXPECT_EQ(v16, 0x0403);
    flt::ByteReader sub;
    EXPECT_FALSE(r.sub(2, &sub));
    ASSERT_TRUE(r.sub(1, &sub));
    ASSERT_TRUE(sub.u8(&v8));
    EXPECT_EQ(v8, 5);
    EXPECT_FALSE(sub.u8(&v8));
    EXPECT_FALSE(r.skip(1));
    EXPECT_FALSE(r.seek(6));
    const uint8_t *p = nullptr;
    EXPECT_FALSE(r.peek_at(4, 2, &p));
    EXPECT_FALSE(r.peek_at(SIZE_MAX, 2, &p));
    flt::ByteReader empty(nullptr, 100);
    EXPECT_EQ(empty.size(), 0u);
}

TEST(Rows, ByteCountsAndOverflow) {
    EXPECT_EQ(flt::row_bytes(1, 1), 1u);
    EXPECT_EQ(flt::row_bytes(9, 1), 2u);
    EXPECT_EQ(flt::row_bytes(3, 4), 2u);
    EXPECT_EQ(flt::row_bytes(5, 24), 15u);
    EXPECT_EQ(flt::row_bytes(-1, 8), 0u);
    EXPECT_EQ(flt::row_bytes(INT32_MAX, 24), (uint64_t{INT32_MAX} * 24 + 7) / 8);
    EXPECT_EQ(flt::row_bytes_dword(576, 1), 72u);
    EXPECT_EQ(flt::row_bytes_dword(1, 24), 4u);
    size_t out;
    EXPECT_FALSE(flt::checked_mul(SIZE_MAX / 2, 3, &out));
    EXPECT_FALSE(flt::checked_add(SIZE_MAX, 1, &out));
}

// Pixel value x of a row at bpp bits.
unsigned pixel(const uint8_t *row, int x, int bpp) {
    int bit = x * bpp;
    return row[bit / 8] >> (8 - bpp - bit % 8) & ((1u << bpp) - 1);
}

TEST(Rows, CropMovesPixelLeftToTheStartAtEveryBitOffset) {
    std::vector<uint8_t> row(12);
    for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 37 + 11);
    for (int bpp : {1, 4, 8, 24}) {
        int pixels = static_cast<int>(row.size() - 1) * 8 / bpp;
        for (int left = 0; left < 9; ++left) {
            int width = pixels - left - (bpp < 8 ? 1 : 0);
            if (width <= 0) continue;
            std::vector<uint8_t> out(row.size());
            flt::crop_row(row.data(), out.data(), left, width, bpp);
            for (int x = 0; x < width; ++x) {
                if (bpp == 24) {
                    ASSERT_EQ(0, std::memcmp(&out[x * 3], &row[(x + left) * 3], 3));
                } else {
                    ASSERT_EQ(pixel(out.data(), x, bpp), pixel(row.data(), x + left, bpp))
                        << "bpp " << bpp << " left " << left << " x " << x;
                }
            }
        }
    }
}

TEST(Rows, ShiftRowLeftTakesBitsOfTheNextByteAndZerosAtTheEnd) {
    uint8_t row[] = {0x0F, 0xF0, 0xAA};
    flt::shift_row_left(row, 0, 2, 4);
    EXPECT_EQ(row[0], 0xFF);
    EXPECT_EQ(row[1], 0x0A);
    EXPECT_EQ(row[2], 0xA0);
    uint8_t same[] = {0x12, 0x34};
    flt::shift_row_left(same, 0, 1, 0);
    EXPECT_EQ(same[0], 0x12);
}

TEST(Strings, CompressionNameIsAnExactCopyAndReplacesOnlyOurBlocks) {
    bool oom = true;
    char *name = flt::load_string_copy(1, 1024, &oom);
    ASSERT_NE(name, nullptr);
    EXPECT_FALSE(oom);
    EXPECT_STREQ(name, "RLE Compression");
    flt::heap_free(name);
    char *cut = flt::load_string_copy(1, 4, &oom);
    ASSERT_NE(cut, nullptr);
    EXPECT_STREQ(cut, "RLE");
    flt::heap_free(cut);
    EXPECT_EQ(flt::load_string_copy(2, 260, &oom), nullptr);
    EXPECT_FALSE(oom);

    long live = flt::heap_live_blocks();
    char foreign[] = "host's own";
    char *slot = foreign;
    ASSERT_TRUE(flt::replace_compression_name(&slot, 260));
    EXPECT_STREQ(slot, "RLE Compression");  // the host's block was not freed
    ASSERT_TRUE(flt::replace_compression_name(&slot, 260));
    EXPECT_EQ(flt::heap_live_blocks(), live + 1);  // the first copy was taken back
    flt::heap_fail_at(1);
    EXPECT_FALSE(flt::replace_compression_name(&slot, 260));
    flt::heap_fail_at(0);
    EXPECT_STREQ(slot, "RLE Compression");
    flt::release_block(&slot);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(flt::heap_live_blocks(), live);
}

// Records that a host drops after identify keep their blocks in the module's
// table of handed-over blocks. However many pile up, a record that is still
// alive gets its blocks freed by its end operation; a table that forgot the
// oldest entries to make room would skip that release and leak them.
TEST(RecordBlocks, LiveRecordsBlocksOutlastManyDroppedRecords) {
    std::vector<uint8_t> picture(512, 0);
    picture.insert(picture.end(), {0xB9, 0x00});  // one row: a run of 72 zero bytes
    auto identify = [&picture](FilterRecord *r) {
        *r = FilterRecord{};
        r->fileData = picture.data();
        r->fileSize = static_cast<uint32_t>(picture.size());
        return FilterEntry(FE_IDENTIFY, r);
    };
    const long before = flt::heap_live_blocks();
    FilterRecord live;
    ASSERT_EQ(identify(&live), 1);
    const long held = flt::heap_live_blocks() - before;
    ASSERT_GT(held, 0);
    std::vector<FilterRecord> dropped(300);
    for (FilterRecord &r : dropped) ASSERT_EQ(identify(&r), 1);
    EXPECT_EQ(FilterEntry(FE_END_IMPORT, &live), 1);
    EXPECT_EQ(flt::heap_live_blocks(), before + held * 300) << "the live record's blocks stayed";
    for (FilterRecord &r : dropped) FilterEntry(FE_END_IMPORT, &r);
    EXPECT_EQ(flt::heap_live_blocks(), before);
}

// The table itself: every block handed over comes back, in any order.
TEST(RecordBlocks, EveryHandedOverBlockIsTakenBack) {
    const long before = flt::heap_live_blocks();
    std::vector<void *> blocks;
    for (int i = 0; i < 1000; ++i) {
        blocks.push_back(flt::heap_alloc(4));
        flt::hand_over(blocks.back());
    }
    for (size_t i = 0; i < blocks.size(); i += 2) EXPECT_TRUE(flt::take_back(blocks[i])) << i;
    for (size_t i = 1; i < blocks.size(); i += 2) EXPECT_TRUE(flt::take_back(blocks[i])) << i;
    EXPECT_EQ(flt::heap_live_blocks(), before);
    int foreign = 0;
    EXPECT_FALSE(flt::take_back(&foreign));
}

}  // namespace
