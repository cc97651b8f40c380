/* The file-format plug-in interface that plughost hosts: the entry function,
 * the selectors, the parameter record and the service suites.
 *
 * Compiles as C and as C++ so that plug-ins written in either can include it.
 * On a 32-bit target every field sits at the byte offset plug-ins rely on
 * (checked below, 1240 bytes in all); on a 64-bit target the same declarations
 * give the natural layout with 8-byte pointers, which a plug-in built for that
 * target shares with the host.
 *
 * Conventions of this host:
 * - every procedure uses the C calling convention;
 * - dataFork is the file the host opened: a file descriptor on POSIX, to be
 *   read (import) or written (export) by the plug-in from the current offset;
 * - rows exchanged through advanceState are interleaved pixels, rowBytes
 *   apart; Bitmap rows have one bit per pixel, first pixel in the high bit,
 *   0 black and 1 white; RGB rows are red, green, blue;
 * - a handle is the address of a cell holding the address of its block (the
 *   block may move when it is resized; the cell does not). Lock returns the
 *   block's address;
 * - the record handed to a plug-in is followed by a zero-filled tail, so
 *   that a plug-in built for a later version of the interface reads the
 *   fields it knows past the end (and those in `reserved`) as "not
 *   supported"; `sSPBasic` is the one such field this host fills. */
#ifndef PLUGHOST_FORMAT_RECORD_H
#define PLUGHOST_FORMAT_RECORD_H

#include <stddef.h>
#include <stdint.h>

#if defined(__i386__) || defined(_M_IX86)
#define PI_CDECL __attribute__((cdecl))
#else
#define PI_CDECL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Selectors passed to the plug-in's entry function. */
enum {
    formatSelectorAbout = 0,
    formatSelectorReadPrepare = 1,
    formatSelectorReadStart = 2,
    formatSelectorReadContinue = 3,
    formatSelectorReadFinish = 4,
    formatSelectorOptionsPrepare = 5,
    formatSelectorOptionsStart = 6,
    formatSelectorOptionsContinue = 7,
    formatSelectorOptionsFinish = 8,
    formatSelectorEstimatePrepare = 9,
    formatSelectorEstimateStart = 10,
    formatSelectorEstimateContinue = 11,
    formatSelectorEstimateFinish = 12,
    formatSelectorWritePrepare = 13,
    formatSelectorWriteStart = 14,
    formatSelectorWriteContinue = 15,
    formatSelectorWriteFinish = 16,
    formatSelectorFilterFile = 17
};

/* Image modes (imageMode) and the hostModes bit of each. */
enum {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeLabColor = 9
};
#define PI_HOST_MODES 0x021F

/* Result words: 0 is success, anything else an error number. */
enum {
    piNoErr = 0,
    piUserCanceledErr = -128,
    piMemFullErr = -108,
    piNullHandleErr = -111,
    formatBadParameters = -30500,
    formatCannotRead = -30501
};

typedef char **PIHandle;
typedef char *PIBufferID;
typedef int32_t PIFixed; /* 16.16 fixed point */

typedef uint8_t(PI_CDECL *PITestAbortProc)(void);
typedef void(PI_CDECL *PIProgressProc)(int32_t done, int32_t total);
typedef PIHandle(PI_CDECL *PINewHandleProc)(int32_t size);
typedef void(PI_CDECL *PIDisposeHandleProc)(PIHandle handle);
typedef int32_t(PI_CDECL *PIGetHandleSizeProc)(PIHandle handle);
typedef int16_t(PI_CDECL *PISetHandleSizeProc)(PIHandle handle, int32_t size);
typedef char *(PI_CDECL *PILockHandleProc)(PIHandle handle, uint8_t moveHigh);
typedef void(PI_CDECL *PIUnlockHandleProc)(PIHandle handle);
typedef void(PI_CDECL *PIRecoverSpaceProc)(int32_t size);
typedef int16_t(PI_CDECL *PIAdvanceStateProc)(void);

typedef int16_t(PI_CDECL *PIAllocateBufferProc)(int32_t size, PIBufferID *bufferID);
typedef char *(PI_CDECL *PILockBufferProc)(PIBufferID bufferID, uint8_t moveHigh);
typedef void(PI_CDECL *PIUnlockBufferProc)(PIBufferID bufferID);
typedef void(PI_CDECL *PIFreeBufferProc)(PIBufferID bufferID);
typedef int32_t(PI_CDECL *PIBufferSpaceProc)(void);

