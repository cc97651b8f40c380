// paintxchg on damaged files and failing allocations: refused with a code,
// never read past the end, nothing leaked.
#include <gtest/gtest.h>

#include "common/heap.h"
#include "common/record_blocks.h"
#include "fixtures.h"

namespace macpaint_test {
namespace {

// A file of 512 header bytes and the given rows (each a byte string).
std::vector<uint8_t> file_of(const std::vector<std::vector<uint8_t>> &rows, size_t blank_rows) {
    std::vector<uint8_t> f(512, 0);
    for (const auto &r : rows) f.insert(f.end(), r.begin(), r.end());
    for (size_t i = 0; i < blank_rows; ++i) {
        f.push_back(0xB9);
        f.push_back(0x00);
    }
    return f;
}

const std::vector<uint8_t> kBlank = {0xB9, 0x00};

// Releases what identify leaves in the record, so that leaks can be counted.
void release_record_blocks(FilterRecord &r) {
    flt::release_block(&r.palette);
    flt::release_block(&r.compressionName);
}

TEST(MacPaintBadInput, IdentifyCodes) {
    std::vector<uint8_t> literal71 = {0x46};
    literal71.resize(1 + 71, 0x11);
    std::vector<uint8_t> literal73 = {0x48};
    literal73.resize(1 + 73, 0x11);
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        uint32_t code;  // 0: accepted
    } cases[] = {
        {"empty", {}, FERR_NOT_FORMAT},
        {"512 bytes", std::vector<uint8_t>(512, 0), FERR_NOT_FORMAT},
        {"one blank row at 512", file_of({kBlank}, 0), 0},
        {"row cut after its header", file_of({{0xB9}}, 0), FERR_NOT_FORMAT},
        {"version byte not zero",
         [] {
             auto f = file_of({kBlank}, 719);
             f[0] = 1;
             return f;
         }(),
         FERR_UNSUPPORTED},
        {"first row of 71 bytes", file_of({literal71}, 719), FERR_CORRUPT},
        {"first row of 73 bytes", file_of({literal73}, 719), FERR_CORRUPT},
        {"first row with 0x80", file_of({{0x80, 0x00}}, 719), FERR_CORRUPT},
        {"0x80 after a run", file_of({{0xE0, 0xFF, 0x80, 0x00}}, 719), FERR_CORRUPT},
        {"literal of 128", file_of({std::vector<uint8_t>(129, 0x7F)}, 719), FERR_CORRUPT},
        // The lengths decide even when the file ends inside the header's data.
        {"literal of 80, cut", file_of({{0x4F, 1, 2, 3}}, 0), FERR_CORRUPT},
        {"run passing 72, cut", file_of({{0xBB, 0x00, 0xFD}}, 0), FERR_CORRUPT},
    };
    for (const Case &c : cases) {
        auto s = session_for(c.file);
        bool ok = s->identify();
        EXPECT_EQ(ok, c.code == 0) << c.what;
        if (!ok) {
            EXPECT_EQ(s->record().errorCode, c.code) << c.what;
            EXPECT_EQ(s->record().filterState, nullptr) << c.what;
        }
        release_record_blocks(s->record());
        s->call(FE_IMPORT);  // releases the state of a successful identify
        release_record_blocks(s->record());
    }
}

TEST(MacPaintBadInput, LaterRowsAreCheckedWhenTheyAreReached) {
    // Identify looks at the first row only; import fails at the bad row.
    std::vector<uint8_t> overrun = {0xC0, 0x00, 0xC0, 0x00};  // 65 + 65 bytes
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        FilterRect region;
        uint32_t code;
        size_t rows_delivered;
    } cases[] = {
        {"decoded overrun",
         file_of({kBlank, kBlank, overrun}, 717),
         {0, 0, 0, 0},
         FERR_NOT_FORMAT,
         2},
        {"skipped overrun", file_of({kBlank, kBlank, overrun}, 717), {0, 5, 9, 6}, FERR_CORRUPT, 0},
        {"decoded 0x80", file_of({kBlank, {0x80, 0x00}}, 718), {0, 0, 0, 0}, FERR_NOT_FORMAT, 1},
        {"cut in the picture", file_of({kBlank}, 300), {0, 0, 0, 0}, FERR_NOT_FORMAT, 301},
        {"cut before a region", file_of({kBlank}, 300), {0, 400, 9, 401}, FERR_NOT_FORMAT, 0},
        {"skipped row passing 72, cut",
         file_of({kBlank, kBlank, {0xBB, 0x00, 0xFD}}, 0),
         {0, 5, 9, 6},
         FERR_CORRUPT,
         0},
    };
    for (const Case &c : cases) {
        auto s = session_for(c.file);
        ASSERT_TRUE(s->identify()) << c.what;
        s->record().region = c.region;
        EXPECT_FALSE(s->import_image()) << c.what;
        EXPECT_EQ(s->record().errorCode, c.code) << c.what;
        EXPECT_EQ(s->rows().size(), c.rows_delivered) << c.what;
        EXPECT_EQ(s->record().filterState, nullptr);
        release_record_blocks(s->record());
    }
}

