// Suites that hand out, by name, tables the record already carries: the
// record's form with its version and count words in front, over the same
// procedures as the record's own copies.
#include "resource_list.h"
#include "services.h"
#include "suites/registry.h"

namespace plug {

const BufferProcs kBufferProcsSuite = {
    2,          8,           BufferAllocate, BufferLock,       BufferUnlock,
    BufferFree, BufferSpace, BufferReserve,  BufferAllocate64, BufferSpace64,
};

const PropertyProcs kPropertySuite = {1, 2, PropertyGet, PropertySet};

const ResourceProcs kResourceSuite = {3,          4, ResourceCount, ResourceGet, ResourceDelete,
                                      ResourceAdd};

}  // namespace plug
