// The GEM codec on its own: header classes, line decoding with and without
// shift, skipping, plane conversion and the encoder's byte sequences.
#include <gtest/gtest.h>

#include <random>

#include "codec/img_encode.h"
#include "codec/img_header.h"
#include "codec/img_lines.h"
#include "common/checked.h"
#include "gem_fixtures.h"

namespace {

using gem::ImgClass;
using gem::ImgLayout;
using gem_test::Bytes;

ImgLayout layout_of(const Bytes &header) {
    gem::ImgHeader h{};
    EXPECT_TRUE(gem::ImgReadHeaderWords(header.data(), header.size(), &h));
    ImgLayout l{};
    EXPECT_TRUE(gem::ImgClassify(h, &l));
    return l;
}

Bytes first(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

struct ClassCase {
    Bytes header;
    bool accepted;
    int bpp, paletteCount;
};

TEST(GemHeader, ClassesByPlanesAndHeader) {
    using namespace gem_test;
    const ClassCase cases[] = {
        {header8(1, 1, 8, 1), true, 1, 2},
        {header8(1, 3, 8, 1), true, 1, 2},  // pattern 3 without 9-word header: still 1 bit
        {header9(1, 3, 8, 1, 3), true, 24, 0},
        {header9(1, 1, 8, 1, 3), true, 1, 2},
        {header8(2, 1, 8, 1), true, 4, 16},
        {header8(4, 1, 8, 1), true, 4, 16},
        {header8(5, 1, 8, 1), true, 8, 256},
        {header8(8, 1, 8, 1), true, 8, 256},
        {header8(24, 1, 8, 1), true, 24, 0},
        {header8(0, 1, 8, 1), false, 0, 0},
        {header8(9, 1, 8, 1), false, 0, 0},
        {header8(23, 1, 8, 1), false, 0, 0},
        {header8(25, 1, 8, 1), false, 0, 0},
        {header8(1, 1, 0, 1), false, 0, 0},          // no pixels
        {header8(1, 1, 8, 0), false, 0, 0},          // no lines
        {header9(1, 1, 8, 1, 0x8001), false, 0, 0},  // stored palette: refused
    };
    for (const auto &c : cases) {
        gem::ImgHeader h{};
        ASSERT_TRUE(gem::ImgReadHeaderWords(c.header.data(), c.header.size(), &h));
        ImgLayout l{};
        ASSERT_EQ(gem::ImgClassify(h, &l), c.accepted) << "planes " << h.planes;
        if (!c.accepted) continue;
        EXPECT_EQ(l.bitsPerPixel, c.bpp) << "planes " << h.planes;
        EXPECT_EQ(l.paletteCount, c.paletteCount) << "planes " << h.planes;
    }
}

TEST(GemHeader, Recognition) {
    using namespace gem_test;
    struct {
        Bytes bytes;
        bool ok;
    } cases[] = {
        {header8(1, 1, 8, 1), true},
        {words({0, 8, 1, 1, 85, 85, 8, 1}), true},
        {words({0x207, 8, 1, 1, 85, 85, 8, 1}), false},  // byte 0 not 0, byte 1 not 1
        {words({0x101, 8, 1, 1, 85, 85, 8, 1}), true},   // byte 1 is 1
        {words({1, 10, 1, 1, 85, 85, 8, 1}), false},     // 10-word header cut short
        {words({1, 10, 1, 1, 85, 85, 8, 1, 0, 0}), true},
        {words({1, 0x108, 1, 1, 85, 85, 8, 1}), false},  // 264 words: past the file
        {header9(1, 1, 8, 1, 4), false},                 // kind above 3
        {header9(1, 1, 8, 1, 0x0101), false},            // byte 16 neither 0 nor bit 7
        {header9(1, 1, 8, 1, 0x8003), true},
        {first(header8(1, 1, 8, 1), 15), false},
        {first(header9(1, 1, 8, 1, 1), 17), false},
    };
    for (const auto &c : cases) EXPECT_EQ(gem::ImgRecognise(c.bytes.data(), c.bytes.size()), c.ok);
}

TEST(GemHeader, Resolution) {
    EXPECT_EQ(gem::ImgResolution(0), 11764705);
    EXPECT_EQ(gem::ImgResolution(85), 11764705);
    EXPECT_EQ(gem::ImgResolution(84), 11904761);
    EXPECT_EQ(gem::ImgResolution(1), 1000000000);
}

struct DecodeCase {
    Bytes line;
    bool ok;
    Bytes expected;
    size_t consumed;
};

TEST(GemDecode, PlanarOperations) {
    const ImgLayout l = layout_of(gem_test::header8(1, 1, 40, 1));  // 5-byte plane line
    const DecodeCase cases[] = {
        {{0x85}, true, Bytes(5, 0xFF), 1},
        {{0x05}, true, Bytes(5, 0x00), 1},
        {{0x00, 0x03, 0xAA, 0x02}, true, {0xAA, 0xAA, 0xAA, 0, 0}, 4},
        {{0x80, 0x02, 0x12, 0x34, 0x83}, true, {0x12, 0x34, 0xFF, 0xFF, 0xFF}, 5},
        {{0x87, 0x99}, true, Bytes(5, 0xFF), 1},                        // run past the end: cut
        {{0x80, 0x07, 1, 2, 3, 4, 5, 6, 7}, true, {1, 2, 3, 4, 5}, 9},  // literal too
        {{0x00, 0x03}, false, {}, 0},                                   // pattern byte missing
        {{0x80, 0x03, 1, 2}, false, {}, 0},                             // literal cut off
        {{0x82}, false, {}, 0},                                         // line not full
        {{}, false, {}, 0},
    };
    for (const auto &c : cases) {
        Bytes out(l.decodedBytes + 1, 0xEE);
        size_t consumed = 0;
        ASSERT_EQ(gem::ImgDecodeLine(l, c.line.data(), c.line.size(), 0, out.data(), &consumed),
                  c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 5), c.expected);
        EXPECT_EQ(consumed, c.consumed);
    }
}

TEST(GemDecode, PatternLongerThanOneByte) {
    const ImgLayout l = layout_of(gem_test::header8(1, 2, 48, 1));  // 6 bytes, pattern 2
    const Bytes line = {0x00, 0x02, 0x12, 0x34, 0x00, 0x05, 0xAB, 0xCD};
    Bytes out(7);
    size_t consumed = 0;
    ASSERT_TRUE(gem::ImgDecodeLine(l, line.data(), line.size(), 0, out.data(), &consumed));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), Bytes({0x12, 0x34, 0x12, 0x34, 0xAB, 0xCD}));
    EXPECT_EQ(consumed, 8u);
}

