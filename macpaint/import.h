// paintxchg import operations.
#pragma once

#include "common/filter.h"

namespace paint {

// FE_IDENTIFY: checks the file and describes the picture; keeps a PaintState
// in filterState. Returns 1, or 0 with errorCode set.
int32_t PaintIdentify(FilterRecord *record);
// FE_IMPORT: identifies afresh, makes the header call and delivers the rows
// (region or scaled); always releases the PaintState.
int32_t PaintImport(FilterRecord *record);
// FE_END_IMPORT: releases the palette, compressionName and any PaintState
// that identify left in the record; returns 1.
int32_t PaintEndImport(FilterRecord *record);

}  // namespace paint
