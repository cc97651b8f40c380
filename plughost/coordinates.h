// The record's image size and chunk rectangle come in two widths: 16-bit
// fields every plug-in knows, and 32-bit ones (imageSize32, theRect32) that
// a plug-in uses once it sets PluginUsing32BitCoordinates. Everything that
// reads or writes a size or a rectangle goes through here, so that both
// directions agree on which fields count.
#pragma once

#include <cstdint>

#include "format_record.h"

namespace plug {

// Whether the plug-in said it reads and writes the 32-bit fields.
inline bool UsesWideCoordinates(const FormatRecord *format) {
    return format->PluginUsing32BitCoordinates != 0;
}

// The image size the plug-in stated (read side).
void ImageSizeOf(const FormatRecord *format, int32_t *width, int32_t *height);
// The chunk rectangle the plug-in described.
VRect ChunkRectOf(const FormatRecord *format);
// Empties the chunk rectangle in both widths.
void ClearChunkRect(FormatRecord *format);

// Describes the host image's size for a save: imageSize32 always, imageSize
// when the size fits its 16 bits, else 0 (see SizeVisibleToPlugin).
void SetHostImageSize(FormatRecord *format, int32_t width, int32_t height);
// Whether the plug-in can see the size set by SetHostImageSize: it uses the
// 32-bit fields, or the size fits the 16-bit ones.
bool SizeVisibleToPlugin(const FormatRecord *format);

}  // namespace plug
