/* The file-format plug-in interface that plughost hosts: the entry function,
 * the selectors, the parameter record, the structures it points to and the
 * service suites.
 *
 * Compiles as C and as C++ so that plug-ins written in either can include it.
 *
 * Layout. The parameter record (FormatRecord) is packed to 4 bytes on every
 * target, as plug-ins built from the published headers for Windows see it on
 * both architectures: 1308 bytes with 4-byte pointers, 1472 with 8-byte
 * pointers (many pointers then sit at offsets that are 4 mod 8). Linux takes
 * the same packing, so that one declaration gives one layout per pointer
 * size; plug-ins built for this host on Linux must include this header (or
 * pack to 4 themselves). Every other structure has its natural alignment.
 * The offsets are checked below for both pointer sizes.
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
 *   supported". */
#ifndef PLUGHOST_FORMAT_RECORD_H
#define PLUGHOST_FORMAT_RECORD_H

#include <stddef.h>
#include <stdint.h>

#if defined(_MSC_VER) && defined(_M_IX86)
#define PI_CDECL __cdecl
#elif defined(__i386__)
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
    formatSelectorFilterFile = 17,
    /* The layered read: layerData holds the 0-based layer index. */
    formatSelectorReadLayerStart = 35,
    formatSelectorReadLayerContinue = 36,
    formatSelectorReadLayerFinish = 37
};

/* Image modes (imageMode) and the hostModes bit of each. */
enum {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeLabColor = 9,
    plugInModeGray16 = 10,
    plugInModeRGB48 = 11,
    plugInModeLab48 = 12,
    plugInModeCMYK64 = 13
};
#define PI_HOST_MODES 0x021F

/* Result words: 0 is success, anything else an error number. */
enum {
    piNoErr = 0,
    piReadErr = -19,
    piWritErr = -20,
    piParamErr = -50,
    piUserCanceledErr = -128,
    piMemFullErr = -108,
    piNilHandleErr = -109,
    piNullHandleErr = -111,
    formatBadParameters = -30500,
    formatCannotRead = -30501,
    errPlugInHostInsufficient = -30900,
    errPlugInPropertyUndefined = -30901,
    errUnknownPort = -30910,
    errUnsupportedRowBits = -30911,
    errUnsupportedColBits = -30912,
    errUnsupportedBitOffset = -30913,
    errUnsupportedDepth = -30914,
    errUnsupportedDepthConversion = -30915
};

typedef char **PIHandle;
typedef char *PIBufferID;
typedef int32_t PIFixed;   /* 16.16 fixed point */
typedef uint8_t PIBoolean; /* one byte */
typedef uint32_t PIType;   /* four-character code, 'abcd' = 0x61626364 */
typedef PIHandle PIDescriptorHandle;
typedef struct PIChannelPortDesc *PIChannelPort;
typedef struct PIOpaqueReadDescriptor *PIReadDescriptor;
typedef struct PIOpaqueWriteDescriptor *PIWriteDescriptor;

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

typedef struct VPoint {
    int32_t v;
    int32_t h;
} VPoint;

typedef struct VRect {
    int32_t top;
    int32_t left;
    int32_t bottom;
    int32_t right;
} VRect;

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
typedef int16_t(PI_CDECL *PIReserveBufferSpaceProc)(int32_t size);
typedef int16_t(PI_CDECL *PIAllocateBuffer64Proc)(int64_t size, PIBufferID *bufferID);
typedef int64_t(PI_CDECL *PIBufferSpace64Proc)(void);

typedef int16_t(PI_CDECL *PICountResourcesProc)(uint32_t type);
typedef PIHandle(PI_CDECL *PIGetResourceProc)(uint32_t type, int16_t index);
typedef void(PI_CDECL *PIDeleteResourceProc)(uint32_t type, int16_t index);
typedef int16_t(PI_CDECL *PIAddResourceProc)(uint32_t type, PIHandle data);

typedef int16_t(PI_CDECL *PIGetPropertyProc)(PIType signature, PIType key, int32_t index,
                                             intptr_t *simpleProperty, PIHandle *complexProperty);
typedef int16_t(PI_CDECL *PISetPropertyProc)(PIType signature, PIType key, int32_t index,
                                             intptr_t simpleProperty, PIHandle complexProperty);

