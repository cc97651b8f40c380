// The two advanceState exchanges and the chunk moves behind them. Every
// chunk is read and checked as a whole (buffer_layout) before a byte moves:
// a description that would make plughost read or write outside either
// side's rows is declined with FERR_PLUGIN.
#include "exchange.h"

#include "buffer_layout.h"
#include "common/checked.h"
#include "common/heap.h"
#include "context.h"
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

// The rows come from the image the write context captured (the colour
// rows kept from the first of two FE_EXPORT calls, or getRowsProc's), with
// the alpha plane when the host gave one.
int16_t FillDescribedChunk(const FormatRecord *format, FilterRecord *record) {
    const PluginContext *context = context_of(record);
    if (!context || context->mode != kWriteMode) return Decline(FERR_PLUGIN);
    const HostImage &image = context->image;
    PixelFormat pixels;
    BufferLayout chunk;
    if (PixelFormatOf(format, &pixels) != 0 || !HostRowsFit(pixels, image.bitsPerPixel) ||
        ReadLayout(format, pixels, image.width, image.height, &chunk) != 0)
        return Decline(FERR_PLUGIN);
    // Rows without columns hold no bytes: the host is not asked for them.
    if (chunk.empty()) return 0;
    if (!record->getRowsProc) return Decline(FERR_TRANSFER);
    // One spare byte: a 4-bit row's last nibble is read as a whole byte.
    flt::HeapBlock row(static_cast<size_t>(flt::row_bytes(chunk.columns(), image.bitsPerPixel)) +
                       1);
    flt::HeapBlock alpha;
    if (image.alpha) alpha = flt::HeapBlock(static_cast<size_t>(chunk.columns()));
    if (!row || (image.alpha && !alpha)) return Decline(FERR_NO_MEMORY);
    for (int32_t y = chunk.top; y < chunk.bottom; ++y) {
        FetchColourRow(record, image, y, chunk.left, chunk.columns(), row.get());
        if (image.alpha) FetchAlphaRow(record, image, y, chunk.left, chunk.columns(), alpha.get());
        HostToSamples(row.get(), image.bitsPerPixel, image.invertBits, chunk, pixels, y,
                      alpha.get());
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
