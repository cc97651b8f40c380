// PNG file layout: signature, chunk kinds and their types, header fields,
// colour types and the Adam7 interlace passes. Reader and writer share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace png {

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kSignatureSize = sizeof kSignature;

// Length (4), type (4) before a chunk's data; CRC (4) after it.
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kChunkCrcSize = 4;
constexpr size_t kChunkOverhead = kChunkHeaderSize + kChunkCrcSize;

// Chunk kinds: the index of a chunk type in the chunk table. A type is
// matched as its four bytes exactly, case included.
enum ChunkKind : int {
    kIHDR = 0,
    kIEND = 1,
    kIDAT = 2,
    kPLTE = 3,
    kgAMA = 4,
    ksBIT = 5,
    kcHRM = 6,
    ktRNS = 7,
    kbKGD = 8,
    khISH = 9,
    ktEXt = 10,
    kzTXt = 11,
    kpHYs = 12,
    koFFs = 13,
    ktIME = 14,
    kChunkKindCount = 15,
    kUnknownChunk = 15  // any other type: skipped after its CRC check
};

// The four type bytes of each kind, indexed by ChunkKind.
constexpr char kChunkTypes[kChunkKindCount][5] = {"IHDR", "IEND", "IDAT", "PLTE", "gAMA",
                                                  "sBIT", "cHRM", "tRNS", "bKGD", "hISH",
                                                  "tEXt", "zTXt", "pHYs", "oFFs", "tIME"};

// The kind of a chunk type, kUnknownChunk when it is none of the table's.
inline ChunkKind chunk_kind(const uint8_t *type) {
    for (int k = 0; k < kChunkKindCount; ++k)
        if (std::memcmp(type, kChunkTypes[k], 4) == 0) return static_cast<ChunkKind>(k);
    return kUnknownChunk;
}

// Kinds whose every chunk is kept (chained in file order); for the others a
// later chunk replaces the earlier one.
inline bool is_chained_kind(int kind) {
    return kind == kIDAT || kind == ktEXt || kind == kzTXt;
}

// IHDR data: width, height (big-endian u32), then five bytes.
constexpr uint32_t kHeaderLength = 13;
constexpr size_t kHeaderBitDepth = 8;
constexpr size_t kHeaderColorType = 9;
constexpr size_t kHeaderCompression = 10;
constexpr size_t kHeaderFilter = 11;
constexpr size_t kHeaderInterlace = 12;

// pHYs data: pixels per unit x, y (big-endian u32), unit byte.
constexpr uint32_t kPhysLength = 9;
// Resolution in the record is pixels per kilometre.
constexpr int64_t kResolutionScale = 1000;

// The tEXt keyword whose text becomes the comment.
constexpr char kCommentKeyword[] = "Comment";
constexpr size_t kCommentKeywordSize = sizeof kCommentKeyword;  // with its NUL

enum ColorType : uint8_t {
    kColorGrey = 0,
    kColorRgb = 2,
    kColorPalette = 3,
    kColorGreyAlpha = 4,
    kColorRgbAlpha = 6
};

// Row filter types.
enum FilterType : uint8_t { kFilterNone = 0, kFilterSub, kFilterUp, kFilterAverage, kFilterPaeth };

// Adam7: pass p (0-based) starts at column/row and steps by these.
struct Adam7Pass {
    uint32_t column, row, columnStep, rowStep;
};
constexpr int kAdam7Passes = 7;
constexpr Adam7Pass kAdam7[kAdam7Passes] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// Pass (1..7) of the pixel at row r, column c: indexed [r % 8][c % 8].
constexpr uint8_t kAdam7Pattern[8][8] = {{1, 6, 4, 6, 2, 6, 4, 6}, {7, 7, 7, 7, 7, 7, 7, 7},
                                         {5, 6, 5, 6, 5, 6, 5, 6}, {7, 7, 7, 7, 7, 7, 7, 7},
                                         {3, 6, 4, 6, 3, 6, 4, 6}, {7, 7, 7, 7, 7, 7, 7, 7},
                                         {5, 6, 5, 6, 5, 6, 5, 6}, {7, 7, 7, 7, 7, 7, 7, 7}};

// Pixels (or rows) of pass p in a full size of n: ceil((n - start) / step).
constexpr uint32_t adam7_count(uint32_t n, uint32_t start, uint32_t step) {
    return n > start ? (n - start + step - 1) / step : 0;
}

}  // namespace png