typedef struct BufferProcs {
    int16_t bufferProcsVersion; /* 2 */
    int16_t numBufferProcs;     /* 5, or 8 with the 64-bit procedures */
    PIAllocateBufferProc allocateProc;
    PILockBufferProc lockProc;
    PIUnlockBufferProc unlockProc;
    PIFreeBufferProc freeProc;
    PIBufferSpaceProc spaceProc;
    PIReserveBufferSpaceProc reserveProc;
    PIAllocateBuffer64Proc allocateProc64;
    PIBufferSpace64Proc spaceProc64;
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
    int16_t numHandleProcs;     /* 7, or 8 with disposeRegularHandleProc */
    PINewHandleProc newProc;
    PIDisposeHandleProc disposeProc;
    PIGetHandleSizeProc getSizeProc;
    PISetHandleSizeProc setSizeProc;
    PILockHandleProc lockProc;
    PIUnlockHandleProc unlockProc;
    PIRecoverSpaceProc recoverSpaceProc;
    PIDisposeHandleProc disposeRegularHandleProc;
} HandleProcs;

typedef struct PropertyProcs {
    int16_t propertyProcsVersion; /* 1 */
    int16_t numPropertyProcs;     /* 2 */
    PIGetPropertyProc getPropertyProc;
    PISetPropertyProc setPropertyProc;
} PropertyProcs;

/* Resampling services; this host offers none (the record's pointer is 0). */
typedef struct ImageServicesProcs {
    int16_t imageServicesProcsVersion;
    int16_t numImageServicesProcs;
    void *interpolate1DProc;
    void *interpolate2DProc;
    void *interpolate1DMultiProc;
    void *interpolate2DMultiProc;
    void *interpolate1DMulti32Proc;
    void *interpolate2DMulti32Proc;
} ImageServicesProcs;

/* A block of pixel memory: bit address of sample (x, y) is
 * y * rowBits + x * colBits + bitOffset from data. */
typedef struct PixelMemoryDesc {
    void *data;
    int32_t rowBits;
    int32_t colBits;
    int32_t bitOffset;
    int32_t depth;
} PixelMemoryDesc;

typedef struct PSScaling {
    VRect sourceRect;
    VRect destinationRect;
} PSScaling;

typedef int16_t(PI_CDECL *PIReadPixelsProc)(PIChannelPort port, const PSScaling *scaling,
                                            const VRect *writeRect,
                                            const PixelMemoryDesc *destination, VRect *wroteRect);
typedef int16_t(PI_CDECL *PIWriteBasePixelsProc)(PIChannelPort port, const VRect *writeRect,
                                                 const PixelMemoryDesc *source);
typedef int16_t(PI_CDECL *PIReadPortForWritePortProc)(PIChannelPort *readPort,
                                                      PIChannelPort writePort);

typedef struct ChannelPortProcs {
    int16_t channelPortProcsVersion; /* 1 */
    int16_t numChannelPortProcs;     /* 3 */
    PIReadPixelsProc readPixelsProc;
    PIWriteBasePixelsProc writeBasePixelsProc;
    PIReadPortForWritePortProc readPortForWritePortProc;
} ChannelPortProcs;

/* The platform block: the window that was active when the record was built. */
typedef struct PlatformData {
    intptr_t hwnd;
} PlatformData;

/* Channel types of ReadChannelDesc.channelType. */
enum {
    ctUnspecified = 0,
    ctRed = 1,
    ctGreen = 2,
    ctBlue = 3,
    ctTransparency = 16,
    ctLayerMask = 17
};

typedef struct ReadChannelDesc {
    int32_t minVersion;
    int32_t maxVersion;
    struct ReadChannelDesc *next;
    PIChannelPort port;
    VRect bounds;
    int32_t depth;
    VPoint tileSize;
    VPoint tileOrigin;
    PIBoolean target;
    PIBoolean shown;
    int16_t channelType;
    void *contextInfo;
    const char *name;
    PIChannelPort writePort;
    uint32_t alphaID;
    const uint16_t *unicodeName;
    PIBoolean isEnabled;
    VRect limitBounds;
} ReadChannelDesc;

typedef struct ReadLayerDesc {
    int32_t minVersion;
    int32_t maxVersion;
    struct ReadLayerDesc *next;
    ReadChannelDesc *compositeChannelsList;
    ReadChannelDesc *transparency;
    ReadChannelDesc *layerMask;
    uint32_t sheetID;
    const char *name;
    PIBoolean isPixelBased;
    const uint16_t *unicodeName;
    PIBoolean isVisible;
    PIBoolean isAdjustor;
    PIBoolean isContentGenerator;
    PIBoolean isRendered;
    uint8_t opacity;
    uint8_t fillOpacity;
    PIType blendMode;
    ReadChannelDesc *vectorMask;
    ReadChannelDesc *smartFilterMask;
} ReadLayerDesc;