TEST(GemDecode, ChunkyMustFillTheWidthExactly) {
    const ImgLayout l = layout_of(gem_test::header9(1, 3, 3, 1, 3));
    const Bytes exact = {0x81, 0x00, 0x01, 1, 2, 3, 0x01};
    const Bytes over = {0x81, 0x00, 0x03, 1, 2, 3};
    Bytes out(10);
    size_t consumed = 0;
    ASSERT_TRUE(gem::ImgDecodeLine(l, exact.data(), exact.size(), 0, out.data(), &consumed));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 9), Bytes({255, 255, 255, 1, 2, 3, 0, 0, 0}));
    EXPECT_EQ(consumed, 7u);
    EXPECT_FALSE(gem::ImgDecodeLine(l, over.data(), over.size(), 0, out.data(), &consumed));
}

TEST(GemDecode, ShiftRunsOverTheWholeLine) {
    const ImgLayout l = layout_of(gem_test::header8(3, 1, 20, 1));  // 3 planes x 3 bytes
    std::mt19937 rng(5);
    Bytes raw(9);
    for (auto &b : raw) b = static_cast<uint8_t>(rng());
    Bytes line = {0x80, 9};
    line.insert(line.end(), raw.begin(), raw.end());
    for (unsigned s = 0; s < 8; ++s) {
        Bytes out(10);
        size_t consumed = 0;
        ASSERT_TRUE(gem::ImgDecodeLine(l, line.data(), line.size(), s, out.data(), &consumed));
        for (size_t k = 0; k < 9; ++k) {
            const unsigned next = k + 1 < 9 ? raw[k + 1] : 0;
            const uint8_t expected = static_cast<uint8_t>(raw[k] << s | (s ? next >> (8 - s) : 0));
            EXPECT_EQ(out[k], expected) << "shift " << s << " byte " << k;
        }
    }
}

