// String resource 1: the name of the module's compression.
#include "common/module_strings.h"

namespace flt {
const ModuleString kModuleStrings[] = {{1, "RLE Compression"}};
const size_t kModuleStringCount = sizeof kModuleStrings / sizeof kModuleStrings[0];
}  // namespace flt
