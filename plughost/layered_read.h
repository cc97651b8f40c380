// The read of plug-ins that deliver their image in layers: a plug-in that
// sets layerData after ReadStart is read through the layer selectors
// (ReadLayerStart, ReadLayerContinue, ReadLayerFinish) with layerData set to
// the 0-based layer index before each, instead of ReadContinue. layerData
// is the plug-in's count of layers until then.
#pragma once

#include <cstdint>

#include "common/filter.h"
#include "context.h"
#include "row_assembly.h"

namespace plug {

// Readies the fields the plug-in answers at ReadStart: no layers, and no
// transparency plane named (-1, which also tells plug-ins that the host
// takes one).
void PrepareReadStart(FormatRecord *format);
// Takes the plug-in's layer count after a successful ReadStart. FERR_PLUGIN
// for more layers than the host can number.
uint32_t NoteReadStarted(PluginContext *context);

// Runs layers 0 to context->choice.layer in order, the plug-in producing
// them only one after the other, and hands the chosen one's pixels to
// `rows` (the earlier layers' go nowhere). Returns the first failing result;
// a failure marks context->layerFailed.
int16_t ReadLayers(PluginContext *context, FilterRecord *record, RowAssembly &rows);

// Sets layerData for ReadFinish. Plug-ins that read an animation free their
// decoder at ReadFinish when layerData is above 0, and may have freed it
// already when a layer failed: 0 for a still image and after a failed
// layer, the last layer's index after a clean read of several.
void PrepareReadFinish(PluginContext *context);

}  // namespace plug
