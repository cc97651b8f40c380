// GEM IMG scan lines: decoding one line, skipping lines without decoding them
// and converting decoded bit planes into host pixels. Every read is checked
// against the bytes still available; nothing is written past a line buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/img_header.h"

namespace gem {

// Decodes the scan line at `data` (its replication prefix already stepped
// over) into `out`, which holds layout.decodedBytes + 1 bytes. Planar lines
// stop once they are full; a run that carries past the line end is cut there.
// Chunky lines must come out exactly layout.lineUnits pixels long. With a
// shift of s (0..7) the whole decoded line is shifted left by s bits as one
// bit stream, zeros entering at its end. Returns false for a bad line;
// *consumed receives the bytes the line took.
bool ImgDecodeLine(const ImgLayout &layout, const uint8_t *data, size_t available, unsigned shift,
                   uint8_t *out, size_t *consumed);

// Converts a decoded scan line into one host row of layout.bitsPerPixel
// ((width * bitsPerPixel + 7) / 8 bytes, plus one spare byte for 1- and 4-bit
// rows). `width` is the pixel count to convert.
void ImgConvertLine(const ImgLayout &layout, const uint8_t *decoded, size_t width, uint8_t *row);

// Where a walk over the scan lines stands: the offset (from the start of the
// pixel data) of the scan line it is at, the image line that scan line begins
// and the sum of the lengths of the lines walked so far. A cursor may be kept
// and handed back with a later (not smaller) target to continue the walk.
struct SkipCursor {
    size_t pos = 0;
    uint64_t line = 0;
    uint64_t sum = 0;
};

// Advances the cursor to image line `target`. On success *pos is the offset
// of the scan line holding the target and *copies_due the copies of a
// replication group still due there (then *pos is at the group's prefix), or
// 0 when the target begins a scan line (sound groups of zero lines there are
// stepped over). False when the data is cut or a line before the target is
// bad; the cursor is then left where the failing scan line begins.
bool ImgSkipLines(const ImgLayout &layout, const uint8_t *data, size_t size, SkipCursor *cursor,
                  uint64_t target, size_t *pos, uint32_t *copies_due);

// What stands where a scan line begins: no prefix, a replication prefix
// 0x00 0x00 0xFF n (n in data[3]), or data that ends inside one (the word 0
// with fewer than 3 bytes, or the marker without its count).
enum class Prefix { kNone, kPrefix, kShort };
Prefix ImgPrefixAt(const uint8_t *data, size_t available);

}  // namespace gem
