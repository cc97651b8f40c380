// The two advanceState exchanges. Rows cross one at a time between the
// plug-in's buffer (`data`, rows `rowBytes` apart, `theRect` the rows it
// holds) and the host. The plug-in's rectangle and row distance are checked
// against the host's image before any row moves: a request that would make
// plughost read or write outside either side's rows is declined.
#include <cstring>

#include "common/checked.h"
#include "common/heap.h"
#include "services.h"

namespace plug {
namespace {

constexpr int16_t kHostCancelled = FERR_CANCELLED;
constexpr int16_t kHostRefused = FERR_NO_MEMORY;

int16_t Decline(uint32_t code) {
    NoteFault(code);
    return formatBadParameters;
}

// Whether rows [top, bottom) fit the host's image and rows of `need` bytes
// fit `rowBytes` apart in the plug-in's buffer.
bool RowsFit(const FormatRecord *format, const FilterRecord *record, uint64_t need) {
    const PIRect &r = format->theRect;
    if (r.top < 0 || r.bottom < r.top || r.bottom > record->height) return false;
    if (r.bottom == r.top) return true;
    return format->data && format->rowBytes >= 0 && static_cast<uint64_t>(format->rowBytes) >= need;
}

uint8_t *RowAt(const FormatRecord *format, int i) {
    return static_cast<uint8_t *>(format->data) +
           static_cast<size_t>(i) * static_cast<size_t>(format->rowBytes);
}

// The plug-in's RGB rows in the host's blue, green, red order.
bool SwapsRedBlue(const FormatRecord *format, int32_t bitsPerPixel) {
    return format->imageMode == plugInModeRGBColor && format->planeMap[0] == 0 &&
           bitsPerPixel == 24;
}

void SwapRedBlue(uint8_t *row, int32_t pixels) {
    for (int32_t p = 0; p < pixels; ++p) {
        uint8_t t = row[3 * p];
        row[3 * p] = row[3 * p + 2];
        row[3 * p + 2] = t;
    }
}

// The host's row (counted from the bottom) of row i of the plug-in's
// rectangle (counted from the top).
int32_t HostRow(const FilterRecord *record, const FormatRecord *format, int i) {
    return record->height - format->theRect.top - i - 1;
}

}  // namespace

// Rows go to the host in the byte count of the host's row (the plug-in's row
// distance may include padding). RGB rows are converted to the host's order
// in a copy, so that the plug-in's buffer stays as the plug-in left it.
// Outside FE_IMPORT's row loop (identify, the finish selector, an import
// whose header call was refused) the host takes no rows, so none move.
int16_t PI_CDECL ReadExchange() {
    FormatRecord *format = CurrentFormat();
    FilterRecord *record = CurrentFilter();
    if (!format || !record || !RowLedgerOpenFor(record->height)) return formatBadParameters;
    // Once the host refused a row it is not asked again in this import.
    if (LastExchangeOutcome().refused)
        return record->errorCode == FERR_CANCELLED ? kHostCancelled : kHostRefused;
    uint64_t need = flt::row_bytes(record->width, record->bitsPerPixel);
    if (!RowsFit(format, record, need) || need > INT32_MAX) return Decline(FERR_PLUGIN);
    int rows = format->theRect.bottom - format->theRect.top;
    // A row the host already has would arrive twice: the request is declined
    // before any of its rows moves.
    for (int i = 0; i < rows; ++i)
        if (RowDelivered(HostRow(record, format, i))) return Decline(FERR_PLUGIN);
    bool swap = SwapsRedBlue(format, record->bitsPerPixel);
    flt::HeapBlock copy;
    if (swap && rows > 0) {
        copy = flt::HeapBlock(static_cast<size_t>(need));
        if (!copy) {
            NoteFault(FERR_NO_MEMORY);
            return kHostRefused;
        }
    }
    for (int i = 0; i < rows; ++i) {
        const uint8_t *row = RowAt(format, i);
        if (swap) {
            std::memcpy(copy.get(), row, static_cast<size_t>(need));
            SwapRedBlue(copy.get(), record->width);
            row = copy.get();
        }
        const int32_t y = HostRow(record, format, i);
        if (!record->dataProc ||
            record->dataProc(row, y, 0, 1, record->width, static_cast<int32_t>(need), 0,
                             record->userData) == 0) {
            NoteRefusal();
            return record->errorCode == FERR_CANCELLED ? kHostCancelled : kHostRefused;
        }
        MarkRow(y);
    }
    return 0;
}

int16_t PI_CDECL WriteExchange() {
    FormatRecord *format = CurrentFormat();
    FilterRecord *record = CurrentFilter();
    if (!format || !record) return formatBadParameters;
    const PIRect &r = format->theRect;
    if (r.left < 0 || r.right < r.left || r.right > record->width) return Decline(FERR_PLUGIN);
    int32_t pixels = r.right - r.left;
    // The host's blue, green, red becomes red, green, blue; the swap touches
    // three bytes a pixel whatever the host's depth, so the row must hold them.
    bool swap = format->imageMode == plugInModeRGBColor && format->planeMap[0] == 0;
    uint64_t need = flt::row_bytes(pixels, record->bitsPerPixel);
    if (swap && need < static_cast<uint64_t>(pixels) * 3) need = static_cast<uint64_t>(pixels) * 3;
    if (!RowsFit(format, record, need)) return Decline(FERR_PLUGIN);
    // Rows without columns hold no bytes: the host is not asked for them.
    int rows = pixels > 0 ? r.bottom - r.top : 0;
    if (rows > 0 && !record->getRowsProc) return Decline(FERR_TRANSFER);
    for (int i = 0; i < rows; ++i) {
        uint8_t *row = RowAt(format, i);
        record->getRowsProc(row, r.left, record->height - r.top - i - 1, pixels, 1, record);
        if (swap) SwapRedBlue(row, pixels);
    }
    return 0;
}

}  // namespace plug
