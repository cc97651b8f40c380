#include "descriptor.inc"

#include "common/module.h"

FILTER_DESCRIPTOR_SYMBOLS(MODULE_DESCRIPTOR_BYTES)
