// Damaged executables: truncated and bit-flipped NE and PE files, each placed
// right before an unreadable page so that a read past the end of fileData
// faults; and every allocation failing in turn. Nothing may crash or leak.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/heap.h"
#include "fixtures.h"
#include "harness.h"
#include "real_files.h"
#include "support/guard_page.h"

namespace {

using Bytes = std::vector<uint8_t>;

using GuardedBytes = testing_support::GuardPage;

Bytes sample_dibs_ne() {
    fx::DibOptions rle8, rle4, fields, top;
    rle8.compression = 1;
    rle4.compression = 2;
    fields.compression = 3;
    top.topDown = true;
    return fx::make_ne({{0x8003, {1, 2, 3}},
                        {0x8002, fx::make_dib(fx::pattern(13, 6, 8, 1), rle8)},
                        {0x8002, fx::make_dib(fx::pattern(11, 5, 4, 2), rle4)},
                        {0x8002, fx::make_dib(fx::pattern(7, 4, 24, 3), fields)},
                        {0x8002, fx::make_dib(fx::pattern(9, 3, 1, 4), top)}},
                       fx::NeOptions{2, 2, 0x030A});
}

Bytes sample_dibs_pe() {
    fx::DibOptions rle4;
    rle4.compression = 2;
    return fx::make_pe({{2, "PICTURE", 0, 1031, fx::make_dib(fx::pattern(10, 4, 4, 5), rle4)},
                        {2, "PICTURE", 0, 1033, fx::make_dib(fx::pattern(5, 5, 24, 6))},
                        {2, "", 3, 1033, fx::make_dib(fx::pattern(6, 2, 8, 7))}});
}

// Identify and import every bitmap of `indices`, whole, cropped or fitted
// (the mode turns with each variant); returns whether any import succeeded.
bool exercise(const uint8_t *data, size_t size, const std::vector<int32_t> &indices) {
    static int turn = 0;
    const int mode = turn++ % 3;
    bool any = false;
    for (int32_t index : indices) {
        fx::Harness h;
        h.keepRows = false;
        h.stopAfterRows = 64;
        FilterRecord &r = h.record();
        r.fileData = data;
        r.fileSize = uint32_t(size);
        r.imageIndex = index;
        if (mode == 1) r.region = {1, 1, 3, 2};
        if (mode == 2) r.requestFlags = 0x40, r.region = {0, 0, 6, 3};
        any |= h.identify() && h.import_image();
    }
    return any;
}

#ifdef _WIN32
// Every identify asks the window system for the screen metrics, which under
// Wine costs a server round trip: the Windows run takes every fourth variant
// (the parsers are the same code the native run sweeps in full).
constexpr size_t kSample = 4;
#else
constexpr size_t kSample = 1;
#endif

// Damages `original` in every position below `span` (truncation every
// `step` bytes) and imports the bitmaps of `indices` from each variant.
void sweep(const Bytes &original, const char *what, const std::vector<int32_t> &indices,
           size_t span, size_t step = 1, int random = 1500) {
    step *= kSample;
    random /= static_cast<int>(kSample);
    GuardedBytes guard(original.size() + 64);
    ASSERT_TRUE(guard.ok());
    flt::heap_fail_at(0);
    const long live = flt::heap_live_blocks();
    for (int mode = 0; mode < 3; ++mode)
        ASSERT_TRUE(exercise(guard.place(original), original.size(), indices))
            << what << " as built";
    int variants = 0;
    // Every truncation.
    for (size_t n = 0; n < original.size(); n += step, ++variants) {
        Bytes cut(original.begin(), original.begin() + n);
        exercise(guard.place(cut), cut.size(), indices);
    }
    // Every byte flipped in a few ways, then random multi-byte damage.
    uint32_t seed = 7;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345) >> 8; };
    for (size_t i = 0; i < std::min(span, original.size()); i += kSample) {
        for (uint8_t v :
             {uint8_t(original[i] ^ 0xFF), uint8_t(0), uint8_t(original[i] + 1), uint8_t(0x80)}) {
            Bytes b = original;
            b[i] = v;
            exercise(guard.place(b), b.size(), indices);
            ++variants;
        }
    }
    for (int k = 0; k < random; ++k, ++variants) {
        Bytes b = original;
        for (int j = 0, n = 1 + int(next() % 6); j < n; ++j) b[next() % b.size()] = uint8_t(next());
        exercise(guard.place(b), b.size(), indices);
    }
    EXPECT_EQ(flt::heap_live_blocks(), live) << what;
    std::printf("[ sweep    ] %s: %d damaged variants, no fault\n", what, variants);
}

TEST(Robustness, DamagedNeFile) {
    sweep(sample_dibs_ne(), "NE file", {0, 2, 3, 4, 5}, SIZE_MAX);
}
TEST(Robustness, DamagedPeFile) {
    sweep(sample_dibs_pe(), "PE file", {1, 2, 3, 4}, SIZE_MAX);
}

TEST(Robustness, DamagedRealDll) {
    const std::string path = fx::fixture_path("bitmaps32.dll");
    Bytes dll;
    if (!fx::read_fixture(path, &dll)) GTEST_SKIP() << fx::missing_fixtures_message();
    // Byte damage in the headers, the section table and the resource
    // directory (the first 2 KiB of .rsrc), where the walk is steered;
    // truncation everywhere.
    Bytes head(dll.begin(), dll.begin() + std::min<size_t>(dll.size(), 0x400 + 0x800));
    sweep(dll, "mingw-w64 DLL", {1, 5, 6, 11}, head.size(), 3, 600);
}

// Every allocation failing in turn: the import either succeeds or reports
// FERR_NO_MEMORY, and nothing stays allocated after FE_END_IMPORT.
TEST(Robustness, EveryAllocationFailing) {
    const Bytes files[] = {sample_dibs_ne(), sample_dibs_pe()};
    for (const Bytes &file : files) {
        for (int32_t index = 1; index <= 4; ++index) {
            for (long n = 1;; ++n) {
                const long live = flt::heap_live_blocks();
                bool ok = false;
                uint32_t code = 0;
                {
                    fx::Harness h;
                    h.set_file(file);
                    h.record().imageIndex = index;
                    h.record().region = {1, 0, 3, 1};
                    flt::heap_fail_at(n);
                    ok = h.identify() && h.import_image();
                    code = h.record().errorCode;
                    flt::heap_fail_at(0);
                }
                EXPECT_EQ(flt::heap_live_blocks(), live) << "index " << index << ", failing " << n;
                if (ok) break;
                if (code == FERR_CORRUPT && n == 1) break;  // no bitmap of that index
                ASSERT_EQ(code, uint32_t(FERR_NO_MEMORY)) << "index " << index << ", failing " << n;
                ASSERT_LT(n, 20);
            }
        }
    }
}

}  // namespace
