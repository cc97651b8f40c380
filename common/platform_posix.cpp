// POSIX implementation of the platform layer.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "common/library_link.h"
#include "common/module_strings.h"
#include "common/platform.h"

namespace flt {
namespace {
// Stands in for the instance handle: any address unique to this module.
char g_instance_anchor;
void *g_instance = nullptr;

struct LinkedLibrary {
    const char *path;
    const char *symbol;
    void *address;
    int loads;
};
LinkedLibrary g_linked = {nullptr, nullptr, nullptr, 0};

bool is_linked(const void *library) {
    return g_linked.path && library == &g_linked;
}
}  // namespace

void *platform_heap_alloc(size_t size) {
    return std::malloc(size);
}
void *platform_heap_realloc(void *block, size_t size) {
    return std::realloc(block, size);
}
void platform_heap_free(void *block) {
    std::free(block);
}

void *platform_module_instance() {
    return g_instance ? g_instance : &g_instance_anchor;
}
void platform_set_module_instance(void *instance) {
    g_instance = instance;
}

int platform_load_string(uint32_t id, char *buffer, int size) {
    if (!buffer || size <= 0) return 0;
    for (size_t i = 0; i < kModuleStringCount; ++i) {
        if (kModuleStrings[i].id != id) continue;
        size_t length = std::strlen(kModuleStrings[i].text);
        if (length > static_cast<size_t>(size - 1)) length = static_cast<size_t>(size - 1);
        std::memcpy(buffer, kModuleStrings[i].text, length);
        buffer[length] = '\0';
        return static_cast<int>(length);
    }
    buffer[0] = '\0';
    return 0;
}

void library_link(const char *path, const char *symbol, void *address) {
    g_linked = {path, symbol, address, 0};
}

int library_link_loads() {
    return g_linked.loads;
}

void *platform_library_load(const char *path) {
    if (!path) return nullptr;
    if (g_linked.path && std::strcmp(path, g_linked.path) == 0) {
        ++g_linked.loads;
        return &g_linked;
    }
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void *platform_library_symbol(void *library, const char *name) {
    if (!library || !name) return nullptr;
    if (is_linked(library))
        return std::strcmp(name, g_linked.symbol) == 0 ? g_linked.address : nullptr;
    return dlsym(library, name);
}

void platform_library_free(void *library) {
    if (is_linked(library)) {
        --g_linked.loads;
        return;
    }
    if (library) dlclose(library);
}

// No display to ask: report a 96-dot-per-inch screen of 1920 x 1080 pixels.
bool platform_screen_metrics(ScreenMetrics *metrics) {
    metrics->horzRes = 1920;
    metrics->horzSizeMm = 508;
    metrics->vertRes = 1080;
    metrics->vertSizeMm = 286;
    return true;
}

// Without a file-title service the last path component serves.
int32_t platform_file_title(const char *path, char *buffer, uint16_t size) {
    if (!path) return -1;
    const char *title = path;
    for (const char *p = path; *p; ++p)
        if (*p == '/' || *p == '\\' || *p == ':') title = p + 1;
    size_t length = std::strlen(title);
    if (length == 0) return -1;
    if (!buffer || size < length + 1) return static_cast<int32_t>(length + 1);
    std::memcpy(buffer, title, length + 1);
    return 0;
}

FilterWindow platform_active_window() {
    return nullptr;
}

}  // namespace flt
