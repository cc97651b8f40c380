// The PNG reader: signature check and chunk walk over the whole file in
// memory, every chunk's CRC verified, the known chunks indexed in a table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/chunk.h"

namespace png {

enum class ReadStatus {
    kOk,
    kNoMemory,   // a chain descriptor could not be allocated
    kNotFormat,  // signature, structure running past the end, IHDR length, no IEND
    kCorrupt     // a critical chunk's stored CRC differs from the computed one
};

// Walks data[0, size) up to IEND. An ancillary chunk whose CRC is wrong is
// skipped as if absent. `header` and `table` must start zeroed; on
// return they hold what was read so far (also on failure, so that the caller
// can release the chains with release_chunk_chains). The descriptors point
// into `data`, which must outlive the table.
[[nodiscard]] ReadStatus read_png(const uint8_t *data, size_t size, PngHeader *header,
                                  ChunkTable *table);

// True when data starts with the PNG signature.
bool has_signature(const uint8_t *data, size_t size);

// The text of the first tEXt chunk whose keyword is "Comment": *text and
// *size describe the bytes after the keyword's NUL. False when there is none.
bool find_comment(const ChunkTable &table, const uint8_t **text, size_t *size);

}  // namespace png
