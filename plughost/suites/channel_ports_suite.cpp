// The channel ports suite: reading the host's image channel by channel.
// Plug-ins ask for it on their first call and give up without it, even when
// they never read a port. CanRead and ReadPixelsFromLevel read the host's
// image through documentInfo's ports. Every procedure answers with a defined
// code and tolerates null arguments: ports this host does not know are
// refused with errUnknownPort, and operations it does not offer (making,
// copying and processing ports) with "unimplemented".
#include "channel_ports.h"
#include "suites/registry.h"

namespace plug {
namespace {

constexpr int32_t kUnknownPort = errUnknownPort;
constexpr int32_t kUnimplemented = spUnimplementedErr;

int32_t PI_CDECL CanWrite(PIChannelPort, PIBoolean *canWrite) {
    if (canWrite) *canWrite = 0;
    return kUnknownPort;
}

int32_t PI_CDECL CountLevels(PIChannelPort, int32_t *) {
    return kUnknownPort;
}
int32_t PI_CDECL GetDepth(PIChannelPort, int32_t, int32_t *) {
    return kUnknownPort;
}
int32_t PI_CDECL GetBounds(PIChannelPort, int32_t, VRect *) {
    return kUnknownPort;
}
int32_t PI_CDECL GetTilingGrid(PIChannelPort, int32_t, VPoint *, VPoint *) {
    return kUnknownPort;
}
int32_t PI_CDECL GetSupportRect(PIChannelPort, int32_t, const VRect *, int32_t *, VRect *) {
    return kUnknownPort;
}
int32_t PI_CDECL GetDependentRect(PIChannelPort, int32_t, const VRect *, int32_t, VRect *) {
    return kUnknownPort;
}
int32_t PI_CDECL WritePixelsToBaseLevel(PIChannelPort, VRect *, const PixelMemoryDesc *) {
    return kUnknownPort;
}
int32_t PI_CDECL ReadScaledPixels(PIChannelPort, VRect *, const PSScaling *,
                                  const PixelMemoryDesc *) {
    return kUnknownPort;
}
int32_t PI_CDECL FindSourceForScaledRead(PIChannelPort, const VRect *, const PSScaling *, int32_t,
                                         int32_t *, VRect *, VRect *) {
    return kUnknownPort;
}
int32_t PI_CDECL Freeze(PIChannelPort) {
    return kUnknownPort;
}
int32_t PI_CDECL Restore(PIChannelPort, VRect *) {
    return kUnknownPort;
}

// No port is made, so none is there to dispose.
int32_t PI_CDECL NewPort(PIChannelPort *port, const VRect *, int32_t, PIBoolean) {
    if (port) *port = nullptr;
    return kUnimplemented;
}
int32_t PI_CDECL NewCopyOnWrite(PIChannelPort *port, PIChannelPort, VRect *, PIBoolean) {
    if (port) *port = nullptr;
    return kUnimplemented;
}
int32_t PI_CDECL DisposePort(PIChannelPort *port) {
    return port && *port ? kUnknownPort : 0;
}

// Asking is answered: no operation is supported.
int32_t PI_CDECL SupportsOperation(const char *, PIBoolean *supported) {
    if (supported) *supported = 0;
    return 0;
}
int32_t PI_CDECL ApplyOperation(const char *, PIChannelPort, PIChannelPort, PIChannelPort, void *,
                                VRect *) {
    return kUnimplemented;
}
int32_t PI_CDECL AddOperation(const char *, void *, void *) {
    return kUnimplemented;
}
int32_t PI_CDECL RemoveOperation(const char *, void **) {
    return kUnimplemented;
}

}  // namespace

const PSChannelPortsSuite3 kChannelPortsSuite = {
    CountLevels,
    GetDepth,
    GetBounds,  // data bounds
    GetBounds,  // write limit
    GetTilingGrid,
    GetSupportRect,
    GetDependentRect,
    PortsCanRead,  // the host image's ports (channel_ports.h)
    CanWrite,
    PortsReadPixelsFromLevel,
    WritePixelsToBaseLevel,
    ReadScaledPixels,
    FindSourceForScaledRead,
    NewPort,
    DisposePort,
    SupportsOperation,
    ApplyOperation,
    AddOperation,
    RemoveOperation,
    NewCopyOnWrite,
    Freeze,
    Restore,
};

}  // namespace plug
