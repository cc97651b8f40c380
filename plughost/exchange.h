// Moving the chunk a plug-in describes in its record: through advanceState
// (ReadExchange and WriteExchange, declared with the other services) and,
// for chunks a plug-in leaves described when a selector returns, from the
// protocol's loops. Results are advanceState's: 0, or the error word the
// plug-in is to pass back.
#pragma once

#include <cstdint>

#include "common/filter.h"
#include "format_record.h"
#include "row_assembly.h"

namespace plug {

// Read side: the described chunk into the host's rows.
int16_t TakeDescribedChunk(RowAssembly &rows, const FormatRecord *format,
                           const FilterRecord *record);
// Read side: a chunk the plug-in left described in `data` when a selector
// returned, unless it is the one it just handed over through advanceState.
void TakeLeftChunk(RowAssembly &rows, const FormatRecord *format, const FilterRecord *record);
// Whether the running import's exchange declined a chunk or the host
// refused a row: no more rows move.
bool ExchangeStopped();
// Write side: the described chunk filled from the host's rows.
int16_t FillDescribedChunk(const FormatRecord *format, FilterRecord *record);

}  // namespace plug
