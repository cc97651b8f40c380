// The work behind filterhost's commands, one file at a time. Each function
// returns an empty string on success, or the reason of the failure as
// filterhost prints it after "filterhost: ".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/plugin_folder.h"

namespace filterhost {

struct Options {
    std::string modules_dir;
    std::string plugin;
    std::string plugin_dir;
    std::string ini;
    uint32_t filter_id = 0;
    int32_t index = 0;
    FilterRect region{};
    bool fit = false;
    bool interlace = false;
    // Settings for the plug-in that saves, as its settings file holds them
    // ("wrtl=long:100"): they count for this run, and are stored only when
    // the plug-in hands them back.
    std::vector<std::string> plugin_settings;
    // Told the percent of each row the modules deliver while importing;
    // empty when nobody draws a bar.
    std::function<void(int32_t percent)> on_percent;
};

// The modules loaded once for a whole run, and the plug-ins of the
// plug-in folder that plughost runs for it.
struct Modules {
    std::vector<std::unique_ptr<host::Module>> loaded;
    std::string error;  // why one did not load
    std::vector<host::Plugin> plugins;
    std::unique_ptr<host::EntryPointFile> entries;  // their entry points, by index
};
Modules load_modules(const std::string &dir);
// Finds the plug-ins of `dir` (see find_plugins) and writes their entry
// points where plughost looks them up. A folder that cannot be listed, or
// entry points that cannot be written, are an error only when `named` (the
// user gave the folder); the default folder may be absent.
std::string load_plugins(Modules *modules, const std::string &dir, bool named);

// Prints one line per module (name, format, extensions, capabilities) and
// its compression entries, then one per plug-in of the folder (name,
// extensions, read/write, file).
std::string list_formats(const Modules &modules);

// Appends to *text what the module that recognises `path` reports of it:
// size, depth, images, resolution, palette, and one line per image when the
// file holds several.
std::string describe_file(const Modules &modules, const Options &o, const std::string &path,
                          std::string *text);

// Reads `in` (through the module that recognises it, or the host's own
// netpbm reader) and writes `out` with the module that writes its extension
// (or the plug-in, or the host's netpbm writer).
std::string convert_file(const Modules &modules, const Options &o, const std::string &in,
                         const std::string &out);

}  // namespace filterhost
