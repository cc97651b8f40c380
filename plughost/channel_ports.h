// The channel-port procedures plughost offers: reading the host's image
// channel by channel through the ports of documentInfo, as the ChannelPorts
// suite's CanRead and ReadPixelsFromLevel and as the record's
// channelPortProcs. Only the current write context's ports are known; any
// other pointer is an unknown port. Writing is not offered: every port is
// read-only.
#pragma once

#include <cstdint>

#include "format_record.h"

namespace plug {

// Suite procedures (SPErr results).
int32_t PI_CDECL PortsCanRead(PIChannelPort port, PIBoolean *canRead);
int32_t PI_CDECL PortsReadPixelsFromLevel(PIChannelPort port, int32_t level, VRect *rect,
                                          const PixelMemoryDesc *destination);

// The record's channelPortProcs (version 1, three procedures).
int16_t PI_CDECL PortsReadPixels(PIChannelPort port, const PSScaling *scaling,
                                 const VRect *writeRect, const PixelMemoryDesc *destination,
                                 VRect *wroteRect);
int16_t PI_CDECL PortsWriteBasePixels(PIChannelPort port, const VRect *writeRect,
                                      const PixelMemoryDesc *source);
int16_t PI_CDECL PortsReadPortForWritePort(PIChannelPort *readPort, PIChannelPort writePort);
void FillChannelPortProcs(ChannelPortProcs *procs);

}  // namespace plug
