#include "buffer_layout.h"

#include <cstring>
#include <utility>

#include "common/filter.h"
#include "coordinates.h"

namespace plug {
namespace {

constexpr int kMaxPlanes = 16;
// 16-bit samples run from 0 to 32768 unless the plug-in states its own
// maximum (SixteenBitFull).
constexpr uint32_t kFullSixteen = 32768;

struct ModeInfo {
    int16_t mode;
    int16_t baseMode;
    int16_t colorPlanes;
    int32_t hostBitsAt8;  // host bits per pixel for 8- and 16-bit samples
    bool sixteenOnly;
};

// Modes 10 to 13 are Gray16, RGB48, Lab48 and CMYK64 of the interface.
constexpr ModeInfo kModes[] = {
    {plugInModeBitmap, plugInModeBitmap, 1, 1, false},
    {plugInModeGrayScale, plugInModeGrayScale, 1, 8, false},
    {plugInModeIndexedColor, plugInModeIndexedColor, 1, 8, false},
    {plugInModeRGBColor, plugInModeRGBColor, 3, 24, false},
    {plugInModeCMYKColor, plugInModeCMYKColor, 4, 32, false},
    {plugInModeLabColor, plugInModeLabColor, 3, 24, false},
    {10, plugInModeGrayScale, 1, 8, true},
    {11, plugInModeRGBColor, 3, 24, true},
    {12, plugInModeLabColor, 3, 24, true},
    {13, plugInModeCMYKColor, 4, 32, true},
};

const ModeInfo *FindMode(int16_t mode) {
    for (const ModeInfo &m : kModes)
        if (m.mode == mode) return &m;
    return nullptr;
}

bool DepthFits(const ModeInfo &m, int16_t depth) {
    if (m.baseMode == plugInModeBitmap) return depth == 1;
    if (m.sixteenOnly) return depth == 16;
    // Indexes have no 16-bit form.
    return depth == 8 || (depth == 16 && m.baseMode != plugInModeIndexedColor);
}

// planeMap[0..n) when it is a permutation of the n colour channels.
bool MapIsPermutation(const FormatRecord *format, int n) {
    bool seen[kMaxPlanes] = {};
    for (int p = 0; p < n; ++p) {
        int c = format->planeMap[p];
        if (c < 0 || c >= n || seen[c]) return false;
        seen[c] = true;
    }
    return true;
}

// The host byte of each plug-in plane. planeMap says which channel a plane
// holds when it is a permutation; otherwise the planes are in channel order,
// except that an RGB plug-in that set a non-zero first entry keeps the
// host's blue, green, red order (the older meaning of that entry).
void MapPlanes(const FormatRecord *format, const PixelFormat &pixels, int8_t *hostByte) {
    if (pixels.soloPlane >= 0) {
        for (int p = 0; p < kMaxPlanes; ++p) hostByte[p] = p == pixels.soloPlane ? 0 : -1;
        return;
    }
    const int n = pixels.colorPlanes;
    const bool rgb = pixels.mode == plugInModeRGBColor;
    const bool permutation = MapIsPermutation(format, n);
    for (int p = 0; p < kMaxPlanes; ++p) {
        if (p >= n) {
            hostByte[p] = -1;
            continue;
        }
        int channel = permutation ? format->planeMap[p] : p;
        if (!permutation && rgb && format->planeMap[0] != 0) channel = n - 1 - p;
        // The host's 24-bit RGB pixel is blue, green, red; its other pixels
        // keep the plug-in's channel order.
        hostByte[p] = static_cast<int8_t>(rgb ? 2 - channel : channel);
    }
}

struct Step {
    int64_t bytes;
    int64_t count;
};

// Whether samples `sampleBytes` wide, stepped along each dimension, never
// share a byte: sorted by step, every step must clear the span of the
// dimensions inside it. Steps of one-element dimensions do not matter.
bool StepsSeparate(Step *steps, int n, int64_t sampleBytes) {
    int used = 0;
    for (int i = 0; i < n; ++i)
        if (steps[i].count > 1) steps[used++] = steps[i];
    // At most three steps: an insertion sort.
    for (int i = 1; i < used; ++i)
        for (int j = i; j > 0 && steps[j].bytes < steps[j - 1].bytes; --j)
            std::swap(steps[j], steps[j - 1]);
    int64_t span = sampleBytes;
    for (int i = 0; i < used; ++i) {
        if (steps[i].bytes < span) return false;
        span += steps[i].bytes * (steps[i].count - 1);
    }
    return true;
}

// The value of a full 16-bit sample. A plug-in may state the largest value
// its samples reach in maxValue; 0 (older plug-ins never set it, and the
// record starts zeroed) or a value no 16-bit sample can hold means the
// interface's full scale. The same scale serves both directions: rows
// handed to a plug-in on export go out on the scale it stated, else 32768.
uint32_t SixteenBitFull(const FormatRecord *format) {
    const int32_t stated = format->maxValue;
    return stated > 0 && stated <= UINT16_MAX ? static_cast<uint32_t>(stated) : kFullSixteen;
}

// Rounded to the nearest 8-bit value; a sample above the full value is
// white, never wrapped.
uint8_t EightFromSixteen(uint32_t v, uint32_t full) {
    return v >= full ? 255 : static_cast<uint8_t>((v * 255 + full / 2) / full);
}

uint8_t ReadSample(const uint8_t *at, int32_t sampleBytes, uint32_t full) {
    if (sampleBytes == 1) return *at;
    uint16_t v;
    std::memcpy(&v, at, sizeof v);
    return EightFromSixteen(v, full);
}

void WriteSample(uint8_t *at, int32_t sampleBytes, uint8_t v, uint32_t full) {
    if (sampleBytes == 1) {
        *at = v;
        return;
    }
    auto wide = static_cast<uint16_t>((v * full + 127) / 255);
    std::memcpy(at, &wide, sizeof wide);
}

uint8_t *RowStart(const BufferLayout &layout, int32_t y) {
    return layout.data + (y - layout.top) * layout.rowBytes;
}

void BitsToHost(const BufferLayout &layout, int32_t y, uint8_t *hostRow) {
    const uint8_t *src = RowStart(layout, y);
    for (int32_t i = 0; i < layout.columns(); ++i) {
        const int32_t x = layout.left + i;
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        if (src[i >> 3] & (0x80 >> (i & 7)))
            hostRow[x >> 3] |= bit;
        else
            hostRow[x >> 3] &= static_cast<uint8_t>(~bit);
    }
}

// Index of pixel i of a 4-bit row, first pixel in the high nibble.
uint8_t Nibble(const uint8_t *row, int32_t i) {
    return static_cast<uint8_t>(i & 1 ? row[i >> 1] & 0x0F : row[i >> 1] >> 4);
}

}  // namespace

uint32_t PixelFormatOf(const FormatRecord *format, PixelFormat *out) {
    const ModeInfo *m = FindMode(format->imageMode);
    if (!m || !DepthFits(*m, format->depth)) return FERR_UNSUPPORTED;
    if (format->planes < m->colorPlanes || format->planes > kMaxPlanes) return FERR_UNSUPPORTED;
    // A Bitmap's bits leave no room for a plane beside them.
    if (m->baseMode == plugInModeBitmap && format->planes != 1) return FERR_UNSUPPORTED;
    *out = {m->baseMode, format->depth, format->planes, m->colorPlanes, m->hostBitsAt8, -1};
    return 0;
}

PixelFormat SoloPlaneFormat(const PixelFormat &pixels, int16_t plane) {
    return {plugInModeGrayScale, pixels.depth, pixels.planes, 1, 8, plane};
}

uint32_t ReadLayout(const FormatRecord *format, const PixelFormat &pixels, int32_t width,
                    int32_t height, BufferLayout *out) {
    const VRect r = ChunkRectOf(format);
    BufferLayout l{};
    l.data = static_cast<uint8_t *>(format->data);
    l.top = r.top, l.left = r.left, l.bottom = r.bottom, l.right = r.right;
    l.loPlane = format->loPlane, l.hiPlane = format->hiPlane;
    l.colBytes = format->colBytes, l.rowBytes = format->rowBytes;
    l.planeBytes = format->planeBytes;
    l.sampleBytes = pixels.depth / 8;
    l.sampleFull = SixteenBitFull(format);
    // Plug-ins written for rows of interleaved pixels leave the plane range
    // and the column and plane steps at 0, which describe no usable buffer:
    // they mean every plane of each pixel side by side.
    if (l.colBytes == 0 && l.planeBytes == 0 && l.loPlane == 0 && l.hiPlane == 0) {
        l.hiPlane = pixels.planes - 1;
        l.planeBytes = l.sampleBytes;
        l.colBytes = int64_t{pixels.planes} * l.sampleBytes;
    }
    MapPlanes(format, pixels, l.hostByte);
    if (l.top < 0 || l.bottom < l.top || l.bottom > height) return FERR_PLUGIN;
    if (l.left < 0 || l.right < l.left || l.right > width) return FERR_PLUGIN;
    *out = l;
    if (l.empty()) return 0;
    if (!l.data) return FERR_PLUGIN;
    const int64_t rows = l.bottom - l.top;
    if (pixels.depth == 1) {
        // Packed bits: only the row step can go wrong.
        const int64_t rowSpan = (l.columns() + 7) / 8;
        return rows == 1 || l.rowBytes >= rowSpan ? 0 : FERR_PLUGIN;
    }
    if (l.loPlane < 0 || l.hiPlane < l.loPlane || l.hiPlane >= pixels.planes) return FERR_PLUGIN;
    Step steps[] = {
        {l.colBytes, l.columns()}, {l.planeBytes, l.hiPlane - l.loPlane + 1}, {l.rowBytes, rows}};
    for (const Step &s : steps)
        if (s.count > 1 && s.bytes <= 0) return FERR_PLUGIN;
    return StepsSeparate(steps, 3, l.sampleBytes) ? 0 : FERR_PLUGIN;
}

uint8_t *SampleAt(const BufferLayout &layout, int32_t x, int32_t y, int32_t plane) {
    if (layout.sampleBytes == 0) return RowStart(layout, y) + (x - layout.left) / 8;
    return RowStart(layout, y) + (x - layout.left) * layout.colBytes +
           (plane - layout.loPlane) * layout.planeBytes;
}

bool CoversAllChannels(const BufferLayout &layout, const PixelFormat &pixels) {
    if (pixels.depth == 1) return true;
    if (pixels.soloPlane >= 0)
        return layout.loPlane <= pixels.soloPlane && pixels.soloPlane <= layout.hiPlane;
    return layout.loPlane == 0 && layout.hiPlane + 1 >= pixels.colorPlanes;
}

void SamplesToHost(const BufferLayout &layout, const PixelFormat &pixels, int32_t y,
                   uint8_t *hostRow) {
    if (pixels.depth == 1) {
        BitsToHost(layout, y, hostRow);
        return;
    }
    const int32_t pixelBytes = pixels.hostBits / 8;
    for (int32_t p = layout.loPlane; p <= layout.hiPlane; ++p) {
        if (layout.hostByte[p] < 0) continue;
        const uint8_t *src = SampleAt(layout, layout.left, y, p);
        uint8_t *dst = hostRow + layout.left * pixelBytes + layout.hostByte[p];
        for (int32_t i = 0; i < layout.columns(); ++i, src += layout.colBytes, dst += pixelBytes)
            *dst = ReadSample(src, layout.sampleBytes, layout.sampleFull);
    }
}

void HostToSamples(const uint8_t *hostRow, int32_t hostBits, bool invertBits,
                   const BufferLayout &layout, const PixelFormat &pixels, int32_t y,
                   const uint8_t *alphaRow) {
    if (pixels.depth == 1) {
        uint8_t *dst = RowStart(layout, y);
        const int32_t bytes = (layout.columns() + 7) / 8;
        for (int32_t i = 0; i < bytes; ++i)
            dst[i] = invertBits ? static_cast<uint8_t>(~hostRow[i]) : hostRow[i];
        return;
    }
    const int32_t pixelBytes = hostBits >= 8 ? hostBits / 8 : 0;
    for (int32_t p = layout.loPlane; p <= layout.hiPlane; ++p) {
        const int8_t at = layout.hostByte[p];
        const uint8_t *alpha = p == pixels.colorPlanes ? alphaRow : nullptr;
        uint8_t *dst = SampleAt(layout, layout.left, y, p);
        for (int32_t i = 0; i < layout.columns(); ++i, dst += layout.colBytes) {
            uint8_t v = at >= 0
                            ? (pixelBytes == 0 ? Nibble(hostRow, i) : hostRow[i * pixelBytes + at])
                        : alpha ? alpha[i]
                                : 255;
            WriteSample(dst, layout.sampleBytes, v, layout.sampleFull);
        }
    }
}

}  // namespace plug
