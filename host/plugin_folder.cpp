#include "host/plugin_folder.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/host.h"
#include "host/library.h"

namespace host {
namespace fs = std::filesystem;
namespace {

// A plug-in file is a library; nothing larger is read to look for a list.
constexpr uintmax_t kLargestPlugin = 256u << 20;

#if defined(_WIN32)
constexpr PluginContainer kLoadable = PluginContainer::kPe;
#else
constexpr PluginContainer kLoadable = PluginContainer::kElf;
#endif

bool has_plugin_suffix(const fs::path &path) {
    std::string ext = path.extension().string();
    for (char &c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".8bi" || ext == kModuleSuffix;
}

bool read_plugin(const fs::path &path, Plugin *plugin) {
    std::error_code error;
    if (!fs::is_regular_file(path, error) || fs::file_size(path, error) > kLargestPlugin || error)
        return false;
    std::vector<uint8_t> bytes;
    if (!read_file(path.string(), &bytes)) return false;
    const uint8_t *pipl = nullptr;
    size_t size = 0;
    if (find_pipl(bytes.data(), bytes.size(), &pipl, &size) != kLoadable) return false;
    if (!parse_pipl(pipl, size, running_code_key(), &plugin->properties)) return false;
    plugin->path = path.string();
    if (plugin->properties.name.empty()) plugin->properties.name = path.stem().string();
    // The name goes into a settings file line: nothing that could end it.
    const std::string &entry = plugin->properties.entry;
    return !entry.empty() && std::all_of(entry.begin(), entry.end(), [](char c) {
        return std::isgraph(static_cast<unsigned char>(c)) && c != '=';
    });
}

}  // namespace

bool find_plugins(const std::string &dir, std::vector<Plugin> *out) {
    out->clear();
    std::error_code error;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        if (has_plugin_suffix(it->path())) files.push_back(it->path());
    if (error) return false;
    std::sort(files.begin(), files.end());
    for (const fs::path &file : files) {
        Plugin plugin;
        if (read_plugin(file, &plugin)) out->push_back(std::move(plugin));
    }
    return true;
}

std::string default_plugin_dir(const std::string &module_dir) {
    fs::path dir(module_dir);
    if (!dir.has_filename()) dir = dir.parent_path();  // "modules/"
    return (dir.parent_path() / "plugins").lexically_normal().string();
}

std::unique_ptr<EntryPointFile> EntryPointFile::create(const std::vector<Plugin> &plugins,
                                                       std::string *error) {
    std::error_code e;
    const fs::path temp = fs::temp_directory_path(e);
    if (e) {
        *error = "no temporary directory for the plug-ins' entry points";
        return nullptr;
    }
    // A name nobody else has: create_directory fails on an existing one.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir;
    for (int attempt = 0; attempt < 100; ++attempt) {
        dir = temp / ("filterhost-" + std::to_string(stamp) + "-" + std::to_string(attempt));
        if (fs::create_directory(dir, e)) break;
        dir.clear();
    }
    if (dir.empty()) {
        *error = "cannot create a directory in " + temp.string();
        return nullptr;
    }
    std::unique_ptr<EntryPointFile> file(new EntryPointFile);
    file->directory_ = (dir / "").string();
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, e);
    std::string text = "[Plugins EntryPoints]\r\n";
    char key[16];
    for (size_t i = 0; i < plugins.size(); ++i) {
        std::snprintf(key, sizeof key, "0x%x", static_cast<unsigned>(i));
        text += key + ("=" + plugins[i].properties.entry) + "\r\n";
    }
    if (!write_file(file->directory_ + "PLGENTRY.INI",
                    std::vector<uint8_t>(text.begin(), text.end()))) {
        *error = "cannot write " + file->directory_ + "PLGENTRY.INI";
        return nullptr;
    }
    return file;
}

EntryPointFile::~EntryPointFile() {
    std::error_code e;
    fs::remove_all(directory_, e);
}

}  // namespace host
