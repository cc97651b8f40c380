/* The binary contract between a host application and a filter module.
 *
 * Compiles as C (C11 for the offset checks) and as C++ with GCC, Clang and
 * MSVC; installed as <filters/filter.h>. On 32-bit x86 every field sits at
 * the byte offset the host relies on; on x86-64 (64-bit Windows and Linux
 * alike) the same declarations give the natural layout with 8-byte pointers
 * and callbacks. Both layouts are checked below. fileHandle stays 32 bits
 * wide on 64-bit Windows too: the value of a Win32 handle fits in 32 bits.
 *
 * FilterEntry and the stdcall callbacks are stdcall on 32-bit x86 only;
 * 64-bit targets have a single calling convention. */
#ifndef FILTER_H
#define FILTER_H

#include <stddef.h>
#include <stdint.h>

#if defined(_MSC_VER)
#define FE_STDCALL __stdcall
#define FE_CDECL __cdecl
#elif defined(__i386__)
#define FE_STDCALL __attribute__((stdcall))
#define FE_CDECL __attribute__((cdecl))
#else
#define FE_STDCALL
#define FE_CDECL
#endif

#if defined(_WIN32) || !defined(__GNUC__)
#define FE_API
#else
#define FE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Operation codes. */
enum {
    FE_IMPORT = 1,
    FE_EXPORT = 2,
    FE_IDENTIFY = 3,
    FE_END_IMPORT = 6,
    FE_END_EXPORT = 7,
    FE_GET_CAPS = 8,
    FE_OPTIONS = 9,
    FE_RESERVED_10 = 10
};

/* Error codes stored in errorCode. */
enum {
    FERR_NO_MEMORY = 24849,
    FERR_CANNOT_READ = 24851,
    FERR_TRANSFER = 24852,
    FERR_NOT_FORMAT = 24853,
    FERR_UNSUPPORTED = 24854,
    FERR_CORRUPT = 24855,
    FERR_DECODE = 24856,
    FERR_BAD_IMAGE = 24857,
    FERR_BAD_REQUEST = 24859,
    FERR_FILE_NAME = 24861,
    FERR_CANCELLED = 24862,
    FERR_PLUGIN = 24864,
    FERR_PLUGIN_LOAD = 24867
};

/* requestFlags bits. */
#define FRI_NO_DIALOG 0x4u
#define FRI_FIT_MASK 0x840u

/* filterFlags bits. */
#define FRF_IDENTIFY_STRICT 0x4000u
#define FRF_CAPS_PNG 0x89208u
#define FRF_CAPS_BITMAP_RESOURCE 0x100u

/* planeKind values. */
#define FE_PLANE_IMAGE 1
#define FE_PLANE_TRANSPARENCY 2

typedef struct FilterRecord FilterRecord;
typedef void *FilterWindow;

/* Inclusive pixel rectangle, top-left origin. */
typedef struct FilterRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} FilterRect;

/* dataProc on import: the header call (record, 0, 0, 0, 0, 0, 0, userData) and
 * the row call (row, y, x, rowCount, rowWidth, rowByteCount, percent, userData). */
typedef int32_t(FE_CDECL *FilterDataProc)(const void *data, int32_t y, int32_t x, int32_t rowCount,
                                          int32_t rowWidth, int32_t rowByteCount, int32_t percent,
                                          uint32_t userData);
/* dataProc on export: the same field, called with the five-argument write form. */
typedef int32_t(FE_CDECL *FilterWriteProc)(const void *bytes, FilterRecord *record,
                                           int32_t byteCount, int32_t percent, uint32_t userData);
typedef int32_t(FE_STDCALL *FilterGetRowsProc)(void *destination, int32_t x, int32_t y,
                                               int32_t pixelCount, int32_t rowCount,
                                               FilterRecord *record);
typedef void(FE_STDCALL *FilterStretchProc)(const void *sourceRow, void *destinationRow,
                                            int32_t sourcePixelCount, int32_t destinationPixelCount,
                                            int32_t bitsPerPixel);
