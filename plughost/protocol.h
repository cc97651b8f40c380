// The opcodes of plughost: each runs the plug-in's selectors in the order
// the plug-in interface prescribes and returns FilterEntry's result.
#pragma once

#include <cstdint>

#include "common/filter.h"

namespace plug {

int32_t Identify(FilterRecord *record);
int32_t Import(FilterRecord *record);
int32_t Options(FilterRecord *record);
int32_t Export(FilterRecord *record);
int32_t EndImport(FilterRecord *record);
int32_t EndExport(FilterRecord *record);

}  // namespace plug
