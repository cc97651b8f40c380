// What every module exports: FilterEntry and, on ELF builds, its descriptor.
#pragma once

#include "common/filter.h"

extern "C" FE_API int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record);

// Defines the exported descriptor from a string literal of its bytes. The
// literal's own terminating NUL is not part of the descriptor.
#define FILTER_DESCRIPTOR_SYMBOLS(literal)                                    \
    extern "C" FE_API const char FilterDescriptor[sizeof(literal)] = literal; \
    extern "C" FE_API const uint32_t FilterDescriptorSize = sizeof(literal) - 1;

// The 20 bytes every descriptor carries after its tag and number.
#define FILTER_DESCRIPTOR_SIGNATURE "TALVOFILTER - A\0\0\0\0\0"