typedef int32_t(FE_STDCALL *FilterProgressProc)(int32_t percent, uint32_t progressData);

/* Host help and directory services, addressed by byte offset / 4. */
typedef void(FE_CDECL *HostContextHelpProc)(void *moduleInstance, const char *helpFile,
                                            uint32_t wParam, int32_t lParam, int32_t mapId);
typedef void(FE_STDCALL *HostDirectoryProc)(char *buffer, int32_t size);
typedef void (*HostServiceEntry)(void);

enum {
    HS_CONTEXT_HELP = 54,      /* byte offset 216 */
    HS_CONTEXT_MENU_HELP = 55, /* byte offset 220 */
    HS_GET_DIRECTORY = 60,     /* byte offset 240 */
    HS_GET_HELP_PATH = 150,    /* byte offset 600 */
    HS_ENTRY_COUNT = 151
};

typedef struct HostServices {
    HostServiceEntry entry[HS_ENTRY_COUNT];
} HostServices;

struct FilterRecord {
    uint32_t reserved0[1];
    uint32_t requestFlags;
    uint32_t filterFlags;
    int32_t imageCount;
    int32_t imageIndex;
    uint32_t reserved20[1];
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t fileBitsPerPixel;
    int32_t xResolution;
    int32_t yResolution;
    int32_t compressionIndex;
    char *filePath;
    uint32_t reserved56[2];
    uint32_t fileHandle;
    const uint8_t *fileData;
    uint32_t reserved72[7];
    FilterRect region;
    uint32_t filterId;
    uint32_t errorCode;
    uint32_t reserved124[1];
    int32_t paletteCount;
    uint8_t *palette;
    FilterProgressProc hostProgressProc;
    FilterDataProc dataProc;
    uint32_t reserved144[1];
    uint32_t fileSize;
    void *filterState;
    uint32_t reserved156[1];
    char *compressionName;
    uint32_t reserved164[3];
    char *comment;
    int32_t planeKind;
    int32_t linkedCount;
    int32_t *linkedPlanes;
    uint32_t reserved192[4];
    FilterWindow parentWindow;
    uint32_t reserved212[11];
    uint32_t userData;
    uint32_t progressData;
    char *iniPath;
    HostServices *hostServices;
    uint32_t reserved272[7];
    char *pluginPath;
    FilterStretchProc stretchProc;
    uint32_t reserved308[1];
    int32_t colorSpace;
    uint32_t reserved316[1];
    FilterGetRowsProc getRowsProc;
};

/* The one export of every module. */
typedef int32_t(FE_STDCALL *FilterEntryProc)(uint32_t operation, FilterRecord *record);

#if defined(__cplusplus)
#define FE_STATIC_ASSERT static_assert
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define FE_STATIC_ASSERT _Static_assert
#endif
/* (x32, the 32-bit-pointer ABI of x86-64, has neither layout.) */
#if defined(FE_STATIC_ASSERT) && (defined(__i386__) || defined(_M_IX86) || defined(_M_X64) || \
                                  (defined(__x86_64__) && !defined(__ILP32__)))
