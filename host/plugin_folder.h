// The file-format plug-ins of a folder, found as a host finds them: by the
// property list in each file, without loading any. plughost then runs one
// through the "PLGENTRY.INI" route: the host writes the entry points it read
// into a private settings file and names that file's directory.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/pipl.h"

namespace host {

struct Plugin {
    std::string path;
    PluginProperties properties;
};

// The plug-ins in `dir` that this host can run, in file-name order: files
// ending in ".8bi" or the platform's library suffix, in the container this
// platform loads (PE on Windows, ELF elsewhere), whose property list is a
// format plug-in's with an entry point for the running architecture. Other
// files are passed over. False when `dir` cannot be listed.
bool find_plugins(const std::string &dir, std::vector<Plugin> *out);

// The folder used without --plugins: "plugins" beside the modules' directory
// (build/plugins, where the build puts the example plug-in, beside
// build/modules).
std::string default_plugin_dir(const std::string &module_dir);

// A private temporary directory with a "PLGENTRY.INI" that names plug-in i's
// entry point under the key "0x<i>" (so filterId i selects it); removed with
// the object.
class EntryPointFile {
  public:
    static std::unique_ptr<EntryPointFile> create(const std::vector<Plugin> &plugins,
                                                  std::string *error);
    ~EntryPointFile();
    EntryPointFile(const EntryPointFile &) = delete;
    EntryPointFile &operator=(const EntryPointFile &) = delete;
    // The directory, ending in a separator, as getDirectory hands it over.
    const std::string &directory() const { return directory_; }

  private:
    EntryPointFile() = default;
    std::string directory_;
};

}  // namespace host