/* The host's document as channel ports see it (the record's documentInfo). */
typedef struct ReadImageDocumentDesc {
    int32_t minVersion;
    int32_t maxVersion;
    int32_t imageMode;
    int32_t depth;
    VRect bounds;
    PIFixed hResolution;
    PIFixed vResolution;
    uint8_t redLUT[256];
    uint8_t greenLUT[256];
    uint8_t blueLUT[256];
    ReadChannelDesc *targetCompositeChannels;
    ReadChannelDesc *targetTransparency;
    ReadChannelDesc *targetLayerMask;
    ReadChannelDesc *mergedCompositeChannels;
    ReadChannelDesc *mergedTransparency;
    ReadChannelDesc *alphaChannels;
    ReadChannelDesc *selection;
    void *fileSpec;
    ReadLayerDesc *layersDescriptor;
    int32_t documentType;
    struct ReadImageDocumentDesc *next;
    void *iCCprofileData;
    int32_t iCCprofileSize;
    int32_t compositeChannelCount;
    int32_t layerCount;
    int32_t alphaChannelCount;
    ReadChannelDesc *targetSmartFilterMask;
    void *fileSpecW;
    void *fileSpecX;
} ReadImageDocumentDesc;

/* Scripting descriptors: settings a plug-in reads before and writes after
 * an operation, as key/typed-value lists behind an opaque handle. */
typedef uint32_t DescriptorKeyID;
typedef uint32_t DescriptorTypeID;
typedef uint32_t DescriptorUnitID;
typedef uint32_t DescriptorEnumID;
typedef uint32_t DescriptorClassID;

enum { plugInDialogDontDisplay = 0, plugInDialogDisplay = 1, plugInDialogSilent = 2 };
enum { plugInDialogOptional = 0, plugInDialogRequired = 1, plugInDialogNone = 2 };

typedef PIReadDescriptor(PI_CDECL *PIOpenReadDescriptorProc)(PIDescriptorHandle descriptor,
                                                             DescriptorKeyID *keys);
typedef int16_t(PI_CDECL *PICloseReadDescriptorProc)(PIReadDescriptor reader);
typedef PIBoolean(PI_CDECL *PIGetKeyProc)(PIReadDescriptor reader, DescriptorKeyID *key,
                                          DescriptorTypeID *type, int32_t *flags);
typedef int16_t(PI_CDECL *PIGetIntegerProc)(PIReadDescriptor reader, int32_t *value);
typedef int16_t(PI_CDECL *PIGetFloatProc)(PIReadDescriptor reader, double *value);
typedef int16_t(PI_CDECL *PIGetUnitFloatProc)(PIReadDescriptor reader, DescriptorUnitID *unit,
                                              double *value);
typedef int16_t(PI_CDECL *PIGetBooleanProc)(PIReadDescriptor reader, PIBoolean *value);
typedef int16_t(PI_CDECL *PIGetTextProc)(PIReadDescriptor reader, PIHandle *value);
typedef int16_t(PI_CDECL *PIGetAliasProc)(PIReadDescriptor reader, PIHandle *value);
typedef int16_t(PI_CDECL *PIGetEnumeratedProc)(PIReadDescriptor reader, DescriptorEnumID *value);
typedef int16_t(PI_CDECL *PIGetClassProc)(PIReadDescriptor reader, DescriptorTypeID *value);
typedef int16_t(PI_CDECL *PIGetSimpleReferenceProc)(PIReadDescriptor reader, void *value);
typedef int16_t(PI_CDECL *PIGetObjectProc)(PIReadDescriptor reader, DescriptorTypeID *type,
                                           PIDescriptorHandle *value);
typedef int16_t(PI_CDECL *PIGetCountProc)(PIReadDescriptor reader, uint32_t *value);
typedef int16_t(PI_CDECL *PIGetStringProc)(PIReadDescriptor reader, uint8_t *pascalString);
typedef int16_t(PI_CDECL *PIGetPinnedIntegerProc)(PIReadDescriptor reader, int32_t min, int32_t max,
                                                  int32_t *value);
typedef int16_t(PI_CDECL *PIGetPinnedFloatProc)(PIReadDescriptor reader, const double *min,
                                                const double *max, double *value);
typedef int16_t(PI_CDECL *PIGetPinnedUnitFloatProc)(PIReadDescriptor reader, const double *min,
                                                    const double *max, DescriptorUnitID *unit,
                                                    double *value);

typedef struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion; /* 0 */
    int16_t numReadDescriptorProcs;     /* 18 */
    PIOpenReadDescriptorProc openReadDescriptorProc;
    PICloseReadDescriptorProc closeReadDescriptorProc;
    PIGetKeyProc getKeyProc;
    PIGetIntegerProc getIntegerProc;
    PIGetFloatProc getFloatProc;
    PIGetUnitFloatProc getUnitFloatProc;
    PIGetBooleanProc getBooleanProc;
    PIGetTextProc getTextProc;
    PIGetAliasProc getAliasProc;
    PIGetEnumeratedProc getEnumeratedProc;
    PIGetClassProc getClassProc;
    PIGetSimpleReferenceProc getSimpleReferenceProc;
    PIGetObjectProc getObjectProc;
    PIGetCountProc getCountProc;
    PIGetStringProc getStringProc;
    PIGetPinnedIntegerProc getPinnedIntegerProc;
    PIGetPinnedFloatProc getPinnedFloatProc;
    PIGetPinnedUnitFloatProc getPinnedUnitFloatProc;
} ReadDescriptorProcs;

