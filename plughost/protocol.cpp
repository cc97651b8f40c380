#include "protocol.h"

#include <initializer_list>

#include "common/delivery.h"
#include "common/heap.h"
#include "common/platform_plugin.h"
#include "common/record_blocks.h"
#include "context.h"
#include "document_info.h"
#include "exchange.h"
#include "layered_read.h"
#include "plugin_settings.h"
#include "record.h"
#include "save_phase.h"
#include "services.h"

namespace plug {
namespace {

// A context opened for the other direction cannot serve this opcode.
bool WrongMode(FilterRecord *record, ContextMode mode) {
    return context_of(record)->mode != mode;
}

// Runs selectors in turn, each only after the one before returned 0.
int16_t RunSelectors(PluginBinding *binding, std::initializer_list<int16_t> selectors) {
    for (int16_t selector : selectors) {
        int16_t result = CallSelector(binding, selector);
        if (result != 0) return result;
    }
    return 0;
}

// A write context whose library was released by an earlier FE_EXPORT loads
// the plug-in again, as a fresh instance (its data word starts at 0 again,
// see LoadPlugin), and the host's image is described anew (the host may
// have changed it).
uint32_t ReloadIfReleased(FilterRecord *record) {
    PluginContext *context = context_of(record);
    PluginBinding *binding = context->binding;
    if (binding->entry) return 0;
    uint32_t code = LoadPlugin(record, binding);
    if (code == 0) code = DescribeHostImage(record, binding->record);
    if (code == 0) code = PlaySettings(record, binding);
    if (code == 0) CaptureHostImage(record, &context->image);
    return code;
}

// Opens a write context when there is none, or readies the one there is.
uint32_t ReadyWriteContext(FilterRecord *record) {
    if (!context_of(record)) return OpenWriteContext(record);
    if (WrongMode(record, kWriteMode)) return FERR_BAD_REQUEST;
    uint32_t code = ReloadIfReleased(record);
    if (code != 0) ReleaseContext(record);
    return code;
}

// The code for a failing plug-in result. A plug-in that stops because the
// host refused a progress report with FERR_CANCELLED stored reports the
// user's cancel, as every refused callback does, whatever its own result says.
uint32_t PluginFailure(int16_t result) {
    return HostCancelled() ? static_cast<uint32_t>(FERR_CANCELLED) : MapPluginResult(result);
}

// The code for a FE_IMPORT whose rows the exchange could not all deliver.
uint32_t ExchangeFailure(const FilterRecord *record, const ExchangeOutcome &outcome) {
    if (outcome.refused) return flt::refusal_code(record, FERR_TRANSFER);
    return outcome.fault;
}

// Runs selector 3 until the plug-in is done, with the rows' assembly open;
// rows arrive through advanceState or as chunks left in `data`, the first of
// them possibly left by ReadStart. ReadContinue is called at least once,
// even when ReadStart left `data` null. Returns the last result.
int16_t ReadRows(PluginBinding *binding, FilterRecord *record, RowAssembly &rows) {
    FormatRecord *format = binding->record;
    SetCurrentAssembly(&rows);
    TakeLeftChunk(rows, format, record);
    int16_t result = 0;
    // A plug-in that keeps asking after plughost declined its rows would
    // otherwise never leave the loop.
    while (!ExchangeStopped()) {
        rows.ForgetLast();
        result = CallSelector(binding, formatSelectorReadContinue);
        if (result != 0 || !format->data) break;
        TakeLeftChunk(rows, format, record);
    }
    SetCurrentAssembly(nullptr);
    return result;
}

// Gives a read context's plug-in its finish selector, which releases what it
// got for reading; a context whose plug-in is gone or whose read is not
// started has nothing to finish.
void FinishRead(FilterRecord *record) {
    PluginContext *context = context_of(record);
    if (context && context->mode == kReadMode && context->readPhase != kReadIdle &&
        context->binding && context->binding->entry && context->binding->record) {
        SetCurrentPair(context->binding->record, record);
        PrepareReadFinish(context);
        CallSelector(context->binding, formatSelectorReadFinish);
        context->readPhase = kReadIdle;
    }
}

// A read the plug-in already ran (or that was finished) is run again from
// ReadPrepare, with the file back at its start: the plug-in is never asked
// to continue a read it ended, and every import delivers the whole image.
uint32_t RestartRead(FilterRecord *record) {
    PluginContext *context = context_of(record);
    if (context->readPhase == kReadStarted) return 0;
    FinishRead(record);
    // The document is read anew: what the plug-in added to it the last time
    // would otherwise be there twice.
    ReleaseResources(&context->resources);
    // Handle 0 is no file (a null handle on Windows; the host's "none" here).
    if (record->fileHandle != 0) flt::platform_file_rewind(record->fileHandle);
    PluginBinding *binding = context->binding;
    SetCurrentPair(binding->record, record);
    binding->record->data = nullptr;
    PrepareReadStart(binding->record);
    int16_t result = RunSelectors(binding, {formatSelectorReadPrepare, formatSelectorReadStart});
    if (result != 0) return PluginFailure(result);
    context->readPhase = kReadStarted;
    return NoteReadStarted(context);
}

// Chooses the image record->imageIndex names and describes it to the host.
uint32_t PublishChosenImage(FilterRecord *record) {
    PluginContext *context = context_of(record);
    const FormatRecord *format = context->binding->record;
    uint32_t code = ChooseImage(format, context->layerCount, record->imageIndex, &context->choice);
    return code != 0 ? code : PublishImageHeader(record, format, context->choice);
}

// The code for a save phase that ended with `result`: a chunk plughost
// could not fill (which explains the plug-in's failure too), else the
// plug-in's failure, else 0.
uint32_t SaveFailure(int16_t result) {
    uint32_t fault = LastExchangeOutcome().fault;
    return fault != 0 || result == 0 ? fault : PluginFailure(result);
}

// Runs the options selectors on an open write context; `hostRows`: whether
// the host's rows can fill a chunk the plug-in asks for.
int32_t RunOptions(FilterRecord *record, bool hostRows) {
    PluginContext *context = context_of(record);
    SetCurrentPair(context->binding->record, record);
    ResetExchangeOutcome();
    context->image.rowsNow = hostRows;
    DescribeDocument(context->document, context->image, context->binding->record);
    uint32_t code = SaveFailure(RunSavePhase(context->binding, kOptionsPhase, hostRows));
    if (code != 0) return flt::fail(record, code);
    context->optionsDone = 1;
    record->errorCode = 0;
    return 1;
}

// An image with an alpha plane comes in two FE_EXPORT calls, as imageIndex
// 1 (the colour) and 2 (the alpha plane) of imageCount 2. The plug-in runs
// at the second, when getRowsProc serves the alpha plane, with the colour
// rows kept from the first.
enum class ExportPart { kWhole, kColourOfTwo, kAlphaOfTwo, kUnknown };

ExportPart PartOf(const FilterRecord *record) {
    if (record->imageCount != 2) return ExportPart::kWhole;
    if (record->imageIndex == 1) return ExportPart::kColourOfTwo;
    return record->imageIndex == 2 ? ExportPart::kAlphaOfTwo : ExportPart::kUnknown;
}

// The first of the two calls: the colour rows kept for the second.
int32_t KeepColour(FilterRecord *record) {
    PluginContext *context = context_of(record);
    uint32_t code = KeepColourRows(record, &context->image);
    if (code == 0) return 1;
    ReleaseContext(record);
    return flt::fail(record, code);
}

// The second call: an alpha plane that completes the kept colour rows (one
// byte a pixel, the same size) becomes the plug-in's first extra plane and
// the ports' transparency; a Bitmap has no room for a plane beside its bits,
// so there only the ports show it.
uint32_t TakeAlphaPlane(FilterRecord *record) {
    PluginContext *context = context_of(record);
    if (!context || context->mode != kWriteMode) return FERR_BAD_REQUEST;
    HostImage &image = context->image;
    if (!image.keptRows || image.alpha || record->bitsPerPixel != 8 ||
        record->width != image.width || record->height != image.height) {
        ReleaseContext(record);
        return FERR_BAD_REQUEST;
    }
    image.alpha = true;
    FormatRecord *format = context->binding->record;
    if (format->imageMode != plugInModeBitmap) ++format->planes;
    return 0;
}

// The image of FE_EXPORT is the one to save: a context opened by FE_OPTIONS
// (whose host may not have described its image yet) takes it again.
uint32_t ReadyExport(FilterRecord *record, ExportPart part) {
    if (part == ExportPart::kUnknown) return FERR_BAD_REQUEST;
    if (part == ExportPart::kAlphaOfTwo) return TakeAlphaPlane(record);
    uint32_t code = ReadyWriteContext(record);
    if (code != 0) return code;
    PluginContext *context = context_of(record);
    code = DescribeHostImage(record, context->binding->record);
    if (code != 0) {
        ReleaseContext(record);
        return code;
    }
    CaptureHostImage(record, &context->image);
    return 0;
}

// Options (unless done), estimate and write, with rows to give.
void RunSave(FilterRecord *record) {
    PluginContext *context = context_of(record);
    PluginBinding *binding = context->binding;
    FormatRecord *format = binding->record;
    format->dataFork = static_cast<intptr_t>(record->fileHandle);
    bool options_ok =
        context->optionsDone || (record->requestFlags & FRI_NO_DIALOG) || RunOptions(record, true);
    if (!options_ok) return;
    SetCurrentPair(format, record);
    ResetExchangeOutcome();
    context->image.rowsNow = true;
    DescribeDocument(context->document, context->image, format);
    // The estimate comes before every write, as the interface's hosts
    // run it; plughost has no use for the sizes it gives (the plug-in
    // writes the file itself), but plug-ins may prepare in it.
    format->imageRsrcSize = 0;
    int16_t result = RunSavePhase(binding, kEstimatePhase, true);
    if (result == 0 && !LastExchangeOutcome().fault)
        result = RunSavePhase(binding, kWritePhase, true);
    record->errorCode = SaveFailure(result);
    if (record->errorCode == 0) KeepSettings(record, binding);
}

}  // namespace

int32_t Identify(FilterRecord *record) {
    if (record->filterFlags & FRF_IDENTIFY_STRICT) return 0;
    if (context_of(record)) {
        if (WrongMode(record, kReadMode)) return flt::fail(record, FERR_BAD_REQUEST);
        uint32_t code = PublishChosenImage(record);
        if (code == 0) return 1;
        // The context goes, and with it the end call that would finish the
        // plug-in's reading: finish it here.
        FinishRead(record);
        ReleaseContext(record);
        return flt::fail(record, code);
    }
    uint32_t code = OpenReadContext(record);
    if (code != 0) return flt::fail(record, code);
    PluginBinding *binding = context_of(record)->binding;
    SetCurrentPair(binding->record, record);
    PrepareReadStart(binding->record);
    int16_t result = RunSelectors(
        binding, {formatSelectorFilterFile, formatSelectorReadPrepare, formatSelectorReadStart});
    if (result == 0) context_of(record)->readPhase = kReadStarted;
    code = result != 0 ? PluginFailure(result) : NoteReadStarted(context_of(record));
    if (code == 0) code = PublishChosenImage(record);
    if (code == 0) return 1;
    // The plug-in started reading: its finish selector releases what it holds.
    FinishRead(record);
    ReleaseContext(record);
    return flt::fail(record, code);
}

int32_t Import(FilterRecord *record) {
    if (!context_of(record)) {
        if (!Identify(record)) return 0;
    } else {
        if (WrongMode(record, kReadMode)) return flt::fail(record, FERR_BAD_REQUEST);
        uint32_t code = RestartRead(record);
        if (code == 0) code = PublishChosenImage(record);
        if (code != 0) return flt::fail(record, code);
    }
    PluginContext *context = context_of(record);
    PluginBinding *binding = context->binding;
    RowAssembly rows(record, context->choice.pixels);
    if (!rows.ready()) return flt::fail(record, FERR_NO_MEMORY);
    if (!flt::call_header(record))
        return flt::fail(record, flt::refusal_code(record, FERR_TRANSFER));
    SetCurrentPair(binding->record, record);
    ResetExchangeOutcome();
    context->readPhase = kReadUsed;
    int16_t result = context->layerCount == 0 ? ReadRows(binding, record, rows)
                                              : ReadLayers(context, record, rows);
    ExchangeOutcome outcome = LastExchangeOutcome();
    if (outcome.refused || outcome.fault)
        return flt::fail(record, ExchangeFailure(record, outcome));
    if (result != 0) return flt::fail(record, PluginFailure(result));
    // A plug-in that ends its loop early leaves the host with a partial
    // image; that is no success.
    if (!rows.complete()) return flt::fail(record, FERR_PLUGIN);
    return 1;
}

int32_t Options(FilterRecord *record) {
    if (record->requestFlags & FRI_NO_DIALOG) return 1;
    uint32_t code = ReadyWriteContext(record);
    if (code != 0) return flt::fail(record, code);
    // The host gives no rows with FE_OPTIONS.
    return RunOptions(record, false);
}

int32_t Export(FilterRecord *record) {
    const ExportPart part = PartOf(record);
    uint32_t code = ReadyExport(record, part);
    if (code != 0) return flt::fail(record, code);
    if (part == ExportPart::kColourOfTwo) return KeepColour(record);
    PluginContext *context = context_of(record);
    record->errorCode = 0;
    RunSave(record);
    // The rows are the host's for this call only; the kept colour rows and
    // the alpha plane go with it.
    context->image.rowsNow = false;
    ReleaseHostImage(&context->image);
    UnloadPlugin(context->binding);
    if (record->errorCode != 0) {
        ReleaseContext(record);
        return 0;
    }
    return 1;
}

int32_t EndImport(FilterRecord *record) {
    FinishRead(record);
    if (context_of(record)) ReleaseContext(record);
    flt::release_block(&record->palette);
    flt::release_block(&record->compressionName);
    flt::release_block(&record->linkedPlanes);
    return 1;
}

int32_t EndExport(FilterRecord *record) {
    if (context_of(record)) ReleaseContext(record);
    return 1;
}

}  // namespace plug
