// The per-FilterRecord state of plughost: the context that keeps one loaded
// plug-in between calls, and its opening and release.
#pragma once

#include <cstdint>

#include "common/filter.h"
#include "format_record.h"
#include "host_image_ports.h"
#include "image_choice.h"
#include "resource_list.h"

namespace plug {

struct DocumentBlock;

constexpr int kPathSize = 260;
constexpr char kIniName[] = "PLGENTRY.INI";
constexpr char kIniSection[] = "Plugins EntryPoints";
constexpr char kDefaultEntry[] = "ENTRYPOINT";

// The suite tables and platform block whose addresses the record carries,
// in one block owned by the binding.
struct RecordTables {
    BufferProcs buffer;
    HandleProcs handle;
    ResourceProcs resource;
    ChannelPortProcs channelPorts;
    PropertyProcs property;
    SPBasicSuite basic;
    PlatformData platform;
    PIDescriptorParameters descriptorParameters;
    ReadDescriptorProcs readDescriptor;
    WriteDescriptorProcs writeDescriptor;
};

struct PluginBinding {
    FormatRecord *record;
    RecordTables *tables;
    // The plug-in's data word; pointer-sized so that a 64-bit plug-in can keep
    // an address in it (four bytes on 32-bit targets). 0 at every load of
    // the library, kept from call to call while it stays loaded.
    intptr_t pluginData;
    PluginEntryProc entry;
    void *library;
};

enum ContextMode : uint32_t { kReadMode = 1, kWriteMode = 2 };

// Where the plug-in's read stands: not started (or finished), started by
// ReadStart with no ReadContinue yet, or used by an import (its continue
// loop ran, to the end or not).
enum ReadPhase : uint32_t { kReadIdle = 0, kReadStarted = 1, kReadUsed = 2 };

struct PluginContext {
    PluginBinding *binding;
    uint32_t optionsDone;
    // Fixed when the context is opened; decides the record's exchange.
    ContextMode mode;
    ReadPhase readPhase;
    // Read contexts: the layers the plug-in announced in layerData after
    // ReadStart (0: it reads flat), whether one of them failed, and the
    // image the host chose (layered_read.h, image_choice.h).
    uint32_t layerCount;
    bool layerFailed;
    ImageChoice choice;
    // Write contexts: the host's image the save reads, and the documentInfo
    // block that shows it to plug-ins (from the opening to the release).
    HostImage image;
    DocumentBlock *document;
    // What the plug-in added through resourceProcs for this document.
    ResourceList resources;
};

inline PluginContext *context_of(const FilterRecord *record) {
    return static_cast<PluginContext *>(record->filterState);
}

// Copies the entry-function name for record->filterId from PLGENTRY.INI in
// the host's directory into name (kPathSize bytes); "ENTRYPOINT" when the file
// or key is missing or the directory cannot take the file name.
void ReadEntryPointName(FilterRecord *record, char *name);

// Opens a context in filterState: read mode releases the host's view of the
// file first; write mode ends with DescribeHostImage, the image captured
// and the documentInfo block. Returns 0, or the
// FERR_* code after releasing everything (filterState null).
uint32_t OpenReadContext(FilterRecord *record);
uint32_t OpenWriteContext(FilterRecord *record);

// Loads pluginPath and resolves the configured entry into the binding;
// FERR_PLUGIN_LOAD (library released again) when either is missing.
uint32_t LoadPlugin(FilterRecord *record, PluginBinding *binding);
// Frees the library if held and clears library and entry.
void UnloadPlugin(PluginBinding *binding);

// Releases the library, the record with its tables, the binding and the
// context, as far as they exist, and sets filterState to null.
void ReleaseContext(FilterRecord *record);

// Calls the plug-in with a selector and returns its result word.
int16_t CallSelector(PluginBinding *binding, int16_t selector);

}  // namespace plug