TEST(GemSkip, StopsInsideAGroupWithTheCopiesDue) {
    const ImgLayout l = layout_of(gem_test::header8(1, 1, 8, 10));
    // Line 0 alone, then a group of 5, then one line.
    const Bytes data = {0x81, 0x00, 0x00, 0xFF, 0x05, 0x80, 0x01, 0x5A, 0x01};
    gem::SkipCursor c;
    size_t pos = 0;
    uint32_t due = 0;
    ASSERT_TRUE(gem::ImgSkipLines(l, data.data(), data.size(), &c, 3, &pos, &due));
    EXPECT_EQ(pos, 1u);
    EXPECT_EQ(due, 3u);
    // The same cursor goes on to the line after the group.
    ASSERT_TRUE(gem::ImgSkipLines(l, data.data(), data.size(), &c, 6, &pos, &due));
    EXPECT_EQ(pos, 8u);
    EXPECT_EQ(due, 0u);
    // The data ends inside the prefix.
    gem::SkipCursor fresh;
    EXPECT_FALSE(gem::ImgSkipLines(l, data.data(), 3, &fresh, 3, &pos, &due));
}

TEST(GemSkip, GroupOfZeroLinesStandsForNone) {
    const ImgLayout l = layout_of(gem_test::header8(1, 1, 8, 2));
    const Bytes data = {0x81, 0x00, 0x00, 0xFF, 0x00, 0x80, 0x01, 0x5A, 0x01};
    gem::SkipCursor c;
    size_t pos = 0;
    uint32_t due = 0;
    ASSERT_TRUE(gem::ImgSkipLines(l, data.data(), data.size(), &c, 1, &pos, &due));
    EXPECT_EQ(pos, 8u);
    EXPECT_EQ(due, 0u);
}

struct ConvertCase {
    Bytes header;
    Bytes decoded;  // plane lines of one byte each
    Bytes expected;
};

TEST(GemConvert, PlanesToHostPixels) {
    using namespace gem_test;
    const ConvertCase cases[] = {
        // 2 planes, pixels v = 0, 1, 2, 3 (plane 0 most significant).
        {header9(2, 1, 4, 1, 1), {0x30, 0x50}, {0x05, 0xAF}},  // grey kind: 5 x v
        {header8(2, 1, 4, 1), {0x30, 0x50}, {0x04, 0x8F}},     // 0, 4, 8, 15
        {header8(3, 1, 2, 1), {0x40, 0x40, 0x40}, {0x0F}},     // 0 then all set: 15
        {header8(8, 1, 2, 1), {0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40}, {255, 0}},
        {header8(5, 1, 2, 1), {0x00, 0x00, 0x00, 0x00, 0x40}, {255, 240}},  // v = 1
        {header8(4, 1, 3, 1), {0x20, 0x40, 0x80, 0x00}, {0x24, 0x80}},      // 2, 4, 8
    };
    for (const auto &c : cases) {
        const ImgLayout l = layout_of(c.header);
        Bytes row(c.expected.size() + 1, 0);
        gem::ImgConvertLine(l, c.decoded.data(), c.header[13], row.data());
        EXPECT_EQ(Bytes(row.begin(), row.begin() + c.expected.size()), c.expected);
    }
}

TEST(GemConvert, TwentyFourPlanesBuildRedGreenBlue) {
    const ImgLayout l = layout_of(gem_test::header8(24, 1, 1, 1));
    Bytes planes(24, 0);
    const uint8_t red = 0xC3, green = 0x5A, blue = 0x81;
    for (int b = 0; b < 8; ++b) {
        planes[b] = (red >> (7 - b) & 1) ? 0x80 : 0;
        planes[8 + b] = (green >> (7 - b) & 1) ? 0x80 : 0;
        planes[16 + b] = (blue >> (7 - b) & 1) ? 0x80 : 0;
    }
    Bytes row(4);
    gem::ImgConvertLine(l, planes.data(), 1, row.data());
    EXPECT_EQ(Bytes(row.begin(), row.begin() + 3), Bytes({blue, green, red}));
}

struct EncodeCase {
    Bytes in;
    Bytes expected;
};

