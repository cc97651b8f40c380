// The scriptable plug-in (see script_plugin.h). Defaults: every continue
// selector ends its loop (data null) unless the test's action sets data
// again.
#include "script_plugin.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// A DLL cannot leave a symbol for the loading program to supply, so the
// plug-in asks the test program's export table for the state.
ScriptState *script() {
    using Getter = ScriptState *(*)();
    static Getter getter = reinterpret_cast<Getter>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA(nullptr), "plughost_test_script")));
    return getter();
}
#else
ScriptState *script() {
    return plughost_test_script();
}
#endif

void DefaultImage(ScriptState *s, int16_t selector, FormatRecord *record) {
    if (selector == formatSelectorReadStart) {
        record->imageSize = {1, 1};
        record->imageMode = plugInModeGrayScale;
        record->depth = 8;
        record->planes = 1;
    }
    if (selector != formatSelectorReadContinue || s->read_loop_open) return;
    static uint8_t row[4];
    record->theRect = {0, 0, 1, 1};
    record->rowBytes = sizeof row;
    record->data = row;
    record->advanceState();
    record->theRect = {0, 0, 0, 0};
    record->rowBytes = 0;
    record->data = nullptr;
}

constexpr uint32_t kQualityKey = 0x7772746C;      // 'wrtl'
constexpr uint32_t kCompressionKey = 0x77727463;  // 'wrtc'

void ReadSettings(ScriptState *s, FormatRecord *record) {
    PIDescriptorParameters *p = record->descriptorParameters;
    s->play_info = p ? p->playInfo : -1;
    if (!p || !p->readDescriptorProcs || !p->descriptor) return;
    ReadDescriptorProcs *procs = p->readDescriptorProcs;
    DescriptorKeyID none[] = {0};
    PIReadDescriptor reader = procs->openReadDescriptorProc(p->descriptor, none);
    if (!reader) return;
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32_t flags, value;
    while (procs->getKeyProc(reader, &key, &type, &flags)) {
        if (key == kQualityKey && procs->getIntegerProc(reader, &value) == 0 && value >= 0 &&
            value <= 100)
            s->quality = value;
        if (key == kCompressionKey && procs->getIntegerProc(reader, &value) == 0 && value >= 0 &&
            value <= 2)
            s->compression = value;
    }
    s->descriptor_close = procs->closeReadDescriptorProc(reader);
    record->handleProcs->disposeProc(p->descriptor);
    p->descriptor = nullptr;
}

void WriteSettings(ScriptState *s, FormatRecord *record, int16_t *result) {
    PIDescriptorParameters *p = record->descriptorParameters;
    if (!p || !p->writeDescriptorProcs) return;
    WriteDescriptorProcs *procs = p->writeDescriptorProcs;
    PIWriteDescriptor writer = procs->openWriteDescriptorProc();
    if (!writer) return;
    procs->putIntegerProc(writer, kQualityKey, s->quality);
    procs->putIntegerProc(writer, kCompressionKey, s->compression);
    record->handleProcs->disposeProc(p->descriptor);
    *result = procs->closeWriteDescriptorProc(writer, &p->descriptor);
}

constexpr char kChannelPortsSuite[] = "Photoshop ChannelPorts Suite for Plug-ins";

const ReadChannelDesc *ChannelAt(const FormatRecord *record, int channel) {
    const ReadImageDocumentDesc *d = record->documentInfo;
    if (!d) return nullptr;
    if (channel == 3) return d->mergedTransparency;
    const ReadChannelDesc *c = d->mergedCompositeChannels;
    for (int i = 0; c && i < channel; ++i) c = c->next;
    return c;
}

void ReadPort(const FormatRecord *record, PortRead &read) {
    const ReadChannelDesc *channel = ChannelAt(record, read.channel);
    if (!channel) return;
    read.buffer.assign(read.bufferSize, 0xEE);
    PixelMemoryDesc desc = read.layout;
    if (read.bufferSize)
        desc.data = read.buffer.data() + reinterpret_cast<uintptr_t>(read.layout.data);
    read.rectOut = read.rect;
    if (!read.suite) {
        read.result = record->channelPortProcs->readPixelsProc(channel->port, nullptr, &read.rect,
                                                               &desc, &read.rectOut);
        return;
    }
    const void *suite = nullptr;
    if (record->sSPBasic->AcquireSuite(kChannelPortsSuite, 3, &suite) != 0 || !suite) return;
    const auto *ports = static_cast<const PSChannelPortsSuite3 *>(suite);
    PIBoolean readable = 0;
    read.result = ports->CanRead(channel->port, &readable);
    if (read.result == 0)
        read.result = ports->ReadPixelsFromLevel(channel->port, read.level, &read.rectOut, &desc);
    record->sSPBasic->ReleaseSuite(kChannelPortsSuite, 3);
}

void Run(int16_t selector, FormatRecord *record, intptr_t *data, int16_t *result, bool alt) {
    ScriptState *s = script();
    s->calls.push_back({selector, alt});
    s->last_record = record;
    if (selector == formatSelectorReadContinue || selector == formatSelectorOptionsContinue ||
        selector == formatSelectorEstimateContinue || selector == formatSelectorWriteContinue ||
        selector == formatSelectorReadLayerContinue)
        record->data = nullptr;
    if (s->wide_coordinates && record->HostSupports32BitCoordinates)
        record->PluginUsing32BitCoordinates = 1;
    if (s->default_image) DefaultImage(s, selector, record);
    if (s->settings && selector == formatSelectorOptionsStart) ReadSettings(s, record);
    for (PortRead &read : s->port_reads)
        if (read.selector == selector) ReadPort(record, read);
    if (s->action) s->action(selector, record, data);
    if (selector == formatSelectorReadContinue) s->read_loop_open = record->data != nullptr;
    auto it = s->results.find(selector);
    *result = it == s->results.end() ? 0 : it->second;
    if (s->settings && selector == formatSelectorWriteFinish && *result == 0)
        WriteSettings(s, record, result);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void ENTRYPOINT(int16_t selector,
                                                                  FormatRecord *record,
                                                                  intptr_t *data, int16_t *result) {
    Run(selector, record, data, result, false);
}

extern "C" __attribute__((visibility("default"))) void AltEntry(int16_t selector,
                                                                FormatRecord *record,
                                                                intptr_t *data, int16_t *result) {
    Run(selector, record, data, result, true);
}
