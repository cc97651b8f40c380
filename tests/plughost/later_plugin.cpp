// A plug-in built for a later version of the interface, as such plug-ins
// behave: on its first call it takes the basic suite from sSPBasic without
// checking it, looks at fields past the 3.0 record's end (all at the offsets
// of the published headers, 4-byte packing), asks for a suite by name and
// keeps its memory in blocks of the basic suite; it reports its size in
// imageSize32 and its chunks in theRect32 too. Three entries: ENTRYPOINT
// needs the channel-ports suite (version 3) and stops with "host
// insufficient" without it; NEWER needs a version of it no host has;
// TOLERANT goes without. All read a built-in 3 x 2 grey image (rows
// 10 11 12 / 20 21 22). A suite answered in a way the interface does not
// allow (found without a table, or not found with one) also stops it.
#include <cstring>

#include "format_record.h"

#if defined(_WIN32)
#define LATER_EXPORT extern "C" __declspec(dllexport)
#else
#define LATER_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

constexpr int16_t kHostInsufficient = -30900;
constexpr char kChannelPorts[] = "Photoshop ChannelPorts Suite for Plug-ins";
constexpr int16_t kWidth = 3, kHeight = 2;

// Where the published headers put the later fields this plug-in uses, for
// 4-byte and 8-byte pointers. The plug-in reads them from these offsets as
// raw bytes, as a plug-in built from those headers does, so a host whose
// record puts them elsewhere fails here.
constexpr bool kWidePointers = sizeof(void *) == 8;
constexpr size_t kBasicSuiteAt = kWidePointers ? 1124 : 1032;
constexpr size_t kHostCoordinatesAt = kWidePointers ? 1216 : 1104;
constexpr size_t kPluginCoordinatesAt = kWidePointers ? 1220 : 1108;
constexpr size_t kImageSize32At = kWidePointers ? 1224 : 1112;
constexpr size_t kTheRect32At = kWidePointers ? 1232 : 1120;
constexpr size_t kPosixAt = kWidePointers ? 1408 : 1244;

template <typename T>
T Field(const FormatRecord *record, size_t offset) {
    T v;
    std::memcpy(&v, reinterpret_cast<const uint8_t *>(record) + offset, sizeof v);
    return v;
}

template <typename T>
void SetField(FormatRecord *record, size_t offset, T v) {
    std::memcpy(reinterpret_cast<uint8_t *>(record) + offset, &v, sizeof v);
}

const SPBasicSuite *BasicSuite(const FormatRecord *record) {
    return Field<const SPBasicSuite *>(record, kBasicSuiteAt);
}

// Whether the suite found answers a port it never handed out with an error
// (and without touching memory the plug-in did not pass).
bool RefusesUnknownPort(const void *suite) {
    auto *ports = static_cast<const PSChannelPortsSuite3 *>(suite);
    PIBoolean canRead = 1;
    return ports->CanRead(nullptr, &canRead) != 0 && canRead == 0 &&
           ports->ReadPixelsFromLevel(nullptr, 0, nullptr, nullptr) != 0;
}

// What every entry does first; false (with the result set) when the host
// cannot serve a plug-in of this kind. A host that offers 32-bit
// coordinates is told that this plug-in uses them. `version` 0: the
// channel-ports suite is optional.
bool Greet(FormatRecord *record, int32_t version, int16_t *result) {
    const SPBasicSuite *basic = BasicSuite(record);  // taken on trust, as such plug-ins do
    if (Field<int32_t>(record, kHostCoordinatesAt) != 0)
        SetField<int32_t>(record, kPluginCoordinatesAt, 1);
    uint32_t later = static_cast<uint32_t>(Field<int16_t>(record, kPosixAt)) |
                     Field<uint32_t>(record, sizeof(FormatRecord) + 60);
    static const int kSentinel = 0;
    const void *suite = &kSentinel;
    const int32_t asked = version ? version : 3;
    int32_t found = basic->AcquireSuite(kChannelPorts, asked, &suite);
    bool answered = found == 0
                        ? suite != nullptr && suite != &kSentinel && RefusesUnknownPort(suite)
                        : suite == nullptr;
    if (found == 0) basic->ReleaseSuite(kChannelPorts, asked);
    if (later != 0 || !basic->IsEqual(kChannelPorts, kChannelPorts) || !answered ||
        (version != 0 && found != 0)) {
        *result = kHostInsufficient;
        return false;
    }
    return true;
}

// The image's rows in one block, grown to its full size in two steps.
int16_t StartRead(FormatRecord *record, intptr_t *data) {
    const SPBasicSuite *basic = BasicSuite(record);
    void *block = nullptr;
    if (basic->AllocateBlock(kWidth, &block) != 0) return piMemFullErr;
    void *grown = nullptr;
    if (basic->ReallocateBlock(block, kWidth * kHeight, &grown) != 0) {
        basic->FreeBlock(block);
        return piMemFullErr;
    }
    *data = reinterpret_cast<intptr_t>(grown);
    record->imageMode = plugInModeGrayScale;
    record->imageSize = {kHeight, kWidth};
    SetField(record, kImageSize32At, VPoint{kHeight, kWidth});
    record->depth = 8;
    record->planes = 1;
    return 0;
}

int16_t ContinueRead(FormatRecord *record, intptr_t *data) {
    auto *rows = reinterpret_cast<uint8_t *>(*data);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            rows[y * kWidth + x] = static_cast<uint8_t>(10 * (y + 1) + x);
    record->data = rows;
    record->theRect = {0, 0, kHeight, kWidth};
    SetField(record, kTheRect32At, VRect{0, 0, kHeight, kWidth});
    record->loPlane = record->hiPlane = 0;
    record->colBytes = 1;
    record->rowBytes = kWidth;
    int16_t taken = record->advanceState();
    record->data = nullptr;
    return taken;
}

void Run(int16_t selector, FormatRecord *record, intptr_t *data, int16_t *result,
         int32_t channelPortsVersion) {
    *result = 0;
    if (!Greet(record, channelPortsVersion, result)) return;
    if (selector == formatSelectorReadStart) *result = StartRead(record, data);
    if (selector == formatSelectorReadContinue) *result = ContinueRead(record, data);
    if (selector == formatSelectorReadFinish && *data) {
        BasicSuite(record)->FreeBlock(reinterpret_cast<void *>(*data));
        *data = 0;
    }
}

}  // namespace

LATER_EXPORT void ENTRYPOINT(int16_t selector, FormatRecord *record, intptr_t *data,
                             int16_t *result) {
    Run(selector, record, data, result, 3);
}

LATER_EXPORT void NEWER(int16_t selector, FormatRecord *record, intptr_t *data, int16_t *result) {
    Run(selector, record, data, result, 4);
}

LATER_EXPORT void TOLERANT(int16_t selector, FormatRecord *record, intptr_t *data,
                           int16_t *result) {
    Run(selector, record, data, result, 0);
}