typedef int16_t(PI_CDECL *PICountResourcesProc)(uint32_t type);
typedef PIHandle(PI_CDECL *PIGetResourceProc)(uint32_t type, int16_t index);
typedef void(PI_CDECL *PIDeleteResourceProc)(uint32_t type, int16_t index);
typedef int16_t(PI_CDECL *PIAddResourceProc)(uint32_t type, PIHandle data);

typedef struct BufferProcs {
    int16_t bufferProcsVersion; /* 2 */
    int16_t numBufferProcs;     /* 5 */
    PIAllocateBufferProc allocateProc;
    PILockBufferProc lockProc;
    PIUnlockBufferProc unlockProc;
    PIFreeBufferProc freeProc;
    PIBufferSpaceProc spaceProc;
} BufferProcs;

typedef struct ResourceProcs {
    int16_t resourceProcsVersion; /* 3 */
    int16_t numResourceProcs;     /* 4 */
    PICountResourcesProc countProc;
    PIGetResourceProc getProc;
    PIDeleteResourceProc deleteProc;
    PIAddResourceProc addProc;
} ResourceProcs;

typedef struct HandleProcs {
    int16_t handleProcsVersion; /* 1 */
    int16_t numHandleProcs;     /* 7 */
    PINewHandleProc newProc;
    PIDisposeHandleProc disposeProc;
    PIGetHandleSizeProc getSizeProc;
    PISetHandleSizeProc setSizeProc;
    PILockHandleProc lockProc;
    PIUnlockHandleProc unlockProc;
    PIRecoverSpaceProc recoverSpaceProc;
} HandleProcs;

/* The platform block: the window that was active when the record was built. */
typedef struct PlatformData {
    intptr_t hwnd;
} PlatformData;

typedef struct PIPoint {
    int16_t v;
    int16_t h;
} PIPoint;

typedef struct PIRect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
} PIRect;

/* The basic suite: suites by name and blocks of memory. Its procedures return
 * 0 or one of the codes below (memory shortage is piMemFullErr). */
#define PI_BASIC_SUITE_NAME "SP Basic Suite"
#define PI_BASIC_SUITE_VERSION 4
enum {
    spSuiteNotFoundErr = 0x53214664, /* 'S!Fd' */
    spBadParameterErr = 0x5061726D,  /* 'Parm' */
    spUnimplementedErr = 0x21494D50  /* '!IMP' */
};

typedef int32_t(PI_CDECL *SPAcquireSuiteProc)(const char *name, int32_t version,
                                              const void **suite);
typedef int32_t(PI_CDECL *SPReleaseSuiteProc)(const char *name, int32_t version);
typedef int32_t(PI_CDECL *SPIsEqualProc)(const char *token1, const char *token2);
typedef int32_t(PI_CDECL *SPAllocateBlockProc)(size_t size, void **block);
typedef int32_t(PI_CDECL *SPFreeBlockProc)(void *block);
typedef int32_t(PI_CDECL *SPReallocateBlockProc)(void *block, size_t newSize, void **newBlock);
typedef int32_t(PI_CDECL *SPUndefinedProc)(void);

typedef struct SPBasicSuite {
    SPAcquireSuiteProc AcquireSuite;
    SPReleaseSuiteProc ReleaseSuite;
    SPIsEqualProc IsEqual;
    SPAllocateBlockProc AllocateBlock;
    SPFreeBlockProc FreeBlock;
    SPReallocateBlockProc ReallocateBlock;
    SPUndefinedProc Undefined;
} SPBasicSuite;

