// The stored rows of a parsed bitmap, one after the other in stored order:
// run-length rows decoded, bit-field rows converted to blue, green, red,
// uncompressed rows taken where they lie in the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/dib.h"
#include "codec/rle.h"

namespace rsrc {

class RowSource {
  public:
    // `scratch` holds at least scratch_bytes(info) bytes and stays zero
    // beyond the row it last received.
    RowSource(const uint8_t *data, size_t size, const DibInfo &info, uint8_t *scratch);
    static size_t scratch_bytes(const DibInfo &info);

    // Moves to the next stored row and points *row at its bytes (padded to 32
    // bits). A row that is only skipped (`needed` false) is still decoded
    // when the stream must be read in sequence. Returns 0, FERR_DECODE or
    // FERR_CORRUPT.
    uint32_t next(bool needed, const uint8_t **row);

    // The current row copied into the scratch buffer (with a zero byte after
    // it), as the sub-byte crop needs.
    const uint8_t *in_scratch(const uint8_t *row) const;

  private:
    const uint8_t *data_;
    size_t size_;
    const DibInfo &info_;
    uint8_t *scratch_;
    size_t pos_;
    size_t stride_;
    RleState rle_;
    ChannelMasks masks_;
};

}  // namespace rsrc
