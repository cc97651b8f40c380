// The two advanceState exchanges and the chunk moves behind them. Every
// chunk is read and checked as a whole (buffer_layout) before a byte moves:
// a description that would make plughost read or write outside either
// side's rows is declined with FERR_PLUGIN.
#include "exchange.h"

#include "buffer_layout.h"
#include "common/checked.h"
#include "common/heap.h"
#include "services.h"

namespace plug {
namespace {

int16_t Decline(uint32_t code) {
    NoteFault(code);
    return code == FERR_NO_MEMORY ? piMemFullErr : formatBadParameters;
}

int16_t RefusalResult(const FilterRecord *record) {
    return static_cast<int16_t>(record->errorCode == FERR_CANCELLED ? FERR_CANCELLED
                                                                    : FERR_NO_MEMORY);
}

// The write side's host rows have the depth the plug-in's mode was
// described from; a 4-bit host row gives 8-bit indexes.
bool HostRowsFit(const PixelFormat &pixels, int32_t hostBits) {
    return pixels.hostBits == hostBits || (hostBits == 4 && pixels.hostBits == 8);
}

// Bitmap samples are 0 for black: a 1-bit host image whose palette puts the
// brighter colour first has its bits turned over.
bool InvertsBits(const FilterRecord *record) {
    if (record->bitsPerPixel != 1 || !record->palette || record->paletteCount < 2) return false;
    const uint8_t *p = record->palette;
    return p[0] + p[1] + p[2] > p[3] + p[4] + p[5];
}

}  // namespace

int16_t TakeDescribedChunk(RowAssembly &rows, const FormatRecord *format,
                           const FilterRecord *record) {
    // Once the host refused a row it is not asked again in this import.
    if (LastExchangeOutcome().refused) return RefusalResult(record);
    BufferLayout chunk;
    if (ReadLayout(format, rows.pixels(), rows.width(), rows.height(), &chunk) != 0)
        return Decline(FERR_PLUGIN);
    const uint32_t code = rows.Take(chunk);
    if (code == RowAssembly::kRefused) {
        NoteRefusal();
        return RefusalResult(record);
    }
    return code == 0 ? 0 : Decline(code);
}

int16_t FillDescribedChunk(const FormatRecord *format, FilterRecord *record) {
    PixelFormat pixels;
    BufferLayout chunk;
    if (PixelFormatOf(format, &pixels) != 0 || !HostRowsFit(pixels, record->bitsPerPixel) ||
        ReadLayout(format, pixels, record->width, record->height, &chunk) != 0)
        return Decline(FERR_PLUGIN);
    // Rows without columns hold no bytes: the host is not asked for them.
    if (chunk.empty()) return 0;
    if (!record->getRowsProc) return Decline(FERR_TRANSFER);
    // One spare byte: a 4-bit row's last nibble is read as a whole byte.
    flt::HeapBlock row(static_cast<size_t>(flt::row_bytes(chunk.columns(), record->bitsPerPixel)) +
                       1);
    if (!row) return Decline(FERR_NO_MEMORY);
    const bool invert = InvertsBits(record);
    for (int32_t y = chunk.top; y < chunk.bottom; ++y) {
        record->getRowsProc(row.get(), chunk.left, record->height - 1 - y, chunk.columns(), 1,
                            record);
        HostToSamples(row.get(), record->bitsPerPixel, invert, chunk, pixels, y);
    }
    return 0;
}

// Takes a chunk the plug-in left described in `data` when a selector
// returned, unless it is the one it just handed over through advanceState.
void TakeLeftChunk(RowAssembly &rows, const FormatRecord *format, const FilterRecord *record) {
    if (!format->data) return;
    BufferLayout chunk;
    if (ReadLayout(format, rows.pixels(), rows.width(), rows.height(), &chunk) == 0 &&
        rows.TookLast(chunk))
        return;
    TakeDescribedChunk(rows, format, record);
}

bool ExchangeStopped() {
    return LastExchangeOutcome().fault || LastExchangeOutcome().refused;
}

// Outside FE_IMPORT's row loop (identify, the finish selector, an import
// whose header call was refused) the host takes no rows, so none move.
int16_t PI_CDECL ReadExchange() {
    FormatRecord *format = CurrentFormat();
    FilterRecord *record = CurrentFilter();
    RowAssembly *rows = CurrentAssembly();
    if (format && record && !rows && DiscardingRows()) return 0;
    if (!format || !record || !rows) return formatBadParameters;
    return TakeDescribedChunk(*rows, format, record);
}

int16_t PI_CDECL WriteExchange() {
    FormatRecord *format = CurrentFormat();
    FilterRecord *record = CurrentFilter();
    if (!format || !record) return formatBadParameters;
    return FillDescribedChunk(format, record);
}

}  // namespace plug
