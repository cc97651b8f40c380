// The document's resources that a plug-in keeps through resourceProcs:
// copies of its data by type, in the order added, owned by the context and
// released with it (the end of the import or export, or a read run anew).
#pragma once

#include <cstdint>

#include "format_record.h"

namespace plug {

struct ResourceEntry {
    uint32_t type;
    PIHandle data;  // a handle of handleProcs, the host's
};

struct ResourceList {
    ResourceEntry *entries;  // module heap
    int32_t count;
    int32_t capacity;
};

// Disposes of every entry's handle and frees the entries; the list is empty.
void ReleaseResources(ResourceList *list);

// The procedures of resourceProcs, over the list of the context whose
// operation runs (none between operations: nothing to count, get or add).
// Indexes are 1-based among the entries of one type. A handle that get
// returns stays the host's: it is valid until the entry is deleted or the
// list released. add copies the plug-in's data into a new handle, so the
// plug-in may dispose of its own afterwards.
int16_t PI_CDECL ResourceCount(uint32_t type);
PIHandle PI_CDECL ResourceGet(uint32_t type, int16_t index);
void PI_CDECL ResourceDelete(uint32_t type, int16_t index);
int16_t PI_CDECL ResourceAdd(uint32_t type, PIHandle data);

}  // namespace plug
