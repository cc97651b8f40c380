#include "host_image_ports.h"

#include <cstring>
#include <utility>

#include "common/checked.h"
#include "common/delivery.h"
#include "common/heap.h"
#include "record.h"

namespace plug {
namespace {

int32_t PaletteEntries(const FilterRecord *record) {
    if (!record->palette) return 0;
    const int32_t n = static_cast<int16_t>(record->paletteCount & 0xFFFF);
    return n < 0 ? 0 : n > 256 ? 256 : n;
}

// Rows without a palette are grey: their indexes spread over 0..255.
void FillPalette(const FilterRecord *record, HostImage *image) {
    const int32_t n = PaletteEntries(record);
    if (n > 0) {
        std::memcpy(image->palette, record->palette, static_cast<size_t>(n) * 3);
        return;
    }
    const int32_t bits = record->bitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8) return;
    const int32_t levels = 1 << bits;
    for (int32_t i = 0; i < levels; ++i) std::memset(image->palette[i], i * 255 / (levels - 1), 3);
}

// Bitmap samples are 0 for black: a 1-bit host image whose palette puts the
// brighter colour first has its bits turned over.
bool InvertsBits(const FilterRecord *record) {
    if (record->bitsPerPixel != 1 || PaletteEntries(record) < 2) return false;
    const uint8_t *p = record->palette;
    return p[0] + p[1] + p[2] > p[3] + p[4] + p[5];
}

// Index of pixel i of a 1- or 4-bit row, first pixel in the high bits.
uint8_t IndexAt(const uint8_t *row, int32_t i, int32_t bits) {
    if (bits == 4) return static_cast<uint8_t>(i & 1 ? row[i >> 1] & 0x0F : row[i >> 1] >> 4);
    return static_cast<uint8_t>(row[i >> 3] >> (7 - (i & 7)) & 1);
}

// The 8-bit sample of colour channel c (red 0) at pixel i of a host row.
uint8_t ColourSample(const HostImage &image, const uint8_t *row, int32_t i, int32_t c) {
    switch (image.bitsPerPixel) {
        case 24:
            return row[i * 3 + 2 - c];
        case 8:
            return image.palette[row[i]][2 - c];
        default:
            return image.palette[IndexAt(row, i, image.bitsPerPixel)][2 - c];
    }
}

struct Step {
    int64_t bytes, count;
    int16_t error;
};

// Samples one byte wide never share a byte when, sorted by step, every step
// clears the span of the one inside it; steps of one-sample dimensions do
// not matter. Returns the error of the step that fails, or 0.
int16_t StepsSeparate(Step a, Step b, int64_t *span) {
    if (a.count > 1 && b.count > 1 && b.bytes < a.bytes) std::swap(a, b);
    *span = 1;
    for (const Step &s : {a, b}) {
        if (s.count <= 1) continue;
        if (s.bytes < *span) return s.error;
        *span += s.bytes * (s.count - 1);
    }
    return 0;
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

}  // namespace

void CaptureHostImage(const FilterRecord *record, HostImage *image) {
    ReleaseHostImage(image);
    *image = HostImage{};
    image->width = record->width;
    image->height = record->height;
    image->bitsPerPixel = record->bitsPerPixel;
    image->lab = record->bitsPerPixel == 24 && record->colorSpace == kColorSpaceLab;
    image->invertBits = InvertsBits(record);
    FillPalette(record, image);
}

uint32_t KeepColourRows(FilterRecord *record, HostImage *image) {
    flt::heap_release(image->keptRows);
    if (!record->getRowsProc) return FERR_TRANSFER;
    const uint64_t stride = flt::row_bytes(image->width, image->bitsPerPixel);
    size_t bytes = 0;
    // One spare byte: a 1- or 4-bit row is cropped a byte at a time.
    if (!flt::checked_mul(stride, static_cast<size_t>(image->height > 0 ? image->height : 0),
                          &bytes) ||
        !flt::checked_add(bytes, 1, &bytes))
        return FERR_NO_MEMORY;
    image->keptRows = static_cast<uint8_t *>(flt::heap_alloc_zero(bytes));
    if (!image->keptRows) return FERR_NO_MEMORY;
    image->keptStride = static_cast<int64_t>(stride);
    for (int32_t y = 0; y < image->height; ++y)
        flt::fetch_row(record, image->keptRows + y * image->keptStride, image->height - 1 - y,
                       image->width);
    return 0;
}

void ReleaseHostImage(HostImage *image) {
    flt::heap_release(image->keptRows);
    image->keptStride = 0;
    image->alpha = false;
}

bool ShowsRgb(const HostImage &image) {
    const int32_t bits = image.bitsPerPixel;
    return bits == 1 || bits == 4 || bits == 8 || (bits == 24 && !image.lab);
}

void FetchColourRow(FilterRecord *record, const HostImage &image, int32_t y, int32_t left,
                    int32_t count, uint8_t *out) {
    if (image.keptRows) {
        flt::crop_row(image.keptRows + y * image.keptStride, out, left, count, image.bitsPerPixel);
        return;
    }
    record->getRowsProc(out, left, image.height - 1 - y, count, 1, record);
}

void FetchAlphaRow(FilterRecord *record, const HostImage &image, int32_t y, int32_t left,
                   int32_t count, uint8_t *out) {
    record->getRowsProc(out, left, image.height - 1 - y, count, 1, record);
}

int16_t CheckPixelMemory(const PixelMemoryDesc &d, int64_t rows, int64_t cols) {
    if (d.depth != 8) return errUnsupportedDepth;
    // Samples are whole bytes at byte addresses.
    if (d.rowBits < 0 || d.rowBits % 8 != 0) return errUnsupportedRowBits;
    if (d.colBits < 0 || d.colBits % 8 != 0) return errUnsupportedColBits;
    if (d.bitOffset < 0 || d.bitOffset % 8 != 0) return errUnsupportedBitOffset;
    if (rows <= 0 || cols <= 0) return 0;
    if (!d.data) return piParamErr;
    int64_t span = 0;
    const int16_t overlap = StepsSeparate({d.colBits / 8, cols, errUnsupportedColBits},
                                          {d.rowBits / 8, rows, errUnsupportedRowBits}, &span);
    if (overlap != 0) return overlap;
    // Each step is below 2^28 bytes and each count below 2^32: no overflow
    // in 64 bits; the block must still fit the address space from `data` on.
    const uint64_t extent = static_cast<uint64_t>(span) + static_cast<uint64_t>(d.bitOffset / 8);
    const uint64_t room = UINTPTR_MAX - reinterpret_cast<uintptr_t>(d.data);
    if (extent > static_cast<uint64_t>(PTRDIFF_MAX) || extent > room) return errUnsupportedRowBits;
    return 0;
}

// A rectangle reaching outside the image is clipped rather than refused, as
// a channel's bounds clip a read: the plug-in learns what was read from
// *rect, and its destination keeps its layout from the rectangle it asked
// for (samples outside the image are left as they were).
int16_t ReadChannel(FilterRecord *record, const HostImage &image, PortChannel channel, VRect *rect,
                    const PixelMemoryDesc &destination) {
    const VRect want = *rect;
    if (want.bottom < want.top || want.right < want.left) return piParamErr;
    VRect clip;
    clip.top = Clamp(want.top, 0, image.height);
    clip.left = Clamp(want.left, 0, image.width);
    clip.bottom = Clamp(want.bottom, clip.top, image.height);
    clip.right = Clamp(want.right, clip.left, image.width);
    // Positions are checked from the rectangle's corner to the clipped end:
    // every sample written lies in that span.
    if (int16_t e = CheckPixelMemory(destination, int64_t{clip.bottom} - want.top,
                                     int64_t{clip.right} - want.left))
        return e;
    const int32_t cols = clip.right - clip.left;
    if (clip.bottom > clip.top && cols > 0) {
        if (!image.rowsNow) return errPlugInHostInsufficient;
        if (!record->getRowsProc) return piReadErr;
        const bool alpha = channel == kPortAlpha;
        const int32_t bits = alpha ? 8 : image.bitsPerPixel;
        flt::HeapBlock row(static_cast<size_t>(flt::row_bytes(cols, bits)) + 1);
        if (!row) return piMemFullErr;
        const int64_t rowStep = destination.rowBits / 8, colStep = destination.colBits / 8;
        uint8_t *base = static_cast<uint8_t *>(destination.data) + destination.bitOffset / 8 +
                        (clip.left - int64_t{want.left}) * colStep;
        for (int32_t y = clip.top; y < clip.bottom; ++y) {
            uint8_t *dst = base + (y - int64_t{want.top}) * rowStep;
            if (alpha) {
                FetchAlphaRow(record, image, y, clip.left, cols, row.get());
                for (int32_t i = 0; i < cols; ++i) dst[i * colStep] = row.get()[i];
            } else {
                FetchColourRow(record, image, y, clip.left, cols, row.get());
                for (int32_t i = 0; i < cols; ++i)
                    dst[i * colStep] = ColourSample(image, row.get(), i, channel);
            }
        }
    }
    *rect = clip;
    return 0;
}

}  // namespace plug
