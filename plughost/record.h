// The plug-in's parameter record: building it with its service tables, and
// moving the image description between it and the FilterRecord.
#pragma once

#include <cstdint>

#include "common/filter.h"
#include "context.h"
#include "format_record.h"
#include "image_choice.h"

namespace plug {

constexpr int32_t kMaxData = 1000000;
constexpr int32_t kColorSpaceLab = 11;

// Allocates the zero-filled record and its suites and platform block into
// binding->record and fills them for the mode;
// FERR_NO_MEMORY with nothing left allocated when a block cannot be had.
uint32_t BuildFormatRecord(const FilterRecord *record, PluginBinding *binding, ContextMode mode);
// Frees the record's tables and the record; binding->record and
// binding->tables become null.
void FreeFormatRecord(PluginBinding *binding);

// Record to FilterRecord (import) for the chosen image of the file: size,
// depth, palette by mode, resolution, "Uncompressed", the file's images.
// 0, FERR_NO_MEMORY, FERR_PLUGIN for an image the plug-in gave no width or
// height, or FERR_UNSUPPORTED for rows too long for the host.
uint32_t PublishImageHeader(FilterRecord *record, const FormatRecord *format,
                            const ImageChoice &choice);
// FilterRecord to record (export): size, resolution, mode by depth, colour
// tables. 0, or FERR_BAD_REQUEST for a depth no mode fits.
uint32_t DescribeHostImage(const FilterRecord *record, FormatRecord *format);

// Whether the first (low 16 bits of paletteCount) entries are (i, i, i).
bool IsGrayRamp(const FilterRecord *record);
// The FERR_* code for a non-zero plug-in result.
uint32_t MapPluginResult(int16_t result);

// 16.16 pixels per inch <-> pixels per kilometre, truncated.
int32_t ResolutionFromFixed(PIFixed perInch);
PIFixed FixedFromResolution(int32_t perKilometre);

}  // namespace plug