typedef PIWriteDescriptor(PI_CDECL *PIOpenWriteDescriptorProc)(void);
typedef int16_t(PI_CDECL *PICloseWriteDescriptorProc)(PIWriteDescriptor writer,
                                                      PIDescriptorHandle *descriptor);
typedef int16_t(PI_CDECL *PIPutIntegerProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                            int32_t value);
typedef int16_t(PI_CDECL *PIPutFloatProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                          const double *value);
typedef int16_t(PI_CDECL *PIPutUnitFloatProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                              DescriptorUnitID unit, const double *value);
typedef int16_t(PI_CDECL *PIPutBooleanProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                            PIBoolean value);
typedef int16_t(PI_CDECL *PIPutTextProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                         PIHandle value);
typedef int16_t(PI_CDECL *PIPutAliasProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                          PIHandle value);
typedef int16_t(PI_CDECL *PIPutEnumeratedProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                               DescriptorTypeID type, DescriptorEnumID value);
typedef int16_t(PI_CDECL *PIPutClassProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                          DescriptorTypeID value);
typedef int16_t(PI_CDECL *PIPutSimpleReferenceProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                                    const void *value);
typedef int16_t(PI_CDECL *PIPutObjectProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                           DescriptorTypeID type, PIDescriptorHandle value);
typedef int16_t(PI_CDECL *PIPutCountProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                          uint32_t value);
typedef int16_t(PI_CDECL *PIPutStringProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                           const uint8_t *pascalString);
typedef int16_t(PI_CDECL *PIPutScopedClassProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                                DescriptorTypeID value);
typedef int16_t(PI_CDECL *PIPutScopedObjectProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                                 DescriptorTypeID type, PIDescriptorHandle value);

typedef struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion; /* 0 */
    int16_t numWriteDescriptorProcs;     /* 16 */
    PIOpenWriteDescriptorProc openWriteDescriptorProc;
    PICloseWriteDescriptorProc closeWriteDescriptorProc;
    PIPutIntegerProc putIntegerProc;
    PIPutFloatProc putFloatProc;
    PIPutUnitFloatProc putUnitFloatProc;
    PIPutBooleanProc putBooleanProc;
    PIPutTextProc putTextProc;
    PIPutAliasProc putAliasProc;
    PIPutEnumeratedProc putEnumeratedProc;
    PIPutClassProc putClassProc;
    PIPutSimpleReferenceProc putSimpleReferenceProc;
    PIPutObjectProc putObjectProc;
    PIPutCountProc putCountProc;
    PIPutStringProc putStringProc;
    PIPutScopedClassProc putScopedClassProc;
    PIPutScopedObjectProc putScopedObjectProc;
} WriteDescriptorProcs;

typedef struct PIDescriptorParameters {
    int16_t descriptorParametersVersion; /* 0 */
    int16_t playInfo;                    /* plugInDialog{DontDisplay,Display,Silent} */
    int16_t recordInfo;                  /* plugInDialog{Optional,Required,None} */
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs *writeDescriptorProcs;
    ReadDescriptorProcs *readDescriptorProcs;
} PIDescriptorParameters;

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

/* Suites asked for by name through the basic suite: bare tables of
 * procedures, no version or count words. */
#define PI_BUFFER_SUITE_NAME "Photoshop Buffer Suite for Plug-ins"
#define PI_HANDLE_SUITE_NAME "Photoshop Handle Suite for Plug-ins"
#define PI_CHANNEL_PORTS_SUITE_NAME "Photoshop ChannelPorts Suite for Plug-ins"
/* The record's own tables (BufferProcs v2, PropertyProcs v1, ResourceProcs
 * v3), version and count words included. */
#define PI_BUFFER_PROCS_SUITE_NAME "Photoshop Buffer Procs for Plug-ins"
#define PI_PROPERTY_SUITE_NAME "Photoshop Property Suite for Plug-ins"
#define PI_RESOURCE_SUITE_NAME "Photoshop Resource Suite for Plug-ins"

