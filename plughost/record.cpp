#include "record.h"

#include <cstring>

#include "buffer_layout.h"
#include "channel_ports.h"
#include "common/checked.h"
#include "common/heap.h"
#include "common/platform.h"
#include "common/record_blocks.h"
#include "coordinates.h"
#include "descriptor_store.h"
#include "resource_list.h"
#include "services.h"

namespace plug {
namespace {

constexpr char kCompressionName[] = "Uncompressed";
// Plug-ins built for versions of the interface newer than this record may
// read or write fields past its end; a zero-filled tail gives them "not
// supported" there instead of memory that is not theirs.
constexpr size_t kRecordBlockSize = sizeof(FormatRecord) + 1024;
// 72 pixels per inch, 16.16: the resolution of an image until the plug-in
// (read) or the host (write) states its own.
constexpr PIFixed kDefaultResolution = 72 << 16;
constexpr PIFixed kOnePerInch = 1 << 16;

void FillBasicSuite(SPBasicSuite *basic) {
    basic->AcquireSuite = BasicAcquireSuite;
    basic->ReleaseSuite = BasicReleaseSuite;
    basic->IsEqual = BasicIsEqual;
    basic->AllocateBlock = BasicAllocateBlock;
    basic->FreeBlock = BasicFreeBlock;
    basic->ReallocateBlock = BasicReallocateBlock;
    basic->Undefined = BasicUndefined;
}

// The descriptor procedures from the first selector on (playInfo is set by
// the caller); the stored settings come with each save.
void FillDescriptorParameters(FormatRecord *format, RecordTables *t) {
    PIDescriptorParameters *p = &t->descriptorParameters;
    FillReadDescriptorProcs(&t->readDescriptor);
    FillWriteDescriptorProcs(&t->writeDescriptor);
    p->descriptorParametersVersion = 0;
    p->recordInfo = plugInDialogOptional;
    p->descriptor = nullptr;
    p->readDescriptorProcs = &t->readDescriptor;
    p->writeDescriptorProcs = &t->writeDescriptor;
    format->descriptorParameters = p;
}

void FillTables(FormatRecord *format, RecordTables *t) {
    BufferProcs *buffer = &t->buffer;
    HandleProcs *handle = &t->handle;
    ResourceProcs *resource = &t->resource;
    buffer->bufferProcsVersion = 2;
    buffer->numBufferProcs = 8;
    buffer->allocateProc = BufferAllocate;
    buffer->lockProc = BufferLock;
    buffer->unlockProc = BufferUnlock;
    buffer->freeProc = BufferFree;
    buffer->spaceProc = BufferSpace;
    buffer->reserveProc = BufferReserve;
    buffer->allocateProc64 = BufferAllocate64;
    buffer->spaceProc64 = BufferSpace64;
    handle->handleProcsVersion = 1;
    handle->numHandleProcs = 8;
    handle->newProc = HandleNew;
    handle->disposeProc = HandleDispose;
    handle->getSizeProc = HandleGetSize;
    handle->setSizeProc = HandleSetSize;
    handle->lockProc = HandleLock;
    handle->unlockProc = HandleUnlock;
    handle->recoverSpaceProc = HandleRecoverSpace;
    handle->disposeRegularHandleProc = HandleDispose;
    resource->resourceProcsVersion = 3;
    resource->numResourceProcs = 4;
    resource->countProc = ResourceCount;
    resource->getProc = ResourceGet;
    resource->deleteProc = ResourceDelete;
    resource->addProc = ResourceAdd;
    FillChannelPortProcs(&t->channelPorts);
    t->property.propertyProcsVersion = 1;
    t->property.numPropertyProcs = 2;
    t->property.getPropertyProc = PropertyGet;
    t->property.setPropertyProc = PropertySet;
    FillBasicSuite(&t->basic);
    FillDescriptorParameters(format, t);
    format->channelPortProcs = &t->channelPorts;
    format->bufferProcs = buffer;
    format->handleProcs = handle;
    format->resourceProcs = resource;
    format->propertyProcs = &t->property;
    format->sSPBasic = &t->basic;
    format->platformData = &t->platform;
}

// The screen's whole pixels per millimetre, in pixels per kilometre.
void ScreenResolution(int32_t *x, int32_t *y) {
    flt::ScreenMetrics m{};
    bool ok = flt::platform_screen_metrics(&m) && m.horzSizeMm > 0 && m.vertSizeMm > 0;
    // No screen to ask: 72 pixels per inch.
    *x = ok ? m.horzRes / m.horzSizeMm * 1000000 : 2834645;
    *y = ok ? m.vertRes / m.vertSizeMm * 1000000 : 2834645;
}

// `mode` is the plug-in's mode with 16-bit modes taken as their 8-bit ones.
uint32_t PublishPalette(FilterRecord *record, const FormatRecord *format, int16_t mode) {
    int count = 0;
    if (mode == plugInModeBitmap) count = 2;
    if (mode == plugInModeGrayScale || mode == plugInModeIndexedColor) count = 256;
    // Only Lab is marked; 0, as on a fresh record, for every other mode, so
    // that the mark of an earlier Lab image does not outlive it.
    record->colorSpace = mode == plugInModeLabColor ? kColorSpaceLab : 0;
    // "No palette" says so in the pointer and the count: a palette or count
    // left from an earlier image would be taken for this one's.
    uint8_t *palette = nullptr;
    if (count > 0) {
        palette = static_cast<uint8_t *>(flt::heap_alloc(static_cast<size_t>(count) * 3));
        if (!palette) return FERR_NO_MEMORY;
    }
    for (int i = 0; i < count; ++i) {
        uint8_t *e = palette + 3 * i;
        if (mode == plugInModeIndexedColor) {
            e[0] = format->blueLUT[i];
            e[1] = format->greenLUT[i];
            e[2] = format->redLUT[i];
        } else {
            uint8_t v = count == 2 ? static_cast<uint8_t>(i * 255) : static_cast<uint8_t>(i);
            e[0] = e[1] = e[2] = v;
        }
    }
    flt::replace_block(&record->palette, palette);
    record->paletteCount = count;
    return 0;
}

void FillColorTables(const FilterRecord *record, FormatRecord *format) {
    if (!record->palette) return;
    int count = record->paletteCount < 256 ? record->paletteCount : 256;
    for (int i = 0; i < count; ++i) {
        const uint8_t *e = record->palette + 3 * i;
        format->redLUT[i] = e[2];
        format->greenLUT[i] = e[1];
        format->blueLUT[i] = e[0];
    }
}

}  // namespace

uint32_t BuildFormatRecord(const FilterRecord *record, PluginBinding *binding, ContextMode mode) {
    ClearAbort();
    auto *format = static_cast<FormatRecord *>(flt::heap_alloc_zero(kRecordBlockSize));
    auto *tables = static_cast<RecordTables *>(flt::heap_alloc_zero(sizeof(RecordTables)));
    if (!format || !tables) {
        flt::heap_free(format);
        flt::heap_free(tables);
        return FERR_NO_MEMORY;
    }
    format->serialNumber = 0;
    format->abortProc = TestAbort;
    format->progressProc = ReportProgress;
    format->maxData = kMaxData;
    format->hostNewHdl = HandleNew;
    format->hostDisposeHdl = HandleDispose;
    format->advanceState = mode == kReadMode ? ReadExchange : WriteExchange;
    format->hostModes = PI_HOST_MODES;
    format->dataFork = static_cast<intptr_t>(record->fileHandle);
    // Plug-in plane p is host plane p until the plug-in says otherwise.
    for (int16_t p = 0; p < 16; ++p) format->planeMap[p] = p;
    format->imageHRes = format->imageVRes = kDefaultResolution;
    // Sizes and rectangles also in 32 bits, for plug-ins that set
    // PluginUsing32BitCoordinates (coordinates.h).
    format->HostSupports32BitCoordinates = 1;
    // hostSig, canTranspose, needTranspose, monitor, revertInfo and data stay
    // 0: no signature of a known host, no transposing, no monitor
    // description, no earlier settings, no chunk.
    tables->platform.hwnd = reinterpret_cast<intptr_t>(flt::platform_active_window());
    // Settings without a dialog: the plug-in's own dialog only when the host
    // gave a window to parent it (filterhost and the tests give none).
    tables->descriptorParameters.playInfo =
        record->parentWindow ? plugInDialogDisplay : plugInDialogDontDisplay;
    FillTables(format, tables);
    binding->record = format;
    binding->tables = tables;
    return 0;
}

void FreeFormatRecord(PluginBinding *binding) {
    FormatRecord *format = binding->record;
    if (!format) return;
    ForgetRecord(format);
    // A descriptor left in the record (played and not taken, or handed back)
    // is the host's to dispose of; whatever else the plug-in left there is not.
    DisposeDescriptor(binding->tables->descriptorParameters.descriptor);
    ReleaseDescriptorTokens(format);
    // The tables are freed from the binding, never through the record's
    // pointers, which the plug-in may have overwritten.
    flt::heap_free(binding->tables);
    flt::heap_free(format);
    binding->record = nullptr;
    binding->tables = nullptr;
}

uint32_t PublishImageHeader(FilterRecord *record, const FormatRecord *format,
                            const ImageChoice &choice) {
    // An image without pixels is no image: the host would be told to take a
    // picture of no (or a negative) size.
    int32_t width, height;
    ImageSizeOf(format, &width, &height);
    if (width <= 0 || height <= 0) return FERR_PLUGIN;
    const PixelFormat &pixels = choice.pixels;
    // The host takes each row in one call whose byte count is 32-bit.
    if (flt::row_bytes(width, pixels.hostBits) > INT32_MAX) return FERR_UNSUPPORTED;
    if (uint32_t code = PublishImageSet(record, choice)) return code;
    record->compressionIndex = 0;
    record->width = width;
    record->height = height;
    auto *name = static_cast<char *>(flt::heap_alloc(sizeof kCompressionName));
    if (!name) return FERR_NO_MEMORY;
    std::memcpy(name, kCompressionName, sizeof kCompressionName);
    flt::replace_block(&record->compressionName, name);
    // The host gets rows of its own depths (16-bit samples become 8-bit, extra
    // planes stay behind); the file's own depth is kept for information.
    record->bitsPerPixel = pixels.hostBits;
    record->fileBitsPerPixel = format->depth * format->planes;
    if (uint32_t code = PublishPalette(record, format, pixels.mode)) return code;
    // Less than one pixel per inch is no image's resolution: some plug-ins
    // write 72 as a plain integer into the 16.16 field. Such a value counts
    // as none stated, which takes the screen's.
    const bool stated = format->imageHRes >= kOnePerInch && format->imageVRes >= kOnePerInch;
    record->xResolution = stated ? ResolutionFromFixed(format->imageHRes) : 0;
    record->yResolution = stated ? ResolutionFromFixed(format->imageVRes) : 0;
    if (record->xResolution == 0 || record->yResolution == 0)
        ScreenResolution(&record->xResolution, &record->yResolution);
    return 0;
}

uint32_t DescribeHostImage(const FilterRecord *record, FormatRecord *format) {
    // Sizes beyond 16 bits reach plug-ins that use the 32-bit fields; the
    // save phases refuse the others (SizeVisibleToPlugin).
    if (record->width < 0 || record->height < 0) return FERR_BAD_REQUEST;
    int16_t mode, depth, planes;
    bool tables = false;
    switch (record->bitsPerPixel) {
        case 1:
            mode = plugInModeBitmap, depth = 1, planes = 1;
            break;
        case 4:
            // The interface has no 4-bit samples: the indexes go out as bytes.
            mode = plugInModeIndexedColor, depth = 8, planes = 1, tables = true;
            break;
        case 8:
            tables = !IsGrayRamp(record);
            mode = tables ? plugInModeIndexedColor : plugInModeGrayScale, depth = 8, planes = 1;
            break;
        case 24:
            mode = record->colorSpace == kColorSpaceLab ? plugInModeLabColor : plugInModeRGBColor;
            depth = 8, planes = 3;
            break;
        case 32:
            mode = plugInModeCMYKColor, depth = 8, planes = 4;
            break;
        default:
            return FERR_BAD_REQUEST;
    }
    format->dataFork = static_cast<intptr_t>(record->fileHandle);
    SetHostImageSize(format, record->width, record->height);
    // A host image without a resolution keeps the record's 72 per inch rather
    // than telling the plug-in 0 (which some write into the file as is).
    PIFixed h = FixedFromResolution(record->xResolution);
    PIFixed v = FixedFromResolution(record->yResolution);
    format->imageHRes = h > 0 ? h : kDefaultResolution;
    format->imageVRes = v > 0 ? v : kDefaultResolution;
    format->imageMode = mode;
    format->depth = depth;
    format->planes = planes;
    if (tables) FillColorTables(record, format);
    return 0;
}

bool IsGrayRamp(const FilterRecord *record) {
    int n = static_cast<int16_t>(record->paletteCount & 0xFFFF);
    // Without a palette there is nothing that could differ from a ramp.
    if (n <= 0 || !record->palette) return true;
    for (int i = 0; i < n; ++i) {
        const uint8_t *e = record->palette + 3 * i;
        if (e[0] != i || e[1] != i || e[2] != i) return false;
    }
    return true;
}

uint32_t MapPluginResult(int16_t result) {
    if (result == formatCannotRead) return FERR_CANNOT_READ;
    if (result == formatBadParameters) return FERR_BAD_REQUEST;
    return FERR_PLUGIN;
}

int32_t ResolutionFromFixed(PIFixed perInch) {
    return static_cast<int32_t>(static_cast<int64_t>(perInch) * 10000000 / (254 * 65536));
}

PIFixed FixedFromResolution(int32_t perKilometre) {
    return static_cast<PIFixed>(static_cast<int64_t>(perKilometre) * 254 * 65536 / 10000000);
}

}  // namespace plug
