// The plug-in's pixel buffer: what its image holds (mode, sample depth,
// planes) and how one chunk of it is laid out in memory (rectangle, plane
// range, byte steps). Both are read from the FormatRecord and checked here,
// once per exchange, before a byte moves; the converters then move samples
// between the plug-in's buffer and the host's rows in either direction.
#pragma once

#include <cstdint>

#include "format_record.h"

namespace plug {

// The plug-in's image as the host sees it.
struct PixelFormat {
    int16_t mode;         // Bitmap, GrayScale, Indexed, RGB, CMYK or Lab
    int16_t depth;        // bits per sample: 1 (Bitmap only), 8 or 16
    int16_t planes;       // planes of the plug-in's image, extra planes included
    int16_t colorPlanes;  // planes that make the host's pixel
    int32_t hostBits;     // bits per pixel of the host's row: 1, 8, 24 or 32
    int16_t soloPlane;    // -1, or the one plane the host takes, as grey
};

// The 16-bit modes are their 8-bit modes with 16-bit samples. FERR_UNSUPPORTED
// for a mode or depth the host has no row for, or fewer planes than the mode
// needs; extra planes are allowed up to 16. They make no part of the colour
// image: only the plane a plug-in names its transparency plane is offered,
// as an image of its own (SoloPlaneFormat); the others are dropped, since
// nothing says whether they are masks or spot colours.
uint32_t PixelFormatOf(const FormatRecord *format, PixelFormat *out);
// The image's format with only plug-in plane `plane` (an extra plane)
// reaching the host, as 8-bit grey.
PixelFormat SoloPlaneFormat(const PixelFormat &pixels, int16_t plane);

// One chunk of the plug-in's buffer: image pixels [left, right) x [top,
// bottom), planes loPlane..hiPlane; samples at
// data + (y - top) * rowBytes + (x - left) * colBytes + (p - loPlane) * planeBytes.
// Depth 1 rows are packed bits from `left` on, first pixel in the high bit.
struct BufferLayout {
    uint8_t *data;
    int32_t top, left, bottom, right;
    int32_t loPlane, hiPlane;
    int64_t colBytes, rowBytes, planeBytes;
    int32_t sampleBytes;  // 0 for depth 1
    uint32_t sampleFull;  // value of a full 16-bit sample: the plug-in's maxValue, else 32768
    // Byte of the host's pixel that plug-in plane p fills; -1 for planes the
    // host's pixel has no place for (alpha and other extra planes).
    int8_t hostByte[16];

    bool empty() const { return top == bottom || left == right; }
    int32_t columns() const { return right - left; }
};

// Reads the record's chunk for an image of `width` x `height`. An empty
// rectangle is valid whatever the other fields hold (nothing moves).
// FERR_PLUGIN when the rectangle leaves the image, the planes leave the
// image's, data is null, or the steps would make samples or rows overlap.
uint32_t ReadLayout(const FormatRecord *format, const PixelFormat &pixels, int32_t width,
                    int32_t height, BufferLayout *out);

// Address of plane p of pixel (x, y); depth 1: the byte of the row holding x.
uint8_t *SampleAt(const BufferLayout &layout, int32_t x, int32_t y, int32_t plane);

// Whether the chunk holds every sample of the host's pixels in its columns.
bool CoversAllChannels(const BufferLayout &layout, const PixelFormat &pixels);

// Plug-in to host: writes the samples of image row y (columns left..right,
// every plane the chunk holds that has a host channel) into `hostRow`, a
// host row starting at column 0.
void SamplesToHost(const BufferLayout &layout, const PixelFormat &pixels, int32_t y,
                   uint8_t *hostRow);

// Host to plug-in: fills the samples of image row y from `hostRow`, a row of
// `hostBits` per pixel whose first pixel is column `left` (as getRowsProc
// gives it). 4-bit rows become 8-bit indexes; `invertBits` turns a 1-bit
// row whose palette runs white to black into 0 = black. The first plane
// past the colour ones takes `alphaRow` (the host's alpha plane, one byte a
// pixel from `left` on) when given; planes with nothing to take go out opaque.
void HostToSamples(const uint8_t *hostRow, int32_t hostBits, bool invertBits,
                   const BufferLayout &layout, const PixelFormat &pixels, int32_t y,
                   const uint8_t *alphaRow = nullptr);

}  // namespace plug