TEST(GemEncode, ByteSequences) {
    const EncodeCase cases[] = {
        {Bytes(130, 0xFF), {0xFF, 0x83}},
        {Bytes(127, 0x00), {0x7F}},
        {Bytes(128, 0x00), {0x7F, 0x01}},
        {{0x12, 0x12, 0x34}, {0x00, 0x02, 0x12, 0x80, 0x01, 0x34}},
        {{0x12, 0x00, 0x34}, {0x80, 0x03, 0x12, 0x00, 0x34}},  // a lone 0x00 inside a literal
        {{0x00, 0x12}, {0x01, 0x80, 0x01, 0x12}},
        {Bytes(256, 0x42), {0x00, 0xFF, 0x42, 0x00, 0x01, 0x42}},
    };
    for (const auto &c : cases) {
        Bytes out(2 * c.in.size() + 1);
        out.resize(gem::ImgEncodeBytes(c.in.data(), c.in.size(), out.data()));
        EXPECT_EQ(out, c.expected);
    }
    Bytes long_literal(300);
    for (size_t i = 0; i < long_literal.size(); ++i)
        long_literal[i] = static_cast<uint8_t>(i % 250 + 1);
    Bytes out(601);
    out.resize(gem::ImgEncodeBytes(long_literal.data(), 300, out.data()));
    ASSERT_EQ(out.size(), 2 + 255 + 2 + 45u);
    EXPECT_EQ(out[1], 255);
    EXPECT_EQ(out[257], 0x80);
    EXPECT_EQ(out[258], 45);
}

TEST(GemEncode, PixelSequence) {
    const Bytes white = {255, 255, 255}, red = {0, 0, 255};
    Bytes line;
    for (const Bytes *p : {&white, &white, &red, &white, &white})
        line.insert(line.end(), p->begin(), p->end());
    Bytes out(31);
    out.resize(gem::ImgEncodePixels(line.data(), 5, out.data()));
    EXPECT_EQ(out, Bytes({0x82, 0x80, 0x01, 0, 0, 255, 0x82}));
}

// Whatever the line, its encoding decodes to it and stays within the
// capacity the writer allocates.
TEST(GemEncode, DecodesBackWithinCapacity) {
    std::mt19937 rng(11);
    for (int bpp : {1, 4, 8, 24}) {
        for (int trial = 0; trial < 300; ++trial) {
            const size_t width = 1 + rng() % 70;
            gem::ImgVariant v{};
            Bytes grey = gem_test::grey_palette(16, 17, true);
            ASSERT_EQ(
                gem::ImgChooseVariant(bpp, bpp == 4 ? grey.data() : nullptr, bpp == 4 ? 16 : 0, &v),
                gem::VariantResult::kOk);
            Bytes row(flt::row_bytes(width, bpp) + 4);
            const int mode = trial % 4;
            for (auto &b : row) {
                const uint32_t r = rng();
                b = mode == 0   ? static_cast<uint8_t>(r)
                    : mode == 1 ? static_cast<uint8_t>(r % 3 * 0x7F)
                                : static_cast<uint8_t>(r % 2 ? 0x12 : 0x34);
            }
            Bytes planes(gem::ImgRawLineBytes(v, width));
            Bytes out(gem::ImgEncodedLineCapacity(v, width) + 64, 0xEE);
            const size_t n = gem::ImgEncodeLine(v, row.data(), width, planes.data(), out.data());
            ASSERT_LE(n, gem::ImgEncodedLineCapacity(v, width));
            Bytes header(18);
            gem::ImgBuildHeader(v, static_cast<uint16_t>(width), 1, 0, 0, header.data());
            const ImgLayout l = layout_of(header);
            Bytes decoded(l.decodedBytes + 1), back(flt::row_bytes(width, bpp) + 1);
            size_t consumed = 0;
            ASSERT_TRUE(gem::ImgDecodeLine(l, out.data(), n, 0, decoded.data(), &consumed));
            EXPECT_EQ(consumed, n);
            gem::ImgConvertLine(l, decoded.data(), width, back.data());
            Bytes expect(row.begin(), row.begin() + flt::row_bytes(width, bpp));
            const unsigned tail = width * bpp % 8;
            if (tail) expect.back() &= static_cast<uint8_t>(0xFF << (8 - tail));
            ASSERT_EQ(Bytes(back.begin(), back.begin() + expect.size()), expect)
                << "bpp " << bpp << " width " << width;
        }
    }
}

}  // namespace
