#include "export.h"

#include <algorithm>
#include <cstring>

#include "codec/paint_encode.h"
#include "common/byte_reader.h"
#include "common/checked.h"
#include "common/delivery.h"
#include "common/heap.h"
#include "common/muldiv.h"
#include "common/platform.h"
#include "format.h"

namespace paint {
namespace {

constexpr size_t kHeaderBlock = kMacBinarySize + kPaintHeaderSize;
constexpr size_t kMaxName = 63;
constexpr char kDefaultName[] = "PAINT1.MAC";

// The file title of filePath through the platform (first the size it needs,
// then into a buffer of that size); 0 or the failure code.
uint32_t store_title(const char *path, uint8_t *header) {
    const int32_t need = flt::platform_file_title(path, nullptr, 0);
    if (need <= 0 || need > 0xFFFF) return FERR_FILE_NAME;
    flt::HeapBlock title(static_cast<size_t>(need));
    if (!title) return FERR_NO_MEMORY;
    char *text = reinterpret_cast<char *>(title.get());
    if (flt::platform_file_title(path, text, static_cast<uint16_t>(need)) != 0)
        return FERR_FILE_NAME;
    text[need - 1] = '\0';
    const size_t n = std::min(std::strlen(text), kMaxName);
    header[1] = static_cast<uint8_t>(n);
    std::memcpy(header + 2, text, n);
    return 0;
}

uint32_t PaintWriteHeader(FilterRecord *record) {
    flt::HeapBlock header(kHeaderBlock);
    if (!header) return FERR_NO_MEMORY;
    uint8_t *h = header.get();
    if (!record->filePath) {
        h[1] = sizeof kDefaultName - 1;
        std::memcpy(h + 2, kDefaultName, sizeof kDefaultName - 1);
    } else if (uint32_t e = store_title(record->filePath, h)) {
        return e;
    }
    std::memcpy(h + kTypeOffset, "PNTG", 4);
    std::memcpy(h + kCreatorOffset, "VEMA", 4);
    flt::store_u32be(h + kMacBinarySize, 2);
    // This module reports a refused header as out of memory.
    return flt::write_bytes(record, h, kHeaderBlock, 0) ? 0 : FERR_NO_MEMORY;
}

uint32_t write_rows(FilterRecord *record, uint8_t *host_row, size_t host_bytes, uint8_t *out) {
    const int32_t width = record->width, height = record->height;
    for (int32_t k = 0; k < kHeight; ++k) {
        const int32_t c = kHeight - 1 - k;
        const uint8_t *bytes = kBlankRow;
        size_t count = sizeof kBlankRow;
        if (k < height && width > 0) {
            std::memset(host_row, 0, host_bytes);
            flt::fetch_row(record, host_row, height - 1 - k, width);
            count = PaintEncodeRow(host_row, width, out);
            bytes = out;
        }
        if (!flt::write_bytes(record, bytes, count, 100 - flt::MulDiv(c, 100, kHeight)))
            return FERR_TRANSFER;
    }
    return 0;
}

}  // namespace

int32_t PaintExport(FilterRecord *record) {
    // The host row is sized for 1-bit pixels: rows of any other depth would
    // not fit it, so they are refused, as are negative sizes. An image with a
    // side of 0 has no pixels to fetch and becomes the blank picture.
    if (record->bitsPerPixel != 1 || record->width < 0 || record->height < 0)
        return flt::fail(record, FERR_BAD_REQUEST);
    const size_t host_bytes =
        static_cast<size_t>(std::max<uint64_t>(flt::row_bytes_dword(record->width, 1), 4));
    flt::HeapBlock host_row(host_bytes);
    flt::HeapBlock out(kEncodedRowCapacity);
    if (!host_row || !out) return flt::fail(record, FERR_NO_MEMORY);
    if (uint32_t e = PaintWriteHeader(record)) return flt::fail(record, e);
    if (uint32_t e = write_rows(record, host_row.get(), host_bytes, out.get()))
        return flt::fail(record, e);
    return 1;
}

}  // namespace paint
