// The procedures plughost offers to plug-ins (abort, progress, buffer,
// handle, property and basic suites, the two advanceState exchanges) and the
// module-wide state they work on: the current record pair and the abort flag.
#pragma once

#include <cstdint>

#include "common/filter.h"
#include "format_record.h"

namespace plug {

// The pair the services act on; set before the plug-in calls of an opcode.
void SetCurrentPair(FormatRecord *format, FilterRecord *record);
void ClearCurrentPair();
// Drops the pair if it holds `format` (the record is about to be freed).
void ForgetRecord(const FormatRecord *format);

void ClearAbort();
// Whether the abort flag is up because the host refused a progress report
// after storing FERR_CANCELLED: the user cancelled.
bool HostCancelled();

// What the exchanges saw go wrong during the running opcode; reset before
// the plug-in calls that may exchange rows.
struct ExchangeOutcome {
    bool refused;    // the host refused a row call
    uint32_t fault;  // FERR_* code for a request plughost declined, or 0
};
void ResetExchangeOutcome();
ExchangeOutcome LastExchangeOutcome();

uint8_t PI_CDECL TestAbort();
void PI_CDECL ReportProgress(int32_t done, int32_t total);

int16_t PI_CDECL BufferAllocate(int32_t size, PIBufferID *bufferID);
char *PI_CDECL BufferLock(PIBufferID bufferID, uint8_t moveHigh);
void PI_CDECL BufferUnlock(PIBufferID bufferID);
void PI_CDECL BufferFree(PIBufferID bufferID);
int32_t PI_CDECL BufferSpace();
int16_t PI_CDECL BufferReserve(int32_t size);
int16_t PI_CDECL BufferAllocate64(int64_t size, PIBufferID *bufferID);
int64_t PI_CDECL BufferSpace64();

// Every property is undefined (errPlugInPropertyUndefined).
int16_t PI_CDECL PropertyGet(PIType signature, PIType key, int32_t index, intptr_t *simple,
                             PIHandle *complex);
int16_t PI_CDECL PropertySet(PIType signature, PIType key, int32_t index, intptr_t simple,
                             PIHandle complex);

PIHandle PI_CDECL HandleNew(int32_t size);
void PI_CDECL HandleDispose(PIHandle handle);
int32_t PI_CDECL HandleGetSize(PIHandle handle);
int16_t PI_CDECL HandleSetSize(PIHandle handle, int32_t size);
char *PI_CDECL HandleLock(PIHandle handle, uint8_t moveHigh);
void PI_CDECL HandleUnlock(PIHandle handle);
void PI_CDECL HandleRecoverSpace(int32_t size);

// The basic suite (sSPBasic): the suites of suites/registry.h by name,
// blocks from the module heap.
int32_t PI_CDECL BasicAcquireSuite(const char *name, int32_t version, const void **suite);
int32_t PI_CDECL BasicReleaseSuite(const char *name, int32_t version);
int32_t PI_CDECL BasicIsEqual(const char *token1, const char *token2);
int32_t PI_CDECL BasicAllocateBlock(size_t size, void **block);
int32_t PI_CDECL BasicFreeBlock(void *block);
int32_t PI_CDECL BasicReallocateBlock(void *block, size_t newSize, void **newBlock);
int32_t PI_CDECL BasicUndefined();

// advanceState of read contexts (rows to the host's dataProc) and of write
// contexts (rows from the host's getRowsProc).
int16_t PI_CDECL ReadExchange();
int16_t PI_CDECL WriteExchange();

// Used by the exchanges.
FormatRecord *CurrentFormat();
FilterRecord *CurrentFilter();
void NoteRefusal();
void NoteFault(uint32_t code);

}  // namespace plug
