// The host's image as a save reads it: its colour rows (through getRowsProc,
// or kept from the first of two FE_EXPORT calls) and, at the second call,
// its alpha plane; row by row for chunks a plug-in describes in its record,
// and channel by channel (red, green, blue, alpha) for channel ports.
#pragma once

#include <cstdint>

#include "common/filter.h"
#include "format_record.h"

namespace plug {

enum PortChannel : int32_t { kPortRed = 0, kPortGreen, kPortBlue, kPortAlpha, kPortChannels };

struct HostImage {
    int32_t width, height;
    int32_t bitsPerPixel;  // of the colour rows: 1, 4, 8, 24 or 32
    bool lab;              // 24-bit rows hold L, a, b
    bool invertBits;       // a 1-bit image whose palette puts the brighter colour first
    // Colour of each index of 1-, 4- and 8-bit rows, blue, green, red; a
    // host palette shorter than the indexes leaves the rest black.
    uint8_t palette[256][3];
    // The colour rows from the first of two FE_EXPORT calls, top row first,
    // keptStride bytes apart (plus a spare byte); null: getRowsProc serves them.
    uint8_t *keptRows;
    int64_t keptStride;
    // Whether getRowsProc serves the alpha plane (8 bits) now.
    bool alpha;
    // Whether any rows can be had now: only inside FE_EXPORT.
    bool rowsNow;
};

// Takes the colour image's description from the record (size, depth,
// palette); kept rows are released.
void CaptureHostImage(const FilterRecord *record, HostImage *image);
// Fetches every colour row into keptRows. FERR_NO_MEMORY or 0.
uint32_t KeepColourRows(FilterRecord *record, HostImage *image);
void ReleaseHostImage(HostImage *image);

// Whether channel ports can show the image as red, green and blue: 1-, 4-,
// 8-bit rows through the palette and 24-bit RGB rows (not Lab or CMYK).
bool ShowsRgb(const HostImage &image);

// Colour row y (top row 0), pixels [left, left + count), in the host's row
// format with pixel `left` first; `out` holds row_bytes(count) + 1 bytes.
void FetchColourRow(FilterRecord *record, const HostImage &image, int32_t y, int32_t left,
                    int32_t count, uint8_t *out);
// Alpha row y, pixels [left, left + count), one byte each (only when alpha).
void FetchAlphaRow(FilterRecord *record, const HostImage &image, int32_t y, int32_t left,
                   int32_t count, uint8_t *out);

// Checks a destination for an 8-bit channel read of rows x cols: 0, or the
// interface's error for the first field that does not fit (depth other than
// 8, a negative or not byte-aligned step or offset, samples that overlap, a
// block larger than the address space).
int16_t CheckPixelMemory(const PixelMemoryDesc &destination, int64_t rows, int64_t cols);

// Reads `channel` over `rect` into the destination, whose sample (x, y) sits
// at bit (y - rect.top) * rowBits + (x - rect.left) * colBits + bitOffset.
// The rectangle is clipped to the image and *rect becomes the part read.
// Working memory is one host row of the rectangle's width. Returns 0 or an
// error word of the interface.
int16_t ReadChannel(FilterRecord *record, const HostImage &image, PortChannel channel, VRect *rect,
                    const PixelMemoryDesc &destination);

}  // namespace plug
