// The scaled import walks the data once, forward. The straightforward
// strategy finds every needed line afresh from the start of the data, so
// its cost grows with the square of the height. Both must deliver the same
// rows, y values, percents and error codes: this test runs the quadratic
// strategy, written out here, against the module on many files, sound and
// damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codec/img_lines.h"
#include "common/checked.h"
#include "common/delivery.h"
#include "common/heap.h"
#include "common/muldiv.h"
#include "format.h"
#include "gem_fixtures.h"
#include "identify.h"

namespace {

using namespace gem_test;

// Quadratic reference: every needed source line i is found by skipping i
// lines from the start of the pixel data with a fresh cursor.
uint32_t scaled_from_the_start(FilterRecord *record, const gem::ImgFile &f) {
    const FilterRect r = record->region;
    const int64_t wd = int64_t{r.right} - r.left + 1, d = int64_t{r.bottom} - r.top + 1;
    if (wd <= 0 || d <= 0 || wd > INT32_MAX / 32 || d > INT32_MAX / 2) return FERR_BAD_REQUEST;
    const gem::ImgLayout &l = f.layout;
    const int32_t width = f.header.width, h = f.header.height, bpp = l.bitsPerPixel;
    const size_t line_size = l.cls == gem::ImgClass::kChunky24
                                 ? 3 * static_cast<size_t>(width) + 1
                                 : static_cast<size_t>(flt::row_bytes_dword(width, bpp)) + 1;
    const int32_t out_bytes = static_cast<int32_t>(flt::row_bytes(wd, bpp));
    Bytes decoded(l.decodedBytes + 1), line(line_size), out(static_cast<size_t>(out_bytes) + 1);
    int64_t e = std::max<int64_t>(0, h - d);
    int32_t c = 0;
    for (int32_t i = 0; i < h; ++i) {
        e += d;
        if (e < h) continue;
        gem::SkipCursor from_start;
        size_t pos = 0;
        uint32_t due = 0;
        if (!gem::ImgSkipLines(l, f.data, f.size, &from_start, static_cast<uint64_t>(i), &pos,
                               &due))
            return FERR_DECODE;
        if (int64_t{due} + i > h) return FERR_CORRUPT;
        if (due) {
            pos += gem::kPrefixBytes;
        } else {
            const gem::Prefix p = gem::ImgPrefixAt(f.data + pos, f.size - pos);
            if (p == gem::Prefix::kShort) return FERR_DECODE;
            if (p == gem::Prefix::kPrefix) {
                if (int64_t{f.data[pos + 3]} + i > h) return FERR_CORRUPT;
                pos += gem::kPrefixBytes;
            }
        }
        size_t consumed = 0;
        if (!gem::ImgDecodeLine(l, f.data + pos, f.size - pos, 0, decoded.data(), &consumed))
            return FERR_CORRUPT;
        gem::ImgConvertLine(l, decoded.data(), width, line.data());
        record->stretchProc(line.data(), out.data(), width, static_cast<int32_t>(wd), bpp);
        for (; e >= h; e -= h, ++c) {
            if (!flt::deliver_row(record, out.data(), static_cast<int32_t>(d) - 1 - c,
                                  static_cast<int32_t>(wd), out_bytes,
                                  flt::MulDiv(c, 100, static_cast<int32_t>(d))))
                return flt::refusal_code(record, FERR_TRANSFER);
        }
    }
    return 0;
}

struct ScaledRun {
    bool ok;
    uint32_t code;
    std::vector<host::RowCall> rows;
    std::vector<Bytes> bytes;
};

ScaledRun run_scaled(const Bytes &file, FilterRect region, bool reference, int refuse_row) {
    host::Session s(testing_support::linked_module());
    s.set_file(file);
    s.record().region = region;
    s.record().requestFlags = 0x800;
    s.refuse_row_at = refuse_row;
    ScaledRun r{};
    s.on_row = [&r](const host::RowCall &c, const uint8_t *b) {
        r.bytes.emplace_back(b, b + c.byteCount);
    };
    if (reference) {
        gem::ImgFile f;
        uint32_t code = gem::ImgIdentifySteps(&s.record(), &f);
        if (code == 0 && !flt::call_header(&s.record())) code = FERR_TRANSFER;
        if (code == 0) code = scaled_from_the_start(&s.record(), f);
        r.ok = code == 0;
        r.code = code;
    } else {
        r.ok = s.import_image();
        r.code = r.ok ? 0 : s.record().errorCode;
    }
    r.rows = s.rows();
    s.end_import();
    return r;
}

bool same_calls(const ScaledRun &a, const ScaledRun &b) {
    if (a.ok != b.ok || a.code != b.code || a.rows.size() != b.rows.size() || a.bytes != b.bytes)
        return false;
    for (size_t i = 0; i < a.rows.size(); ++i) {
        const host::RowCall &x = a.rows[i], &y = b.rows[i];
        if (x.y != y.y || x.x != y.x || x.rowCount != y.rowCount || x.width != y.width ||
            x.byteCount != y.byteCount || x.percent != y.percent)
            return false;
    }
    return true;
}

// Sound files of every class with random replication, and damaged copies:
// cut short, bytes changed, replication counts raised.
std::vector<Bytes> corpus(std::mt19937 &rng) {
    std::vector<Bytes> files;
    const Bytes palettes[] = {{255, 255, 255, 0, 0, 0},
                              bgr_of(gem::ImgPaletteSixteen, 16),
                              grey_palette(256, 1, false),
                              {}};
    const int depths[] = {1, 4, 8, 24};
    for (int n = 0; n < 120; ++n) {
        const int k = n % 4;
        std::vector<int> blocks;
        const int count = 1 + static_cast<int>(rng() % 8);
        for (int b = 0; b < count; ++b)
            blocks.push_back(1 + static_cast<int>(rng() % (b % 3 == 0 ? 40 : 4)));
        const int width = 1 + static_cast<int>(rng() % 30);
        Exported e = export_image(blocks_image(width, depths[k], blocks, palettes[k], rng()));
        if (!e.ok) continue;
        files.push_back(e.file);
        const size_t start = e.file[3] == 9 ? 18 : 16;
        Bytes cut = e.file;
        cut.resize(start + rng() % (cut.size() - start + 1));
        files.push_back(cut);
        Bytes changed = e.file;
        for (int j = 0; j < 3 && changed.size() > start; ++j)
            changed[start + rng() % (changed.size() - start)] = static_cast<uint8_t>(rng());
        files.push_back(changed);
        Bytes raised = e.file;
        for (size_t p = start; p + 3 < raised.size(); ++p)
            if (raised[p] == 0 && raised[p + 1] == 0 && raised[p + 2] == 0xFF && rng() % 2) {
                raised[p + 3] =
                    static_cast<uint8_t>(rng() % 3 == 0 ? 0 : raised[p + 3] + rng() % 4);
                break;
            }
        files.push_back(raised);
    }
    return files;
}

TEST(GemScaledEquivalence, ForwardWalkMatchesFindingEachLineFromTheStart) {
    std::mt19937 rng(2024);
    const std::vector<Bytes> files = corpus(rng);
    int compared = 0, failures_seen = 0;
    for (const Bytes &file : files) {
        const int h = file[14] << 8 | file[15], w = file[12] << 8 | file[13];
        for (int d : {1, 2, std::max(1, h / 3), std::max(1, h - 1), h, h + 1, 2 * h + 1, 3 * h}) {
            const int wd = 1 + static_cast<int>(rng() % (2 * w + 1));
            const FilterRect region{3, 5, 3 + wd - 1, 5 + d - 1};
            const int refuse = rng() % 5 == 0 ? 1 + static_cast<int>(rng() % (d + 1)) : 0;
            const ScaledRun forward = run_scaled(file, region, false, refuse);
            const ScaledRun quadratic = run_scaled(file, region, true, refuse);
            ASSERT_TRUE(same_calls(forward, quadratic))
                << "file " << (&file - files.data()) << " d " << d << " codes " << forward.code
                << "/" << quadratic.code << " rows " << forward.rows.size() << "/"
                << quadratic.rows.size();
            ++compared;
            failures_seen += forward.ok ? 0 : 1;
        }
    }
    EXPECT_GT(compared, 3000);
    EXPECT_GT(failures_seen, 200) << "damaged files must be among the compared runs";
    std::printf("compared %d scaled imports (%d ending in an error) over %zu files\n", compared,
                failures_seen, files.size());
}

}  // namespace
