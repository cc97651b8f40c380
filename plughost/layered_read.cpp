#include "layered_read.h"

#include "exchange.h"
#include "services.h"

namespace plug {

void PrepareReadStart(FormatRecord *format) {
    format->layerData = 0;
    format->transparencyPlane = -1;
}

uint32_t NoteReadStarted(PluginContext *context) {
    const uint32_t layers = context->binding->record->layerData;
    context->layerFailed = false;
    context->layerCount = 0;
    if (layers > kMaxLayers) return FERR_PLUGIN;
    context->layerCount = layers;
    return 0;
}

int16_t ReadLayers(PluginContext *context, FilterRecord *record, RowAssembly &rows) {
    PluginBinding *binding = context->binding;
    FormatRecord *format = binding->record;
    const uint32_t target = context->choice.layer;
    int16_t result = 0;
    // One ReadLayerContinue per layer: it delivers the whole layer, through
    // advanceState or left in `data`.
    for (uint32_t layer = 0; layer <= target && result == 0 && !ExchangeStopped(); ++layer) {
        const bool chosen = layer == target;
        SetCurrentAssembly(chosen ? &rows : nullptr);
        SetDiscardingRows(!chosen);
        rows.ForgetLast();
        format->layerData = layer;
        format->data = nullptr;
        result = CallSelector(binding, formatSelectorReadLayerStart);
        if (result != 0) break;
        result = CallSelector(binding, formatSelectorReadLayerContinue);
        if (result == 0 && chosen) TakeLeftChunk(rows, format, record);
        // The layer's finish follows whenever its start succeeded.
        const int16_t finished = CallSelector(binding, formatSelectorReadLayerFinish);
        if (result == 0) result = finished;
    }
    SetCurrentAssembly(nullptr);
    SetDiscardingRows(false);
    if (result != 0 || ExchangeStopped()) context->layerFailed = true;
    return result;
}

void PrepareReadFinish(PluginContext *context) {
    const uint32_t layers = context->layerCount;
    context->binding->record->layerData = layers > 1 && !context->layerFailed ? layers - 1 : 0;
}

}  // namespace plug
