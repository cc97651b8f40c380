// The phases of saving through a plug-in (options, estimate, write): each a
// prepare, a start, a continue repeated while the plug-in asks for a chunk,
// and a finish.
#pragma once

#include <cstdint>

#include "context.h"

namespace plug {

struct SavePhase {
    int16_t prepare, start, next, finish;
    // Whether a failing finish fails the phase (the write finish's result is
    // not looked at: the file is written by then).
    bool finishCounts;
};

constexpr SavePhase kOptionsPhase = {formatSelectorOptionsPrepare, formatSelectorOptionsStart,
                                     formatSelectorOptionsContinue, formatSelectorOptionsFinish,
                                     true};
constexpr SavePhase kEstimatePhase = {formatSelectorEstimatePrepare, formatSelectorEstimateStart,
                                      formatSelectorEstimateContinue, formatSelectorEstimateFinish,
                                      true};
constexpr SavePhase kWritePhase = {formatSelectorWritePrepare, formatSelectorWriteStart,
                                   formatSelectorWriteContinue, formatSelectorWriteFinish, false};

// Runs one phase with the record as the current pair's. Prepare and start
// run each only after the one before succeeded; then, while the plug-in
// leaves a chunk described in `data`, the chunk is filled from the host's
// rows (when `hostRows`) and the continue selector called; the finish
// follows whenever the start succeeded. Returns the first failing result, or
// 0; a chunk plughost declined to fill ends the loop with the exchange's
// fault noted (LastExchangeOutcome).
int16_t RunSavePhase(PluginBinding *binding, const SavePhase &phase, bool hostRows);

}  // namespace plug
