// Pixels in every buffer style a plug-in may use: whole rows, one plane at a
// time, padded pixels, planar buffers, column tiles, chunks left in `data`,
// 16-bit samples, extra planes, each mode; both directions.
#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

#include "plug_fixture.h"

namespace {

enum Flow { kAdvance, kLeft, kMixed };

struct Style {
    const char *name;
    int16_t mode, depth, planes;
    int tileWidth;  // columns per tile; 0: whole rows
    int rowsPer;    // rows per chunk
    bool perPlane;  // one plane per chunk
    int pad;        // extra bytes per pixel (interleaved) or per row
    bool planar;    // planes one after another, planeBytes apart
    Flow flow;
};

// The plug-in's sample of plane p at (x, y), at 8 bits.
uint8_t sample(int x, int y, int p) {
    return static_cast<uint8_t>(x * 37 + y * 11 + p * 71 + 5);
}

// One chunk as the plug-in lays it out.
struct Piece {
    PIRect rect;
    int16_t lo, hi, colBytes;
    int32_t rowBytes, planeBytes;
    std::vector<uint8_t> bytes;

    size_t at(int x, int y, int p) const {
        return static_cast<size_t>((y - rect.top) * rowBytes + (x - rect.left) * colBytes +
                                   (p - lo) * planeBytes);
    }
    void describe(FormatRecord *r) {
        r->data = bytes.data();
        r->theRect = rect;
        r->loPlane = lo, r->hiPlane = hi, r->colBytes = colBytes;
        r->rowBytes = rowBytes, r->planeBytes = planeBytes;
    }
};

std::vector<Piece> cut(const Style &s, int w, int h) {
    std::vector<Piece> out;
    const int sb = s.depth / 8;
    const int tile = s.tileWidth ? s.tileWidth : w;
    for (int top = 0; top < h; top += s.rowsPer)
        for (int left = 0; left < w; left += tile)
            for (int lo = 0; lo < s.planes; lo += s.perPlane ? 1 : s.planes) {
                Piece c{};
                int bottom = std::min(h, top + s.rowsPer), right = std::min(w, left + tile);
                int n = s.perPlane ? 1 : s.planes, cols = right - left, rows = bottom - top;
                c.rect = {int16_t(top), int16_t(left), int16_t(bottom), int16_t(right)};
                c.lo = int16_t(lo), c.hi = int16_t(lo + n - 1);
                if (s.depth == 1) {
                    c.rowBytes = (cols + 7) / 8 + s.pad;
                } else if (s.planar) {
                    c.colBytes = int16_t(sb), c.rowBytes = cols * sb + s.pad;
                    c.planeBytes = rows * c.rowBytes;
                } else {
                    c.colBytes = int16_t(n * sb + s.pad), c.planeBytes = sb;
                    c.rowBytes = cols * c.colBytes;
                }
                c.bytes.assign(static_cast<size_t>(rows * c.rowBytes + n * c.planeBytes + 8), 0xA5);
                out.push_back(std::move(c));
            }
    return out;
}

void fill(Piece &c, int depth) {
    for (int y = c.rect.top; y < c.rect.bottom; ++y)
        for (int x = c.rect.left; x < c.rect.right; ++x)
            for (int p = c.lo; p <= c.hi; ++p) {
                uint8_t v = sample(x, y, p);
                if (depth == 1) {
                    uint8_t &b = c.bytes[static_cast<size_t>((y - c.rect.top) * c.rowBytes +
                                                             (x - c.rect.left) / 8)];
                    b = static_cast<uint8_t>((b & ~(0x80 >> ((x - c.rect.left) % 8))) |
                                             ((v & 1) << (7 - (x - c.rect.left) % 8)));
                } else if (depth == 16) {
                    auto wide = static_cast<uint16_t>((v * 32768 + 127) / 255);
                    std::memcpy(&c.bytes[c.at(x, y, p)], &wide, 2);
                } else {
                    c.bytes[c.at(x, y, p)] = v;
                }
            }
}

// The host's pixel x of row y (from the top) that the plug-in's samples make.
std::vector<uint8_t> host_pixel(int16_t mode, int x, int y) {
    switch (mode) {
        case plugInModeRGBColor:
        case 11:
            return {sample(x, y, 2), sample(x, y, 1), sample(x, y, 0)};
        case plugInModeLabColor:
            return {sample(x, y, 0), sample(x, y, 1), sample(x, y, 2)};
        case plugInModeCMYKColor:
            return {sample(x, y, 0), sample(x, y, 1), sample(x, y, 2), sample(x, y, 3)};
        default:
            return {sample(x, y, 0)};
    }
}

class ReadStyleTest : public PlugTest, public ::testing::WithParamInterface<Style> {};

TEST_P(ReadStyleTest, HostGetsEveryRowOnceInItsOwnLayout) {
    const Style &s = GetParam();
    const int w = 11, h = 5;
    auto pieces = std::make_shared<std::vector<Piece>>(cut(s, w, h));
    for (Piece &c : *pieces) fill(c, s.depth);
    auto next = std::make_shared<size_t>(0);
    // kAdvance: every piece through advanceState in one call. kLeft: one
    // piece left described per call, the first by ReadStart. kMixed: one
    // piece per call, every other one handed over through advanceState and
    // left described as well (it must not arrive twice).
    script.action = [=](int16_t selector, FormatRecord *r, intptr_t *) {
        bool first = selector == formatSelectorReadStart && s.flow == kLeft;
        if (selector != formatSelectorReadContinue && !first) return;
        r->data = nullptr;
        while (*next < pieces->size()) {
            Piece &c = (*pieces)[(*next)++];
            c.describe(r);
            if (s.flow != kLeft && (s.flow == kAdvance || *next % 2)) {
                ASSERT_EQ(r->advanceState(), 0);
            }
            if (s.flow != kAdvance) return;
        }
        r->data = nullptr;
    };
    describe(s.mode, w, h, s.depth, s.planes);
    ASSERT_TRUE(session->import_image()) << record().errorCode;
    ASSERT_EQ(session->rows().size(), static_cast<size_t>(h));
    const host::Image &image = session->image();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (s.depth == 1) {
                int bit = image.row(y)[x / 8] >> (7 - x % 8) & 1;
                ASSERT_EQ(bit, sample(x, y, 0) & 1) << x << "," << y;
                continue;
            }
            std::vector<uint8_t> want = host_pixel(s.mode, x, y);
            std::vector<uint8_t> got(image.row(y) + x * want.size(),
                                     image.row(y) + (x + 1) * want.size());
            ASSERT_EQ(got, want) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Styles, ReadStyleTest,
    ::testing::Values(
        Style{"interleaved", plugInModeRGBColor, 8, 3, 0, 5, false, 0, false, kAdvance},
        Style{"per_plane", plugInModeRGBColor, 8, 3, 0, 1, true, 0, false, kAdvance},
        Style{"padded", plugInModeRGBColor, 8, 3, 0, 2, false, 1, false, kAdvance},
        Style{"planar", plugInModeRGBColor, 8, 3, 0, 5, false, 3, true, kAdvance},
        Style{"tiles", plugInModeRGBColor, 8, 3, 4, 2, false, 0, false, kAdvance},
        Style{"tiles_per_plane", plugInModeLabColor, 8, 3, 3, 3, true, 2, true, kMixed},
        Style{"chunk_flow", plugInModeRGBColor, 8, 3, 0, 1, false, 0, false, kLeft},
        Style{"mixed", plugInModeRGBColor, 8, 3, 5, 2, false, 0, false, kMixed},
        Style{"sixteen", plugInModeRGBColor, 16, 3, 0, 2, false, 0, false, kAdvance},
        Style{"mode_11", 11, 16, 3, 4, 5, true, 0, true, kLeft},
        Style{"alpha", plugInModeRGBColor, 8, 4, 0, 5, false, 0, false, kAdvance},
        Style{"gray", plugInModeGrayScale, 8, 1, 0, 2, false, 3, false, kLeft},
        Style{"gray16_tiles", 10, 16, 1, 3, 5, false, 0, false, kAdvance},
        Style{"indexed", plugInModeIndexedColor, 8, 1, 0, 5, false, 0, false, kAdvance},
        Style{"cmyk", plugInModeCMYKColor, 8, 4, 0, 5, true, 0, true, kAdvance},
        Style{"bitmap", plugInModeBitmap, 1, 1, 0, 2, false, 1, false, kMixed},
        Style{"bitmap_tiles", plugInModeBitmap, 1, 1, 3, 5, false, 0, false, kAdvance}),
    [](const auto &info) { return std::string(info.param.name); });

// The same grey row from plug-ins that state different maxima for their
// 16-bit samples (0: none stated, the interface's 32768): the host gets the
// same 8-bit row, and a sample above the maximum is white, not wrapped.
TEST_F(PlugTest, SixteenBitSamplesFollowTheStatedMaximum) {
    const std::vector<uint8_t> want = {0, 1, 127, 128, 254, 255, 255};
    const int w = static_cast<int>(want.size());
    for (int32_t max : {0, 32768, 65535, 1000}) {
        const uint32_t full = max ? static_cast<uint32_t>(max) : 32768;
        Piece c{{0, 0, 1, int16_t(w)}, 0, 0, 2, 2 * w, 2, std::vector<uint8_t>(2 * w)};
        for (int x = 0; x < w; ++x) {
            uint32_t v = x + 1 < w ? (want[x] * full + 127) / 255 : std::min(full * 3, 65535u);
            auto wide = static_cast<uint16_t>(v);
            std::memcpy(&c.bytes[2 * x], &wide, 2);
        }
        script.reset();
        script.action = [&c, max](int16_t selector, FormatRecord *r, intptr_t *) {
            if (selector == formatSelectorReadStart) r->maxValue = max;
            if (selector != formatSelectorReadContinue) return;
            c.describe(r);
            EXPECT_EQ(r->advanceState(), 0);
            r->data = nullptr;
        };
        describe(10, int16_t(w), 1, 16, 1);
        ASSERT_TRUE(session->import_image()) << max << ": " << record().errorCode;
        const host::Image &image = session->image();
        EXPECT_EQ(std::vector<uint8_t>(image.row(0), image.row(0) + w), want) << max;
        session->end_import();
    }
}

struct WriteStyle {
    const char *name;
    int32_t bits;
    int32_t colorSpace;
    bool whiteFirst;  // 1-bit palette {white, black}
    Style layout;     // mode, depth and planes come from the host's description
};

// The host's sample of plug-in plane p at (x, y), at the interface's sense.
uint8_t host_sample(const host::Image &image, const WriteStyle &s, int x, int y, int p) {
    const uint8_t *row = image.row(y);
    switch (s.bits) {
        case 1:
            return static_cast<uint8_t>((row[x / 8] >> (7 - x % 8) & 1) ^ s.whiteFirst);
        case 4:
            return static_cast<uint8_t>(x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4);
        case 24:
            return row[3 * x + (s.colorSpace ? p : 2 - p)];
        default:
            return row[static_cast<size_t>(x * s.bits / 8 + p)];
    }
}

uint8_t piece_sample(const Piece &c, int depth, int x, int y, int p) {
    if (depth != 1) return c.bytes[c.at(x, y, p)];
    int i = x - c.rect.left;
    return c.bytes[static_cast<size_t>((y - c.rect.top) * c.rowBytes + i / 8)] >> (7 - i % 8) & 1;
}

class WriteStyleTest : public PlugTest, public ::testing::WithParamInterface<WriteStyle> {};

TEST_P(WriteStyleTest, PluginGetsEverySampleInTheLayoutItAskedFor) {
    const WriteStyle &s = GetParam();
    const int w = 11, h = 5;
    host::Image image = gray_image(w, h, 16);
    image.bitsPerPixel = s.bits;
    image.allocate();
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 7 + 3);
    if (s.bits == 1)
        image.palette = s.whiteFirst ? std::vector<uint8_t>{255, 255, 255, 0, 0, 0}
                                     : std::vector<uint8_t>{0, 0, 0, 255, 255, 255};
    record().colorSpace = s.colorSpace;
    record().requestFlags = FRI_NO_DIALOG;
    std::map<std::tuple<int, int, int>, uint8_t> got;
    auto pieces = std::make_shared<std::vector<Piece>>();
    auto next = std::make_shared<size_t>(0);
    auto take = [&got](const Piece &c, int depth) {
        for (int y = c.rect.top; y < c.rect.bottom; ++y)
            for (int x = c.rect.left; x < c.rect.right; ++x)
                for (int p = c.lo; p <= c.hi; ++p) got[{x, y, p}] = piece_sample(c, depth, x, y, p);
    };
    script.action = [&, pieces, next](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector == formatSelectorWriteStart) {
            Style layout = s.layout;
            layout.depth = r->depth, layout.planes = r->planes;
            *pieces = cut(layout, w, h);
        }
        if (selector != formatSelectorWriteStart && selector != formatSelectorWriteContinue) return;
        // The host filled the piece left described before this call.
        if (*next > 0 && s.layout.flow != kAdvance) take((*pieces)[*next - 1], r->depth);
        r->data = nullptr;
        while (*next < pieces->size()) {
            Piece &c = (*pieces)[(*next)++];
            c.describe(r);
            if (s.layout.flow == kLeft) return;
            ASSERT_EQ(r->advanceState(), 0);
            take(c, r->depth);
        }
        r->data = nullptr;
    };
    ASSERT_TRUE(session->export_plane(image, 1, 1)) << record().errorCode;
    const int planes = s.bits == 32 ? 4 : s.bits == 24 ? 3 : 1;
    ASSERT_EQ(got.size(), static_cast<size_t>(w * h * planes));
    for (const auto &[at, v] : got) {
        auto [x, y, p] = at;
        ASSERT_EQ(v, host_sample(image, s, x, y, p)) << x << "," << y << "," << p;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Styles, WriteStyleTest,
    ::testing::Values(
        WriteStyle{"rgb_interleaved", 24, 0, false, {"", 0, 0, 0, 0, 5, false, 0, false, kAdvance}},
        WriteStyle{"rgb_per_plane", 24, 0, false, {"", 0, 0, 0, 0, 1, true, 0, false, kAdvance}},
        WriteStyle{"rgb_padded_tiles", 24, 0, false, {"", 0, 0, 0, 4, 2, false, 1, false, kLeft}},
        WriteStyle{"rgb_planar", 24, 0, false, {"", 0, 0, 0, 0, 5, false, 2, true, kLeft}},
        WriteStyle{
            "lab_per_plane_tiles", 24, 11, false, {"", 0, 0, 0, 3, 2, true, 0, false, kLeft}},
        WriteStyle{"cmyk", 32, 0, false, {"", 0, 0, 0, 0, 3, true, 0, true, kAdvance}},
        WriteStyle{"gray_host_filled", 8, 0, false, {"", 0, 0, 0, 0, 1, false, 0, false, kLeft}},
        WriteStyle{
            "four_bit_as_bytes", 4, 0, false, {"", 0, 0, 0, 3, 5, false, 0, false, kAdvance}},
        WriteStyle{"bitmap", 1, 0, false, {"", 0, 0, 0, 0, 2, false, 1, false, kAdvance}},
        WriteStyle{"bitmap_white_first", 1, 0, true, {"", 0, 0, 0, 0, 5, false, 0, false, kLeft}}),
    [](const auto &info) { return std::string(info.param.name); });