typedef struct FormatRecord {
    int32_t serialNumber;
    PITestAbortProc abortProc;
    PIProgressProc progressProc;
    int32_t maxData;
    int32_t minDataBytes;
    int32_t maxDataBytes;
    int32_t minRsrcBytes;
    int32_t maxRsrcBytes;
    intptr_t dataFork;
    intptr_t rsrcFork;
    void *fileSpec;
    int16_t imageMode;
    PIPoint imageSize;
    int16_t depth;
    int16_t planes;
    int16_t reserved54;
    PIFixed imageHRes;
    PIFixed imageVRes;
    uint8_t redLUT[256];
    uint8_t greenLUT[256];
    uint8_t blueLUT[256];
    void *data;
    PIRect theRect;
    int16_t loPlane;
    int16_t hiPlane;
    int16_t colBytes;
    int16_t reserved850;
    int32_t rowBytes;
    int32_t planeBytes;
    int16_t planeMap[16];
    uint8_t canTranspose;
    uint8_t needTranspose;
    int16_t reserved894;
    uint32_t hostSig;
    void *hostProc;
    int16_t hostModes;
    int16_t reserved906;
    PIHandle revertInfo;
    PINewHandleProc hostNewHdl;
    PIDisposeHandleProc hostDisposeHdl;
    PIHandle imageRsrcData;
    int32_t imageRsrcSize;
    uint8_t monitor[40];
    PlatformData *platformData;
    BufferProcs *bufferProcs;
    ResourceProcs *resourceProcs;
    void *processEvent;
    void *displayPixels;
    HandleProcs *handleProcs;
    uint32_t fileType;
    void *colorServices;
    PIAdvanceStateProc advanceState;
    uint8_t reserved1004[28];
    SPBasicSuite *sSPBasic;
    uint8_t reserved[204];
} FormatRecord;

/* The plug-in's entry function: selector, record, the plug-in's own data word
 * (0 when the record is built; only the plug-in writes it) and the result. */
typedef void(PI_CDECL *PluginEntryProc)(int16_t selector, FormatRecord *record, intptr_t *data,
                                        int16_t *result);

#if defined(__i386__) || defined(_M_IX86)
#ifdef __cplusplus
#define PI_STATIC_ASSERT static_assert
#else
#define PI_STATIC_ASSERT _Static_assert
#endif
#define PI_AT(field, offset) \
    PI_STATIC_ASSERT(offsetof(FormatRecord, field) == (offset), #field " offset")
PI_AT(abortProc, 4);
PI_AT(progressProc, 8);
PI_AT(maxData, 12);
PI_AT(maxRsrcBytes, 28);
PI_AT(dataFork, 32);
PI_AT(rsrcFork, 36);
PI_AT(fileSpec, 40);
PI_AT(imageMode, 44);
PI_AT(imageSize.v, 46);
PI_AT(imageSize.h, 48);
PI_AT(depth, 50);
PI_AT(planes, 52);
PI_AT(imageHRes, 56);
PI_AT(imageVRes, 60);
PI_AT(redLUT, 64);
PI_AT(greenLUT, 320);
PI_AT(blueLUT, 576);
PI_AT(data, 832);
PI_AT(theRect, 836);
PI_AT(loPlane, 844);
PI_AT(hiPlane, 846);
PI_AT(colBytes, 848);
PI_AT(rowBytes, 852);
PI_AT(planeBytes, 856);
PI_AT(planeMap, 860);
PI_AT(canTranspose, 892);
PI_AT(needTranspose, 893);
PI_AT(hostSig, 896);
PI_AT(hostProc, 900);
PI_AT(hostModes, 904);
PI_AT(revertInfo, 908);
PI_AT(hostNewHdl, 912);
PI_AT(hostDisposeHdl, 916);
PI_AT(imageRsrcData, 920);
PI_AT(imageRsrcSize, 924);
PI_AT(monitor, 928);
PI_AT(platformData, 968);
PI_AT(bufferProcs, 972);
PI_AT(resourceProcs, 976);
PI_AT(processEvent, 980);
PI_AT(displayPixels, 984);
PI_AT(handleProcs, 988);
PI_AT(fileType, 992);
PI_AT(colorServices, 996);
PI_AT(advanceState, 1000);
PI_AT(reserved1004, 1004);
PI_AT(sSPBasic, 1032);
PI_AT(reserved, 1036);
PI_STATIC_ASSERT(sizeof(FormatRecord) == 1240, "FormatRecord size");
PI_STATIC_ASSERT(sizeof(BufferProcs) == 24, "BufferProcs size");
PI_STATIC_ASSERT(sizeof(ResourceProcs) == 20, "ResourceProcs size");
PI_STATIC_ASSERT(sizeof(HandleProcs) == 32, "HandleProcs size");
PI_STATIC_ASSERT(sizeof(PlatformData) == 4, "PlatformData size");
PI_STATIC_ASSERT(sizeof(SPBasicSuite) == 28, "SPBasicSuite size");
#undef PI_AT
#endif

#ifdef __cplusplus
}
#endif

#endif /* PLUGHOST_FORMAT_RECORD_H */
