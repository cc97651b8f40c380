// The record's documentInfo: the host's image described for plug-ins that
// read their pixels themselves through channel ports (red, green, blue and,
// when the host gave one, the alpha plane), and the ports it hands out.
#pragma once

#include <cstdint>

#include "format_record.h"
#include "host_image_ports.h"

namespace plug {

// One block: the description, its channels and the bytes whose addresses
// are the ports (plug-ins see a port as an opaque pointer; plughost only
// ever compares it with these addresses).
struct DocumentBlock {
    ReadImageDocumentDesc document;
    ReadChannelDesc channels[kPortChannels];
    char ports[kPortChannels];
};

// A zero-filled block; null when out of memory.
DocumentBlock *NewDocumentBlock();
void FreeDocumentBlock(DocumentBlock *block);

// Fills the block from the image and the record's description (resolution,
// colour tables) and points the record's documentInfo at it. Every field is
// written again, so what a plug-in changed in an earlier phase is gone.
void DescribeDocument(DocumentBlock *block, const HostImage &image, FormatRecord *format);

// The channel a port names, or -1 for a pointer that is none of the block's
// ports, or whose channel the image does not have now (null block too).
int32_t ChannelOfPort(const DocumentBlock *block, const HostImage &image, PIChannelPort port);

}  // namespace plug
