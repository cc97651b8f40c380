#include "channel_ports.h"

#include "context.h"
#include "document_info.h"
#include "services.h"

namespace plug {
namespace {

struct PortTarget {
    FilterRecord *record;
    PluginContext *context;
    PortChannel channel;
};

// The current write context and the channel `port` names in it.
bool FindPort(PIChannelPort port, PortTarget *out) {
    FilterRecord *record = CurrentFilter();
    PluginContext *context = record ? context_of(record) : nullptr;
    if (!context || context->mode != kWriteMode) return false;
    const int32_t channel = ChannelOfPort(context->document, context->image, port);
    if (channel < 0) return false;
    *out = {record, context, static_cast<PortChannel>(channel)};
    return true;
}

bool SameRect(const VRect &a, const VRect &b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

}  // namespace

// Readable means rows can be had now: inside FE_EXPORT, not during the
// options the host asks for on their own.
int32_t PI_CDECL PortsCanRead(PIChannelPort port, PIBoolean *canRead) {
    PortTarget target;
    const bool found = FindPort(port, &target);
    if (canRead) *canRead = found && target.context->image.rowsNow ? 1 : 0;
    if (!found) return errUnknownPort;
    return canRead ? 0 : piParamErr;
}

// Level 0 is the image itself; plughost keeps no reduced levels.
int32_t PI_CDECL PortsReadPixelsFromLevel(PIChannelPort port, int32_t level, VRect *rect,
                                          const PixelMemoryDesc *destination) {
    PortTarget target;
    if (!FindPort(port, &target)) return errUnknownPort;
    if (level != 0 || !rect || !destination) return piParamErr;
    return ReadChannel(target.record, target.context->image, target.channel, rect, *destination);
}

// Only unscaled reads: no scaling, or a source that is the destination.
int16_t PI_CDECL PortsReadPixels(PIChannelPort port, const PSScaling *scaling,
                                 const VRect *writeRect, const PixelMemoryDesc *destination,
                                 VRect *wroteRect) {
    PortTarget target;
    if (!FindPort(port, &target)) return errUnknownPort;
    if (!writeRect || !destination) return piParamErr;
    if (scaling && !SameRect(scaling->sourceRect, scaling->destinationRect)) return piParamErr;
    VRect rect = *writeRect;
    const int16_t result =
        ReadChannel(target.record, target.context->image, target.channel, &rect, *destination);
    if (result == 0 && wroteRect) *wroteRect = rect;
    return result;
}

// No port plughost hands out is a write port.
int16_t PI_CDECL PortsWriteBasePixels(PIChannelPort, const VRect *, const PixelMemoryDesc *) {
    return errUnknownPort;
}

int16_t PI_CDECL PortsReadPortForWritePort(PIChannelPort *readPort, PIChannelPort) {
    if (readPort) *readPort = nullptr;
    return errUnknownPort;
}

void FillChannelPortProcs(ChannelPortProcs *procs) {
    procs->channelPortProcsVersion = 1;
    procs->numChannelPortProcs = 3;
    procs->readPixelsProc = PortsReadPixels;
    procs->writeBasePixelsProc = PortsWriteBasePixels;
    procs->readPortForWritePortProc = PortsReadPortForWritePort;
}

}  // namespace plug
