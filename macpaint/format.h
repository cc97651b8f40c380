// MacPaint file layout: an optional 128-byte MacBinary header, a 512-byte
// MacPaint header, then 720 PackBits rows of 72 bytes (576 pixels) each.
#pragma once

#include <cstddef>
#include <cstdint>

namespace paint {

constexpr int32_t kWidth = 576;
constexpr int32_t kHeight = 720;
constexpr size_t kRowBytes = 72;
constexpr size_t kMacBinarySize = 128;
constexpr size_t kPaintHeaderSize = 512;
constexpr size_t kTypeOffset = 65;  // "PNTG" in a MacBinary header
constexpr size_t kCreatorOffset = 69;
constexpr int32_t kResolution = 2834645;  // 72 dots per inch, in pixels per km

}  // namespace paint
