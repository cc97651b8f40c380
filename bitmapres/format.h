// On-disk layout of the executables and bitmaps that rsrcxchg reads: the DOS
// stub, the NE and PE resource directories and the device-independent bitmap
// header. All values are little-endian.
#pragma once

#include <cstdint>

namespace rsrc {

// DOS header.
constexpr uint16_t kMzSignature = 0x5A4D;    // "MZ"
constexpr uint32_t kNewHeaderOffset = 0x3C;  // u32: file offset of the NE/PE header

// NE header, offsets from its start.
constexpr uint16_t kNeSignature = 0x454E;     // "NE"
constexpr uint32_t kNeResourceTable = 0x24;   // u16: resource table, from the NE header
constexpr uint32_t kNeTargetOs = 0x36;        // u8: 2 = Windows
constexpr uint32_t kNeWindowsVersion = 0x3E;  // u16: expected Windows version
constexpr uint8_t kNeTargetWindows = 2;
constexpr uint16_t kNeMinimumVersion = 0x0300;
constexpr uint32_t kNeTypeRecordSize = 8;
constexpr uint32_t kNeResourceRecordSize = 12;
constexpr uint16_t kNeNumericId = 0x8000;

// PE header, offsets from the "PE\0\0" signature.
constexpr uint32_t kPeSignature = 0x00004550;
constexpr uint32_t kPeSectionCount = 6;         // u16
constexpr uint32_t kPeOptionalHeaderSize = 20;  // u16
constexpr uint32_t kPeOptionalHeader = 24;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
// Resource entry (index 2) of the data directory, from the optional header.
constexpr uint32_t kPe32ResourceEntry = 112;
constexpr uint32_t kPe32PlusResourceEntry = 128;
constexpr uint32_t kPeSectionHeaderSize = 40;
constexpr uint32_t kPeSectionVirtualAddress = 12;
constexpr uint32_t kPeSectionRawData = 20;

// PE resource directory.
constexpr uint32_t kPeDirNamedCount = 12;  // u16
constexpr uint32_t kPeDirIdCount = 14;     // u16
constexpr uint32_t kPeDirHeaderSize = 16;
constexpr uint32_t kPeDirEntrySize = 8;
constexpr uint32_t kPeSubdirectoryBit = 0x80000000u;
constexpr uint32_t kPeDataEntrySize = 16;

constexpr uint32_t kBitmapType = 2;

// Device-independent bitmap header.
constexpr uint32_t kCoreHeaderSize = 12;  // the old OS/2-style header
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kDibWidth = 4;      // i32 (u16 in the core header)
constexpr uint32_t kDibHeight = 8;     // i32 (u16 at 6 in the core header)
constexpr uint32_t kDibBitCount = 14;  // u16 (at 10 in the core header)
constexpr uint32_t kDibCompression = 16;
constexpr uint32_t kDibXPelsPerMeter = 24;
constexpr uint32_t kDibYPelsPerMeter = 28;
constexpr uint32_t kDibColorsUsed = 32;
constexpr uint32_t kDibMaskBytes = 12;  // red, green, blue masks after a 40-byte header

enum Compression : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3 };

}  // namespace rsrc