struct Hostile {
    const char *name;
    int16_t mode, depth, planes;
    Piece piece;  // rect, planes and steps; the bytes are the test's
};

class HostileLayoutTest : public PlugTest, public ::testing::WithParamInterface<Hostile> {};

// Descriptions that would make samples or rows overlap, or reach planes the
// image does not have, are declined before a byte moves.
TEST_P(HostileLayoutTest, IsDeclinedBeforeAnyRowMoves) {
    const Hostile &c = GetParam();
    std::vector<int16_t> results;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        static uint8_t bytes[256];
        if (selector != formatSelectorReadContinue) return;
        Piece p = c.piece;
        p.describe(r);
        r->data = bytes;
        results.push_back(r->advanceState());
        r->data = nullptr;
    };
    describe(c.mode, 4, 3, c.depth, c.planes);
    EXPECT_FALSE(session->import_image());
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN));
    EXPECT_EQ(results, (std::vector<int16_t>{formatBadParameters}));
    EXPECT_TRUE(session->rows().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, HostileLayoutTest,
    ::testing::Values(
        Hostile{
            "plane_past_the_image", plugInModeRGBColor, 8, 3, {{0, 0, 3, 4}, 0, 3, 4, 16, 1, {}}},
        Hostile{"planes_reversed", plugInModeRGBColor, 8, 3, {{0, 0, 3, 4}, 2, 1, 3, 12, 1, {}}},
        Hostile{"negative_plane", plugInModeRGBColor, 8, 3, {{0, 0, 3, 4}, -1, 1, 3, 12, 1, {}}},
        Hostile{"pixels_overlap", plugInModeRGBColor, 8, 3, {{0, 0, 3, 4}, 0, 2, 2, 12, 1, {}}},
        Hostile{"planes_share_bytes", plugInModeRGBColor, 8, 3, {{0, 0, 3, 4}, 0, 2, 3, 12, 0, {}}},
        Hostile{"planar_rows_overlap", plugInModeRGBColor, 8, 3, {{0, 0, 3, 4}, 0, 2, 1, 4, 8, {}}},
        Hostile{
            "sixteen_bit_overlap", plugInModeRGBColor, 16, 3, {{0, 0, 1, 4}, 0, 2, 6, 24, 1, {}}},
        Hostile{
            "negative_column_step", plugInModeGrayScale, 8, 1, {{0, 0, 1, 4}, 0, 0, -1, 4, 0, {}}},
        Hostile{"bitmap_rows_overlap", plugInModeBitmap, 1, 1, {{0, 0, 3, 4}, 0, 0, 0, 0, 0, {}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PlugTest, ImageTheHostHasNoRowsForIsRefusedAtIdentify) {
    struct Case {
        int16_t mode, depth, planes;
    };
    // Multichannel, 16-bit indexes, 8-bit Bitmap, RGB without blue, 4-bit
    // grey, 16-bit-only mode at 8 bits, more planes than the record maps.
    for (Case c : {Case{7, 8, 2}, Case{2, 16, 1}, Case{0, 8, 1}, Case{3, 8, 2}, Case{1, 4, 1},
                   Case{11, 8, 3}, Case{3, 8, 17}}) {
        script.reset();
        describe(c.mode, 4, 3, c.depth, c.planes);
        EXPECT_FALSE(session->identify()) << c.mode << "/" << c.depth << "/" << c.planes;
        EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_UNSUPPORTED));
        EXPECT_EQ(record().filterState, nullptr);
    }
}

}  // namespace