typedef struct PSBufferSuite2 {
    char *(PI_CDECL *New)(uint32_t *inOutSize, uint32_t minSize);
    void(PI_CDECL *Dispose)(char **buffer);
    uint32_t(PI_CDECL *GetSize)(char *buffer);
    uint32_t(PI_CDECL *GetSpace)(void);
    /* Version 2 only. */
    char *(PI_CDECL *New64)(uint64_t *inOutSize, uint64_t minSize);
    uint64_t(PI_CDECL *GetSize64)(char *buffer);
    uint64_t(PI_CDECL *GetSpace64)(void);
} PSBufferSuite2;

/* Version 2; version 1 lacks DisposeRegularHandle (the rest move up). */
typedef struct PSHandleSuite2 {
    PIHandle(PI_CDECL *New)(int32_t size);
    void(PI_CDECL *Dispose)(PIHandle handle);
    void(PI_CDECL *DisposeRegularHandle)(PIHandle handle);
    void(PI_CDECL *SetLock)(PIHandle handle, PIBoolean lock, char **address, PIBoolean *oldLock);
    int32_t(PI_CDECL *GetSize)(PIHandle handle);
    int16_t(PI_CDECL *SetSize)(PIHandle handle, int32_t size);
    void(PI_CDECL *RecoverSpace)(int32_t size);
} PSHandleSuite2;

typedef struct PSHandleSuite1 {
    PIHandle(PI_CDECL *New)(int32_t size);
    void(PI_CDECL *Dispose)(PIHandle handle);
    void(PI_CDECL *SetLock)(PIHandle handle, PIBoolean lock, char **address, PIBoolean *oldLock);
    int32_t(PI_CDECL *GetSize)(PIHandle handle);
    int16_t(PI_CDECL *SetSize)(PIHandle handle, int32_t size);
    void(PI_CDECL *RecoverSpace)(int32_t size);
} PSHandleSuite1;

/* Version 3; version 2 is the first 15 procedures. Every one returns an
 * SPErr-sized result. */
typedef struct PSChannelPortsSuite3 {
    int32_t(PI_CDECL *CountLevels)(PIChannelPort port, int32_t *count);
    int32_t(PI_CDECL *GetDepth)(PIChannelPort port, int32_t level, int32_t *depth);
    int32_t(PI_CDECL *GetDataBounds)(PIChannelPort port, int32_t level, VRect *bounds);
    int32_t(PI_CDECL *GetWriteLimit)(PIChannelPort port, int32_t level, VRect *bounds);
    int32_t(PI_CDECL *GetTilingGrid)(PIChannelPort port, int32_t level, VPoint *origin,
                                     VPoint *size);
    int32_t(PI_CDECL *GetSupportRect)(PIChannelPort port, int32_t level, const VRect *rect,
                                      int32_t *supportLevel, VRect *supportRect);
    int32_t(PI_CDECL *GetDependentRect)(PIChannelPort port, int32_t sourceLevel,
                                        const VRect *sourceRect, int32_t dependentLevel,
                                        VRect *dependentRect);
    int32_t(PI_CDECL *CanRead)(PIChannelPort port, PIBoolean *canRead);
    int32_t(PI_CDECL *CanWrite)(PIChannelPort port, PIBoolean *canWrite);
    int32_t(PI_CDECL *ReadPixelsFromLevel)(PIChannelPort port, int32_t level, VRect *rect,
                                           const PixelMemoryDesc *destination);
    int32_t(PI_CDECL *WritePixelsToBaseLevel)(PIChannelPort port, VRect *rect,
                                              const PixelMemoryDesc *source);
    int32_t(PI_CDECL *ReadScaledPixels)(PIChannelPort port, VRect *rect, const PSScaling *scaling,
                                        const PixelMemoryDesc *destination);
    int32_t(PI_CDECL *FindSourceForScaledRead)(PIChannelPort port, const VRect *rect,
                                               const PSScaling *scaling, int32_t destinationDepth,
                                               int32_t *sourceLevel, VRect *sourceRect,
                                               VRect *sourceScalingBounds);
    int32_t(PI_CDECL *New)(PIChannelPort *port, const VRect *rect, int32_t depth,
                           PIBoolean globalScope);
    int32_t(PI_CDECL *Dispose)(PIChannelPort *port);
    /* Version 3 only. */
    int32_t(PI_CDECL *SupportsOperation)(const char *operation, PIBoolean *supported);
    int32_t(PI_CDECL *ApplyOperation)(const char *operation, PIChannelPort source,
                                      PIChannelPort destination, PIChannelPort mask,
                                      void *parameters, VRect *rect);
    int32_t(PI_CDECL *AddOperation)(const char *operation, void *procedure, void *refCon);
    int32_t(PI_CDECL *RemoveOperation)(const char *operation, void **refCon);
    int32_t(PI_CDECL *NewCopyOnWrite)(PIChannelPort *port, PIChannelPort base, VRect *writeLimit,
                                      PIBoolean globalScope);
    int32_t(PI_CDECL *Freeze)(PIChannelPort port);
    int32_t(PI_CDECL *Restore)(PIChannelPort port, VRect *rect);
} PSChannelPortsSuite3;

