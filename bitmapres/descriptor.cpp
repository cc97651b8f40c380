#include "common/module.h"
#include "descriptor.inc"

FILTER_DESCRIPTOR_SYMBOLS(MODULE_DESCRIPTOR_BYTES)
