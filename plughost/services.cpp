#include "services.h"

#include "common/muldiv.h"
#include "common/platform_plugin.h"
#include "descriptor_store.h"

namespace plug {
namespace {

FormatRecord *g_format = nullptr;
FilterRecord *g_filter = nullptr;
uint8_t g_abort = 0;
bool g_host_cancelled = false;
ExchangeOutcome g_outcome = {false, 0};

}  // namespace

void SetCurrentPair(FormatRecord *format, FilterRecord *record) {
    g_format = format;
    g_filter = record;
}

void ClearCurrentPair() {
    SetCurrentPair(nullptr, nullptr);
}

void ForgetRecord(const FormatRecord *format) {
    if (g_format == format) ClearCurrentPair();
}

FormatRecord *CurrentFormat() {
    return g_format;
}
FilterRecord *CurrentFilter() {
    return g_filter;
}

void ClearAbort() {
    g_abort = 0;
    g_host_cancelled = false;
}

bool HostCancelled() {
    return g_abort && g_host_cancelled;
}

void ResetExchangeOutcome() {
    g_outcome = {false, 0};
}
ExchangeOutcome LastExchangeOutcome() {
    return g_outcome;
}
void NoteRefusal() {
    g_outcome.refused = true;
}
void NoteFault(uint32_t code) {
    if (g_outcome.fault == 0) g_outcome.fault = code;
}

uint8_t PI_CDECL TestAbort() {
    return g_abort;
}

void PI_CDECL ReportProgress(int32_t done, int32_t total) {
    int32_t percent = flt::MulDiv(done, 100, total);
    if (!g_filter || !g_filter->hostProgressProc) return;
    g_abort = g_filter->hostProgressProc(percent, g_filter->progressData) == 0 ? 1 : 0;
    g_host_cancelled = g_abort && g_filter->errorCode == FERR_CANCELLED;
}

int16_t PI_CDECL BufferAllocate(int32_t size, PIBufferID *bufferID) {
    return BufferAllocate64(size, bufferID);
}

int16_t PI_CDECL BufferAllocate64(int64_t size, PIBufferID *bufferID) {
    if (!bufferID) return piMemFullErr;
    // A size the address space cannot hold is refused, not cut down.
    bool fits = size >= 0 &&
                static_cast<uint64_t>(static_cast<size_t>(size)) == static_cast<uint64_t>(size);
    *bufferID = fits
                    ? static_cast<PIBufferID>(flt::platform_global_alloc(static_cast<size_t>(size)))
                    : nullptr;
    return *bufferID ? piNoErr : piMemFullErr;
}

char *PI_CDECL BufferLock(PIBufferID bufferID, uint8_t) {
    return bufferID;
}
void PI_CDECL BufferUnlock(PIBufferID) {}
void PI_CDECL BufferFree(PIBufferID bufferID) {
    flt::platform_global_free(bufferID);
}

int32_t PI_CDECL BufferSpace() {
    int64_t space = BufferSpace64();
    return space > INT32_MAX ? INT32_MAX : static_cast<int32_t>(space);
}

int64_t PI_CDECL BufferSpace64() {
    uint64_t space = flt::platform_available_virtual();
    return space > INT64_MAX ? INT64_MAX : static_cast<int64_t>(space);
}

// Buffers are allocated when asked for: there is nothing to set aside.
int16_t PI_CDECL BufferReserve(int32_t) {
    return piNoErr;
}

// A handle is a cell of the global heap holding its block's address, so that
// resizing may move the block while the handle stays valid (see the note in
// format_record.h). The cell also keeps the size the plug-in asked for: the
// global heap may round a block up (Windows reports one byte for an empty
// block), and a handle's size is what was asked for. Cell and block come
// from the global heap, fixed and zero-filled.
namespace {

struct HandleCell {
    char *block;  // first: plug-ins read the block's address through the handle
    size_t size;
};

HandleCell *CellOf(PIHandle handle) {
    return reinterpret_cast<HandleCell *>(handle);
}

}  // namespace

PIHandle PI_CDECL HandleNew(int32_t size) {
    if (size < 0) return nullptr;
    auto *cell = static_cast<HandleCell *>(flt::platform_global_alloc(sizeof(HandleCell)));
    if (!cell) return nullptr;
    cell->block = static_cast<char *>(flt::platform_global_alloc(static_cast<size_t>(size)));
    if (!cell->block) {
        flt::platform_global_free(cell);
        return nullptr;
    }
    cell->size = static_cast<size_t>(size);
    return &cell->block;
}

void PI_CDECL HandleDispose(PIHandle handle) {
    if (!handle) return;
    ForgetDescriptor(handle);
    flt::platform_global_free(*handle);
    flt::platform_global_free(handle);
}

int32_t PI_CDECL HandleGetSize(PIHandle handle) {
    if (!handle || !*handle) return 0;
    size_t size = CellOf(handle)->size;
    return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

int16_t PI_CDECL HandleSetSize(PIHandle handle, int32_t size) {
    if (!handle) return piNullHandleErr;
    if (!*handle || size < 0) return piMemFullErr;
    void *block = flt::platform_global_realloc(*handle, static_cast<size_t>(size));
    if (!block) return piMemFullErr;
    *handle = static_cast<char *>(block);
    CellOf(handle)->size = static_cast<size_t>(size);
    return piNoErr;
}

char *PI_CDECL HandleLock(PIHandle handle, uint8_t) {
    return handle ? *handle : nullptr;
}
void PI_CDECL HandleUnlock(PIHandle) {}
void PI_CDECL HandleRecoverSpace(int32_t) {}

}  // namespace plug