#pragma pack(push, 4)
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
    int32_t rowBytes;
    int32_t planeBytes;
    int16_t planeMap[16];
    PIBoolean canTranspose;
    PIBoolean needTranspose;
    uint32_t hostSig;
    void *hostProc;
    int16_t hostModes;
    PIHandle revertInfo;
    PINewHandleProc hostNewHdl;
    PIDisposeHandleProc hostDisposeHdl;
    PIHandle imageRsrcData;
    int32_t imageRsrcSize;
    PIFixed monitor[10];
    PlatformData *platformData;
    BufferProcs *bufferProcs;
    ResourceProcs *resourceProcs;
    void *processEvent;
    void *displayPixels;
    HandleProcs *handleProcs;
    uint32_t fileType;
    void *colorServices;
    PIAdvanceStateProc advanceState;
    PropertyProcs *propertyProcs;
    ImageServicesProcs *imageServicesProcs;
    int16_t tileWidth;
    int16_t tileHeight;
    PIPoint tileOrigin;
    PIDescriptorParameters *descriptorParameters;
    uint8_t *errorString; /* a Pascal string of up to 255 characters */
    int32_t maxValue;
    SPBasicSuite *sSPBasic;
    void *plugInRef;
    int32_t transparentIndex;
    PIHandle iCCprofileData;
    int32_t iCCprofileSize;
    int32_t canUseICCProfiles;
    int32_t lutCount;
    int32_t preferredColorModes;
    int32_t convertMode;
    VPoint preferredSize;
    int32_t imageIndex;
    int32_t transparencyPlane;
    int32_t transparencyMatting;
    ChannelPortProcs *channelPortProcs;
    ReadImageDocumentDesc *documentInfo;
    PIBoolean openForPreview;
    int32_t browserRotation;
    int32_t HostSupports32BitCoordinates;
    int32_t PluginUsing32BitCoordinates;
    VPoint imageSize32;
    VRect theRect32;
    uint32_t requestedFileProperty;
    uint32_t filePropertyValue;
    uint32_t fileCount;
    PIHandle xmp;
    int32_t supportsSkipFile;
    PIBoolean extractQuickThumbnail;
    PIBoolean hostInSecondaryThread;
    uint32_t bulkMask;
    uint32_t *bulkFlags;
    uint32_t presetCount;
    PIHandle presetNames;
    PIHandle presetData;
    uint32_t settingsChecksum;
    void *fileSpec2;
    uint32_t layerData;
    uint16_t *layerName;
    void *renderRecord;
    PIHandle *bulkParams;
    PIBoolean openAsSmartObject;
    PIDescriptorParameters *layerMetaData;
    uint16_t *finalSpec;
    PIBoolean isTextLayer;
    PIDescriptorHandle *textDescriptor;
    PIBoolean isGroupDivider;
    PIBoolean isGroupStart;
    PIBoolean isVisible;
    PIBoolean isLocked;
    PIType blendMode;
    uint8_t opacity;
    PIHandle bulkExtraData;
    void *fileSpecX;
    int16_t hostSupportsPOSIXIO;
    int16_t pluginUsingPOSIXIO;
    int32_t posixFileDescriptor;
    PIBoolean hostSupportsPluginOpeningFile;
    PIBoolean hostSupportsSingleOpenToBulkSwitch;
    PIBoolean pluginWantsSingleOpenToBulkSwitch;
    char reserved[50];
} FormatRecord;
#pragma pack(pop)

/* The plug-in's entry function: selector, record, the plug-in's own data word
 * (0 when the record is built; only the plug-in writes it) and the result. */
typedef void(PI_CDECL *PluginEntryProc)(int16_t selector, FormatRecord *record, intptr_t *data,
                                        int16_t *result);

