#include "resource_list.h"

#include <cstring>

#include "common/heap.h"
#include "context.h"
#include "services.h"

namespace plug {
namespace {

// count answers in 16 bits: no more entries than it can tell.
constexpr int32_t kMaxEntries = INT16_MAX;

ResourceList *CurrentList() {
    FilterRecord *record = CurrentFilter();
    PluginContext *context = record ? context_of(record) : nullptr;
    return context ? &context->resources : nullptr;
}

// The position in the list of the index-th (1-based) entry of `type`, or -1.
int32_t Find(const ResourceList *list, uint32_t type, int16_t index) {
    if (!list || index < 1) return -1;
    int16_t seen = 0;
    for (int32_t i = 0; i < list->count; ++i)
        if (list->entries[i].type == type && ++seen == index) return i;
    return -1;
}

bool MakeRoom(ResourceList *list) {
    if (list->count < list->capacity) return true;
    if (list->capacity >= kMaxEntries) return false;
    int32_t capacity = list->capacity ? list->capacity * 2 : 4;
    if (capacity > kMaxEntries) capacity = kMaxEntries;
    void *grown = flt::heap_realloc(list->entries, sizeof(ResourceEntry) * capacity);
    if (!grown) return false;
    list->entries = static_cast<ResourceEntry *>(grown);
    list->capacity = capacity;
    return true;
}

// A new handle with the data of `data`; null when it cannot be had.
PIHandle CopyHandle(PIHandle data) {
    int32_t size = HandleGetSize(data);
    PIHandle copy = HandleNew(size);
    if (copy && size > 0) std::memcpy(*copy, *data, static_cast<size_t>(size));
    return copy;
}

}  // namespace

void ReleaseResources(ResourceList *list) {
    for (int32_t i = 0; i < list->count; ++i) HandleDispose(list->entries[i].data);
    flt::heap_release(list->entries);
    list->count = list->capacity = 0;
}

int16_t PI_CDECL ResourceCount(uint32_t type) {
    const ResourceList *list = CurrentList();
    int16_t count = 0;
    for (int32_t i = 0; list && i < list->count; ++i)
        if (list->entries[i].type == type) ++count;
    return count;
}

PIHandle PI_CDECL ResourceGet(uint32_t type, int16_t index) {
    const ResourceList *list = CurrentList();
    int32_t at = Find(list, type, index);
    return at < 0 ? nullptr : list->entries[at].data;
}

void PI_CDECL ResourceDelete(uint32_t type, int16_t index) {
    ResourceList *list = CurrentList();
    int32_t at = Find(list, type, index);
    if (at < 0) return;
    HandleDispose(list->entries[at].data);
    std::memmove(list->entries + at, list->entries + at + 1,
                 sizeof(ResourceEntry) * static_cast<size_t>(list->count - at - 1));
    --list->count;
}

int16_t PI_CDECL ResourceAdd(uint32_t type, PIHandle data) {
    ResourceList *list = CurrentList();
    if (!list) return piParamErr;
    if (!data) return piNilHandleErr;
    if (!MakeRoom(list)) return piMemFullErr;
    PIHandle copy = CopyHandle(data);
    if (!copy) return piMemFullErr;
    list->entries[list->count++] = {type, copy};
    return piNoErr;
}

}  // namespace plug
