// The run-length row decoders on hand-made streams: rows of one call after
// another, with the state that carries between rows.
#include "codec/rle.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using rsrc::RleResult;
using Bytes = std::vector<uint8_t>;

struct Decoded {
    std::vector<Bytes> rows;
    RleResult result = RleResult::kOk;
    size_t pos = 0;
};

// Decodes up to `rows` rows, stopping at the first failure.
Decoded decode(const Bytes &stream, int bits, int32_t width, int rows) {
    Decoded d;
    rsrc::RleState state;
    const size_t bytes = bits == 8 ? size_t(width) : size_t(width + 1) / 2;
    for (int i = 0; i < rows; ++i) {
        Bytes row(bytes + 4, 0xEE);
        d.result = rsrc::rle_decode_row(stream.data(), stream.size(), &d.pos, &state, bits,
                                        row.data(), width);
        if (d.result != RleResult::kOk) break;
        row.resize(bytes);
        d.rows.push_back(row);
    }
    return d;
}

struct Case {
    const char *name;
    int bits;
    int32_t width;
    Bytes stream;
    std::vector<Bytes> rows;  // expected rows in stored order
};

void PrintTo(const Case &c, std::ostream *os) {
    *os << c.name;
}

class RleRows : public testing::TestWithParam<Case> {};

