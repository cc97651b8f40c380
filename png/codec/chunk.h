// The chunk table: one descriptor per known chunk kind, pointing into the
// file's bytes (never a copy). IDAT, tEXt and zTXt chunks after the first of
// their kind hang behind the table entry as separately allocated descriptors.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format.h"

namespace png {

struct ChunkDescriptor {
    uint32_t length;            // data bytes (native order in the reader)
    uint8_t type[4];            // chunk type (filled by the writer)
    const uint8_t *data;        // first data byte, inside the file
    uint32_t crc;               // stored CRC
    uint8_t present;            // 1 once a chunk of this kind was seen
    ChunkDescriptor *next;      // next chunk of the same kind, file order
    ChunkDescriptor *previous;  // nullptr for the table entry itself
};

struct ChunkTable {
    ChunkDescriptor chunk[kChunkKindCount];
};

// The IHDR fields, width and height converted from big-endian.
struct PngHeader {
    uint32_t width;
    uint32_t height;
    uint8_t bitDepth;
    uint8_t colorType;
    uint8_t compression;
    uint8_t filter;
    uint8_t interlace;
};

// Releases the separately allocated descriptors of the IDAT, tEXt and zTXt
// chains and clears the links; the table entries themselves stay.
void release_chunk_chains(ChunkTable *table);

// Number of data bytes in the chain that starts at `first` (0 when absent).
uint64_t chain_length(const ChunkDescriptor &first);

}  // namespace png
