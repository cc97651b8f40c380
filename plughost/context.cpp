#include "context.h"

#include <cstdio>
#include <cstring>

#include "common/heap.h"
#include "common/platform.h"
#include "common/platform_plugin.h"
#include "document_info.h"
#include "plugin_settings.h"
#include "record.h"
#include "services.h"

namespace plug {

void ReadEntryPointName(FilterRecord *record, char *name) {
    std::snprintf(name, kPathSize, "%s", kDefaultEntry);
    char key[12];
    std::snprintf(key, sizeof key, "0x%x", record->filterId);
    HostServices *services = record->hostServices;
    HostServiceEntry service = services ? services->entry[HS_GET_DIRECTORY] : nullptr;
    // Without the host's directory there is no file to read: a path relative
    // to whatever the current directory happens to be would be a guess.
    if (!service) return;
    char path[kPathSize] = {};
    filter_proc_cast<HostDirectoryProc>(service)(path, kPathSize);
    path[kPathSize - 1] = '\0';
    size_t length = std::strlen(path);
    // A directory that leaves no room for the file name is not cut short
    // (that would name another file): the default entry serves.
    if (length + sizeof kIniName > sizeof path) return;
    std::memcpy(path + length, kIniName, sizeof kIniName);
    flt::platform_profile_string(kIniSection, key, kDefaultEntry, name, kPathSize, path);
}

uint32_t LoadPlugin(FilterRecord *record, PluginBinding *binding) {
    char name[kPathSize];
    ReadEntryPointName(record, name);
    void *library = flt::platform_library_load(record->pluginPath);
    if (!library) return FERR_PLUGIN_LOAD;
    void *entry = flt::platform_library_symbol(library, name);
    if (!entry) {
        flt::platform_library_free(library);
        return FERR_PLUGIN_LOAD;
    }
    binding->library = library;
    binding->entry = reinterpret_cast<PluginEntryProc>(entry);
    // The data word belongs to this load of the library: plug-ins keep the
    // address of a block from their own runtime's heap in it, which may go
    // with the library when it is freed, so a word from an earlier load is
    // never handed to a fresh one. Within the load it is passed back
    // untouched on every call. plughost never frees the block (only the
    // plug-in's runtime could); keeping the library loaded for the module's
    // life instead would keep every plug-in ever run in the process and
    // its files locked, which hosts of these modules do not expect.
    binding->pluginData = 0;
    return 0;
}

void UnloadPlugin(PluginBinding *binding) {
    if (binding->library) flt::platform_library_free(binding->library);
    binding->library = nullptr;
    binding->entry = nullptr;
}

namespace {

// Steps common to both modes: context, binding, record, library.
uint32_t OpenContext(FilterRecord *record, ContextMode mode) {
    auto *context = static_cast<PluginContext *>(flt::heap_alloc_zero(sizeof(PluginContext)));
    if (!context) return FERR_NO_MEMORY;
    context->mode = mode;
    record->filterState = context;
    context->binding = static_cast<PluginBinding *>(flt::heap_alloc_zero(sizeof(PluginBinding)));
    uint32_t code = context->binding ? BuildFormatRecord(record, context->binding, mode)
                                     : static_cast<uint32_t>(FERR_NO_MEMORY);
    if (code == 0) code = LoadPlugin(record, context->binding);
    if (code != 0) ReleaseContext(record);
    return code;
}

}  // namespace

uint32_t OpenReadContext(FilterRecord *record) {
    if (record->fileData) {
        flt::platform_unmap_view(record->fileData, record->fileSize);
        record->fileData = nullptr;
    }
    return OpenContext(record, kReadMode);
}

uint32_t OpenWriteContext(FilterRecord *record) {
    uint32_t code = OpenContext(record, kWriteMode);
    if (code != 0) return code;
    PluginContext *context = context_of(record);
    PluginBinding *binding = context->binding;
    code = DescribeHostImage(record, binding->record);
    if (code == 0) code = PlaySettings(record, binding);
    CaptureHostImage(record, &context->image);
    // documentInfo is never null in a write context: plug-ins read it
    // without looking.
    if (code == 0) {
        context->document = NewDocumentBlock();
        if (context->document)
            DescribeDocument(context->document, context->image, binding->record);
        else
            code = FERR_NO_MEMORY;
    }
    if (code != 0) ReleaseContext(record);
    return code;
}

void ReleaseContext(FilterRecord *record) {
    PluginContext *context = context_of(record);
    if (context) {
        if (PluginBinding *binding = context->binding) {
            UnloadPlugin(binding);
            FreeFormatRecord(binding);
            flt::heap_free(binding);
        }
        ReleaseHostImage(&context->image);
        FreeDocumentBlock(context->document);
        ReleaseResources(&context->resources);
        flt::heap_free(context);
    }
    record->filterState = nullptr;
}

int16_t CallSelector(PluginBinding *binding, int16_t selector) {
    int16_t result = 0;
    binding->entry(selector, binding->record, &binding->pluginData, &result);
    return result;
}

}  // namespace plug
