// The suites plug-ins ask the basic suite for by name and version, each in a
// file of its own, and the one table that finds them. Every table is constant
// data, so a plug-in may keep a suite's address for as long as the module is
// loaded (some release their suites only while the host unloads them).
#pragma once

#include <cstdint>

#include "format_record.h"

namespace plug {

// The table registered under exactly `name` (compared byte for byte) and
// `version`, or null.
const void *FindSuite(const char *name, int32_t version);

// Buffer suite: the same table serves version 1 (its first four procedures)
// and version 2.
extern const PSBufferSuite2 kBufferSuite;
// Handle suite over the handles of the record's handleProcs.
extern const PSHandleSuite1 kHandleSuite1;
extern const PSHandleSuite2 kHandleSuite2;
// ChannelPorts suite: the same table serves version 2 (its first fifteen
// procedures) and version 3.
extern const PSChannelPortsSuite3 kChannelPortsSuite;
// The record's own tables under a name, with their version and count words.
extern const BufferProcs kBufferProcsSuite;
extern const PropertyProcs kPropertySuite;
extern const ResourceProcs kResourceSuite;

}  // namespace plug