#define FE_AT(field, offset) \
    FE_STATIC_ASSERT(offsetof(FilterRecord, field) == (offset), #field " offset")
#define FE_SERVICE_AT(index, offset) \
    FE_STATIC_ASSERT(offsetof(HostServices, entry[index]) == (offset), #index " offset")
#endif
#if defined(FE_AT) && (defined(__i386__) || defined(_M_IX86))
FE_AT(requestFlags, 4);
FE_AT(filterFlags, 8);
FE_AT(imageCount, 12);
FE_AT(imageIndex, 16);
FE_AT(width, 24);
FE_AT(height, 28);
FE_AT(bitsPerPixel, 32);
FE_AT(fileBitsPerPixel, 36);
FE_AT(xResolution, 40);
FE_AT(yResolution, 44);
FE_AT(compressionIndex, 48);
FE_AT(filePath, 52);
FE_AT(fileHandle, 64);
FE_AT(fileData, 68);
FE_AT(region, 100);
FE_AT(filterId, 116);
FE_AT(errorCode, 120);
FE_AT(paletteCount, 128);
FE_AT(palette, 132);
FE_AT(hostProgressProc, 136);
FE_AT(dataProc, 140);
FE_AT(fileSize, 148);
FE_AT(filterState, 152);
FE_AT(compressionName, 160);
FE_AT(comment, 176);
FE_AT(planeKind, 180);
FE_AT(linkedCount, 184);
FE_AT(linkedPlanes, 188);
FE_AT(parentWindow, 208);
FE_AT(userData, 256);
FE_AT(progressData, 260);
FE_AT(iniPath, 264);
FE_AT(hostServices, 268);
FE_AT(pluginPath, 300);
FE_AT(stretchProc, 304);
FE_AT(colorSpace, 312);
FE_AT(getRowsProc, 320);
FE_STATIC_ASSERT(sizeof(FilterRecord) == 324, "FilterRecord size");
FE_SERVICE_AT(HS_CONTEXT_HELP, 216);
FE_SERVICE_AT(HS_CONTEXT_MENU_HELP, 220);
FE_SERVICE_AT(HS_GET_DIRECTORY, 240);
FE_SERVICE_AT(HS_GET_HELP_PATH, 600);
#elif defined(FE_AT)
/* x86-64: pointers at 8-byte boundaries, so 4 bytes of padding before
 * filePath, fileData, palette, compressionName, comment, iniPath, pluginPath
 * and getRowsProc. */
FE_AT(requestFlags, 4);
FE_AT(filterFlags, 8);
FE_AT(imageCount, 12);
FE_AT(imageIndex, 16);
FE_AT(width, 24);
FE_AT(height, 28);
FE_AT(bitsPerPixel, 32);
FE_AT(fileBitsPerPixel, 36);
FE_AT(xResolution, 40);
FE_AT(yResolution, 44);
FE_AT(compressionIndex, 48);
FE_AT(filePath, 56);
FE_AT(fileHandle, 72);
FE_AT(fileData, 80);
FE_AT(region, 116);
FE_AT(filterId, 132);
FE_AT(errorCode, 136);
FE_AT(paletteCount, 144);
FE_AT(palette, 152);
FE_AT(hostProgressProc, 160);
FE_AT(dataProc, 168);
FE_AT(fileSize, 180);
FE_AT(filterState, 184);
FE_AT(compressionName, 200);
FE_AT(comment, 224);
FE_AT(planeKind, 232);
FE_AT(linkedCount, 236);
FE_AT(linkedPlanes, 240);
FE_AT(parentWindow, 264);
FE_AT(userData, 316);
FE_AT(progressData, 320);
FE_AT(iniPath, 328);
FE_AT(hostServices, 336);
FE_AT(pluginPath, 376);
FE_AT(stretchProc, 384);
FE_AT(colorSpace, 396);
FE_AT(getRowsProc, 408);
FE_STATIC_ASSERT(sizeof(FilterRecord) == 416, "FilterRecord size");
FE_SERVICE_AT(HS_CONTEXT_HELP, 432);
FE_SERVICE_AT(HS_CONTEXT_MENU_HELP, 440);
FE_SERVICE_AT(HS_GET_DIRECTORY, 480);
FE_SERVICE_AT(HS_GET_HELP_PATH, 1200);
#endif
#undef FE_AT
#undef FE_SERVICE_AT

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
/* Converts between the callback types that share one field (dataProc's import
 * and export forms); the detour through void (*)(void) says it is deliberate. */
template <typename To, typename From>
inline To filter_proc_cast(From proc) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)(void)>(proc));
}
#endif

#endif /* FILTER_H */