TEST(MacPaintBadInput, TruncationAtEveryLengthNeverSucceedsOrOverreads) {
    REQUIRE_NETPBM();
    const std::vector<uint8_t> &full = with_mac_binary(pictures()[0].mac, "NOISE");
    // The shortest prefix that still holds all 720 rows.
    size_t needed = full.size();
    {
        auto s = session_for(full);
        ASSERT_TRUE(s->import_image());
        release_record_blocks(s->record());
    }
    long live = flt::heap_live_blocks();
    for (size_t n = 0; n < full.size(); n += (n < 700 ? 1 : 7)) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
        auto s = session_for(cut);
        bool ok = s->import_image();
        if (ok) needed = std::min(needed, n);
        if (!ok) {
            uint32_t code = s->record().errorCode;
            EXPECT_TRUE(code == FERR_NOT_FORMAT || code == FERR_CORRUPT) << n << ": " << code;
        }
        release_record_blocks(s->record());
        ASSERT_EQ(flt::heap_live_blocks(), live) << "leak at length " << n;
    }
    // Only a file that holds every row imports.
    EXPECT_GE(needed + 8, full.size());
}

TEST(MacPaintBadInput, EveryAllocationFailingInTurn) {
    REQUIRE_NETPBM();
    long live = flt::heap_live_blocks();
    for (uint32_t flags : {0u, 0x40u}) {
        bool succeeded = false;
        for (long n = 1; n < 40 && !succeeded; ++n) {
            auto s = session_for(pictures()[0].mac);
            s->record().requestFlags = flags;
            s->record().region = {0, 0, 99, 99};
            flt::heap_fail_at(n);
            succeeded = s->import_image();
            flt::heap_fail_at(0);
            if (!succeeded) {
                EXPECT_EQ(s->record().errorCode, static_cast<uint32_t>(FERR_NO_MEMORY)) << n;
            }
            EXPECT_EQ(s->record().filterState, nullptr);
            release_record_blocks(s->record());
            ASSERT_EQ(flt::heap_live_blocks(), live) << "leak when request " << n << " failed";
        }
        EXPECT_TRUE(succeeded);
    }
}

TEST(MacPaintBadInput, IdentifyTwiceReplacesItsOwnBlocksOnly) {
    auto s = session_for(file_of({kBlank}, 719));
    uint8_t host_palette[6] = {1, 2, 3, 4, 5, 6};
    s->record().palette = host_palette;  // left by an export: the host's, never freed
    long live = flt::heap_live_blocks();
    ASSERT_TRUE(s->identify());
    ASSERT_TRUE(s->identify());
    EXPECT_EQ(flt::heap_live_blocks(), live + 3);  // state, palette and name, once
    ASSERT_TRUE(s->import_image());
    EXPECT_EQ(flt::heap_live_blocks(), live + 2);  // the palette and name stay for the host
    release_record_blocks(s->record());
    EXPECT_EQ(flt::heap_live_blocks(), live);
    EXPECT_EQ(host_palette[0], 1);
}

}  // namespace
}  // namespace macpaint_test