TEST_P(RleRows, DecodesRowByRow) {
    const Case &c = GetParam();
    Decoded d = decode(c.stream, c.bits, c.width, int(c.rows.size()));
    ASSERT_EQ(d.result, RleResult::kOk);
    ASSERT_EQ(d.rows.size(), c.rows.size());
    for (size_t i = 0; i < c.rows.size(); ++i) EXPECT_EQ(d.rows[i], c.rows[i]) << "row " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, RleRows,
    testing::Values(
        // A full row's end of line is consumed at the start of the next row.
        Case{"FullRowThenEol", 8, 4, {4, 7, 0, 0, 2, 9, 0, 0}, {{7, 7, 7, 7}, {9, 9, 0, 0}}},
        // A short row ends at its end of line; the next row reads on.
        Case{"ShortRowEol", 8, 4, {2, 5, 0, 0, 0, 0, 1, 3}, {{5, 5, 0, 0}, {0, 0, 0, 0}}},
        Case{"EolEndsRowAfterFull",
             8,
             4,
             {4, 1, 0, 0, 1, 2, 0, 0, 1, 3, 0, 1},
             {{1, 1, 1, 1}, {2, 0, 0, 0}, {3, 0, 0, 0}}},
        // A literal with its pad byte, then more codes in the same row.
        Case{"LiteralPadded", 8, 4, {0, 3, 1, 2, 3, 0, 1, 4, 0, 1}, {{1, 2, 3, 4}}},
        // A literal longer than the row goes on in the next one.
        Case{"LiteralSplit", 8, 2, {0, 3, 1, 2, 3, 0, 1, 9, 0, 0}, {{1, 2}, {3, 9}}},
        // Split at an odd column: the pad byte comes after the whole literal.
        Case{"LiteralSplitOdd",
             8,
             4,
             {3, 6, 0, 5, 1, 2, 3, 4, 5, 0, 1, 8, 0, 0},
             {{6, 6, 6, 1}, {2, 3, 4, 5}, {8, 0, 0, 0}}},
        Case{"EndOfBitmap",
             8,
             3,
             {3, 1, 0, 0, 1, 2, 0, 1, 3, 3},
             {{1, 1, 1}, {2, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
        // A delta in the row leaves pixels 0 and decoding goes on after them.
        Case{"DeltaInRow", 8, 8, {2, 1, 0, 2, 3, 0, 3, 4, 0, 0}, {{1, 1, 0, 0, 0, 4, 4, 4}}},
        // A delta across rows: the rest, one whole row, and the start of the
        // row it moves to stay 0; the position's column is kept.
        Case{"DeltaAcrossRows",
             8,
             4,
             {1, 5, 0, 2, 1, 2, 2, 6, 0, 0},
             {{5, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 6, 6}}},
        Case{"DeltaFromRowStart",
             8,
             4,
             {0, 2, 0, 2, 4, 7, 0, 1},
             {{0, 0, 0, 0}, {0, 0, 0, 0}, {7, 7, 7, 7}}},
        // Rows filled by data with codes after them: the codes belong to
        // the next row, however few pixels they cover.
        Case{"FullRowThenShortRun", 8, 3, {3, 1, 1, 2, 0, 1}, {{1, 1, 1}, {2, 0, 0}}},
        Case{"Rle4FullRowThenRun", 4, 1, {1, 0x10, 1, 0x20, 0, 1}, {{0x10}, {0x20}}},
        Case{"Rle4FullRowThenRunAndEol",
             4,
             9,
             {9, 0x11, 5, 0x22, 0, 0, 0, 1},
             {{0x11, 0x11, 0x11, 0x11, 0x10}, {0x22, 0x22, 0x20, 0, 0}}},
        // A writer that codes every row out to its 32-bit padding: runs into
        // the padding are cut, and runs wholly in it are dropped.
        Case{"PaddingRuns",
             8,
             5,
             {5, 1, 3, 0, 0, 0, 4, 2, 4, 0, 0, 0, 0, 1},
             {{1, 1, 1, 1, 1}, {2, 2, 2, 2, 0}}},
        Case{"RunIntoPadding", 8, 2, {4, 3, 0, 0, 1, 4, 0, 1}, {{3, 3}, {4, 0}}},
        // RLE4 runs alternate nibbles from the run's start, high first.
        Case{"Rle4Run", 4, 3, {3, 0x12, 0, 1}, {{0x12, 0x10}}},
        Case{"Rle4RunAtOddColumn", 4, 4, {1, 0x50, 3, 0x12, 0, 1}, {{0x51, 0x21}}},
        Case{"Rle4LiteralOdd", 4, 5, {0, 3, 0x12, 0x30, 2, 0x44, 0, 1}, {{0x12, 0x34, 0x40}}},
        // A literal of 5 nibbles split after 3: the next row starts with the
        // fourth nibble, in the middle of a source byte.
        Case{"Rle4LiteralSplitOdd",
             4,
             3,
             {0, 5, 0x12, 0x34, 0x50, 0, 1, 0x70, 0, 0},
             {{0x12, 0x30}, {0x45, 0x70}}},
        Case{"Rle4DeltaOddPixels",
             4,
             5,
             {1, 0x30, 0, 2, 3, 0, 1, 0x90, 0, 1},
             {{0x30, 0x00, 0x90}}}),
    [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

struct Failure {
    const char *name;
    int bits;
    int32_t width;
    Bytes stream;
    int rows;
    RleResult result;
};

void PrintTo(const Failure &c, std::ostream *os) {
    *os << c.name;
}

class RleFailures : public testing::TestWithParam<Failure> {};

TEST_P(RleFailures, Fail) {
    const Failure &f = GetParam();
    EXPECT_EQ(decode(f.stream, f.bits, f.width, f.rows).result, f.result);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, RleFailures,
    testing::Values(Failure{"RunTooLong", 8, 4, {5, 1}, 1, RleResult::kRunTooLong},
                    Failure{"RunTooLongAfterPixels", 8, 4, {2, 1, 3, 1}, 1, RleResult::kRunTooLong},
                    Failure{"RunPastPadding", 8, 2, {5, 1}, 1, RleResult::kRunTooLong},
                    Failure{"Rle4RunPastPadding", 4, 3, {9, 0x11}, 1, RleResult::kRunTooLong},
                    Failure{"StreamEndsInRow", 8, 4, {2, 1}, 1, RleResult::kTruncated},
                    Failure{"OddByteAtEnd", 8, 4, {2, 1, 0}, 1, RleResult::kTruncated},
                    Failure{"LiteralCut", 8, 4, {0, 4, 1, 2}, 1, RleResult::kTruncated},
                    Failure{"Rle4LiteralCut", 4, 8, {0, 6, 0x12}, 1, RleResult::kTruncated},
                    Failure{"DeltaCut", 8, 4, {0, 2, 1}, 1, RleResult::kTruncated},
                    Failure{"EmptyStream", 4, 4, {}, 1, RleResult::kTruncated}),
    [](const testing::TestParamInfo<Failure> &info) { return std::string(info.param.name); });

TEST(Rle, StreamStopsBeingReadAfterEndOfBitmap) {
    // After the end of bitmap every row is blank, even when bytes follow.
    Decoded d = decode({0, 1, 4, 4, 4, 4}, 8, 4, 5);
    ASSERT_EQ(d.result, RleResult::kOk);
    for (const Bytes &row : d.rows) EXPECT_EQ(row, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(d.pos, 2u);
}

}  // namespace