#ifdef __cplusplus
#define PI_STATIC_ASSERT static_assert
#else
#define PI_STATIC_ASSERT _Static_assert
#endif
/* PI_AT(field, offset with 4-byte pointers, offset with 8-byte pointers) */
#if UINTPTR_MAX == 0xFFFFFFFFu
#define PI_AT(type, field, at32, at64) \
    PI_STATIC_ASSERT(offsetof(type, field) == (at32), #type "." #field " offset")
#define PI_SIZE(type, size32, size64) PI_STATIC_ASSERT(sizeof(type) == (size32), #type " size")
#else
#define PI_AT(type, field, at32, at64) \
    PI_STATIC_ASSERT(offsetof(type, field) == (at64), #type "." #field " offset")
#define PI_SIZE(type, size32, size64) PI_STATIC_ASSERT(sizeof(type) == (size64), #type " size")
#endif
#define PI_FR(field, at32, at64) PI_AT(FormatRecord, field, at32, at64)
PI_FR(serialNumber, 0, 0);
PI_FR(abortProc, 4, 4);
PI_FR(progressProc, 8, 12);
PI_FR(maxData, 12, 20);
PI_FR(minDataBytes, 16, 24);
PI_FR(maxDataBytes, 20, 28);
PI_FR(minRsrcBytes, 24, 32);
PI_FR(maxRsrcBytes, 28, 36);
PI_FR(dataFork, 32, 40);
PI_FR(rsrcFork, 36, 48);
PI_FR(fileSpec, 40, 56);
PI_FR(imageMode, 44, 64);
PI_FR(imageSize, 46, 66);
PI_FR(depth, 50, 70);
PI_FR(planes, 52, 72);
PI_FR(imageHRes, 56, 76);
PI_FR(imageVRes, 60, 80);
PI_FR(redLUT, 64, 84);
PI_FR(greenLUT, 320, 340);
PI_FR(blueLUT, 576, 596);
PI_FR(data, 832, 852);
PI_FR(theRect, 836, 860);
PI_FR(loPlane, 844, 868);
PI_FR(hiPlane, 846, 870);
PI_FR(colBytes, 848, 872);
PI_FR(rowBytes, 852, 876);
PI_FR(planeBytes, 856, 880);
PI_FR(planeMap, 860, 884);
PI_FR(canTranspose, 892, 916);
PI_FR(needTranspose, 893, 917);
PI_FR(hostSig, 896, 920);
PI_FR(hostProc, 900, 924);
PI_FR(hostModes, 904, 932);
PI_FR(revertInfo, 908, 936);
PI_FR(hostNewHdl, 912, 944);
PI_FR(hostDisposeHdl, 916, 952);
PI_FR(imageRsrcData, 920, 960);
PI_FR(imageRsrcSize, 924, 968);
PI_FR(monitor, 928, 972);
PI_FR(platformData, 968, 1012);
PI_FR(bufferProcs, 972, 1020);
PI_FR(resourceProcs, 976, 1028);
PI_FR(processEvent, 980, 1036);
PI_FR(displayPixels, 984, 1044);
PI_FR(handleProcs, 988, 1052);
PI_FR(fileType, 992, 1060);
PI_FR(colorServices, 996, 1064);
PI_FR(advanceState, 1000, 1072);
PI_FR(propertyProcs, 1004, 1080);
PI_FR(imageServicesProcs, 1008, 1088);
PI_FR(tileWidth, 1012, 1096);
PI_FR(tileHeight, 1014, 1098);
PI_FR(tileOrigin, 1016, 1100);
PI_FR(descriptorParameters, 1020, 1104);
PI_FR(errorString, 1024, 1112);
PI_FR(maxValue, 1028, 1120);
PI_FR(sSPBasic, 1032, 1124);
PI_FR(plugInRef, 1036, 1132);
PI_FR(transparentIndex, 1040, 1140);
PI_FR(iCCprofileData, 1044, 1144);
PI_FR(iCCprofileSize, 1048, 1152);
PI_FR(canUseICCProfiles, 1052, 1156);
PI_FR(lutCount, 1056, 1160);
PI_FR(preferredColorModes, 1060, 1164);
PI_FR(convertMode, 1064, 1168);
PI_FR(preferredSize, 1068, 1172);
PI_FR(imageIndex, 1076, 1180);
PI_FR(transparencyPlane, 1080, 1184);
PI_FR(transparencyMatting, 1084, 1188);
PI_FR(channelPortProcs, 1088, 1192);
PI_FR(documentInfo, 1092, 1200);
PI_FR(openForPreview, 1096, 1208);
PI_FR(browserRotation, 1100, 1212);
PI_FR(HostSupports32BitCoordinates, 1104, 1216);
PI_FR(PluginUsing32BitCoordinates, 1108, 1220);
PI_FR(imageSize32, 1112, 1224);
PI_FR(theRect32, 1120, 1232);
PI_FR(requestedFileProperty, 1136, 1248);
PI_FR(filePropertyValue, 1140, 1252);
PI_FR(fileCount, 1144, 1256);
PI_FR(xmp, 1148, 1260);
PI_FR(supportsSkipFile, 1152, 1268);
PI_FR(extractQuickThumbnail, 1156, 1272);
PI_FR(hostInSecondaryThread, 1157, 1273);
PI_FR(bulkMask, 1160, 1276);
PI_FR(bulkFlags, 1164, 1280);
PI_FR(presetCount, 1168, 1288);
PI_FR(presetNames, 1172, 1292);
PI_FR(presetData, 1176, 1300);
PI_FR(settingsChecksum, 1180, 1308);
PI_FR(fileSpec2, 1184, 1312);
PI_FR(layerData, 1188, 1320);
PI_FR(layerName, 1192, 1324);
PI_FR(renderRecord, 1196, 1332);
PI_FR(bulkParams, 1200, 1340);
PI_FR(openAsSmartObject, 1204, 1348);
PI_FR(layerMetaData, 1208, 1352);
PI_FR(finalSpec, 1212, 1360);
PI_FR(isTextLayer, 1216, 1368);
PI_FR(textDescriptor, 1220, 1372);
PI_FR(isGroupDivider, 1224, 1380);
PI_FR(isGroupStart, 1225, 1381);
PI_FR(isVisible, 1226, 1382);
PI_FR(isLocked, 1227, 1383);
PI_FR(blendMode, 1228, 1384);
PI_FR(opacity, 1232, 1388);
PI_FR(bulkExtraData, 1236, 1392);
PI_FR(fileSpecX, 1240, 1400);
PI_FR(hostSupportsPOSIXIO, 1244, 1408);
PI_FR(pluginUsingPOSIXIO, 1246, 1410);
PI_FR(posixFileDescriptor, 1248, 1412);
PI_FR(hostSupportsPluginOpeningFile, 1252, 1416);
PI_FR(hostSupportsSingleOpenToBulkSwitch, 1253, 1417);
PI_FR(pluginWantsSingleOpenToBulkSwitch, 1254, 1418);
PI_FR(reserved, 1255, 1419);
PI_SIZE(FormatRecord, 1308, 1472);

PI_AT(ReadImageDocumentDesc, bounds, 16, 16);
PI_AT(ReadImageDocumentDesc, targetCompositeChannels, 808, 808);
PI_AT(ReadImageDocumentDesc, mergedCompositeChannels, 820, 832);
PI_AT(ReadImageDocumentDesc, mergedTransparency, 824, 840);
PI_AT(ReadImageDocumentDesc, layersDescriptor, 840, 872);
PI_AT(ReadImageDocumentDesc, layerCount, 864, 912);
PI_AT(ReadImageDocumentDesc, fileSpecX, 880, 936);
PI_SIZE(ReadImageDocumentDesc, 884, 944);
PI_AT(ReadChannelDesc, port, 12, 16);
PI_AT(ReadChannelDesc, bounds, 16, 24);
PI_AT(ReadChannelDesc, depth, 32, 40);
PI_AT(ReadChannelDesc, channelType, 54, 62);
PI_AT(ReadChannelDesc, contextInfo, 56, 64);
PI_AT(ReadChannelDesc, limitBounds, 80, 108);
PI_SIZE(ReadChannelDesc, 96, 128);
PI_AT(ReadLayerDesc, compositeChannelsList, 12, 16);
PI_AT(ReadLayerDesc, unicodeName, 36, 64);
PI_AT(ReadLayerDesc, blendMode, 48, 80);
PI_SIZE(ReadLayerDesc, 60, 104);
PI_SIZE(PixelMemoryDesc, 20, 24);
PI_SIZE(PSScaling, 32, 32);
PI_AT(PIDescriptorParameters, descriptor, 8, 8);
PI_AT(PIDescriptorParameters, readDescriptorProcs, 16, 24);
PI_SIZE(PIDescriptorParameters, 20, 32);
PI_SIZE(BufferProcs, 36, 72);
PI_SIZE(ResourceProcs, 20, 40);
PI_SIZE(HandleProcs, 36, 72);
PI_SIZE(PropertyProcs, 12, 24);
PI_SIZE(ChannelPortProcs, 16, 32);
PI_SIZE(ImageServicesProcs, 28, 56);
PI_SIZE(ReadDescriptorProcs, 76, 152);
PI_SIZE(WriteDescriptorProcs, 68, 136);
PI_SIZE(PlatformData, 4, 8);
PI_SIZE(SPBasicSuite, 28, 56);
PI_SIZE(PSBufferSuite2, 28, 56);
PI_SIZE(PSHandleSuite2, 28, 56);
PI_SIZE(PSChannelPortsSuite3, 88, 176);
PI_AT(PSChannelPortsSuite3, CanRead, 28, 56);
PI_AT(PSChannelPortsSuite3, ReadPixelsFromLevel, 36, 72);
#undef PI_FR
#undef PI_AT
#undef PI_SIZE

#ifdef __cplusplus
}
#endif

#endif /* PLUGHOST_FORMAT_RECORD_H */
