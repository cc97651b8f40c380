// filterhost's commands for one file: list the modules' formats, identify a
// file, convert between formats by driving the modules as a host does.
#include "host/commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "host/settings_file.h"

namespace filterhost {
namespace {

// printf onto the end of *text.
template <typename... Args>
void appendf(std::string *text, const char *format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n <= 0) return;
    const size_t at = text->size();
    text->resize(at + static_cast<size_t>(n) + 1);
    std::snprintf(&(*text)[at], static_cast<size_t>(n) + 1, format, args...);
    text->resize(at + static_cast<size_t>(n));
}

// The extension of a path, lower case, without the dot.
std::string extension_of(const std::string &path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char &c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::string none_loaded(const Modules &modules) {
    return modules.error.empty() ? "no modules found" : modules.error;
}

bool is_plughost(const host::Module &m) {
    return m.name() == "plughost";
}

const host::Module *plughost_of(const Modules &modules) {
    for (const auto &m : modules.loaded)
        if (is_plughost(*m)) return m.get();
    return nullptr;
}

bool listed(const std::vector<std::string> &extensions, const std::string &ext) {
    return std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
}

// Who reads or writes a file: a module, and when it is plughost, the plug-in
// of the folder it runs (-1: the one --plugin names).
struct Handler {
    const host::Module *module = nullptr;
    int plugin = -1;
};

void prepare_session(host::Session &s, const Options &o, const Modules &modules, const Handler &h) {
    if (h.plugin >= 0) {
        // The folder's plug-in i is filterId i in the entry points filterhost wrote.
        s.record().pluginPath = const_cast<char *>(modules.plugins[h.plugin].path.c_str());
        s.record().filterId = static_cast<uint32_t>(h.plugin);
        s.directory = modules.entries->directory();
    } else if (!o.plugin.empty()) {
        s.record().pluginPath = const_cast<char *>(o.plugin.c_str());
        s.record().filterId = o.filter_id;
        std::string dir = o.plugin_dir;
        if (dir.empty()) {
            size_t slash = o.plugin.find_last_of('/');
            dir = slash == std::string::npos ? "." : o.plugin.substr(0, slash);
        }
        s.directory = dir + "/";
    }
    if (!o.ini.empty()) s.record().iniPath = const_cast<char *>(o.ini.c_str());
    if (o.on_percent) {
        s.on_row = [&o](const host::RowCall &c, const uint8_t *) { o.on_percent(c.percent); };
    }
}

// The modules that may read a file: plughost first when a plug-in is named
// (so the plug-in gets the file before the built-in formats), the built-in
// format modules, then the folder's plug-ins that read, those that claim the
// file's extension first. Built-in modules go before the folder's plug-ins:
// they need no foreign library loaded and run to ask.
std::vector<Handler> readers(const Modules &all, const Options &o, const std::string &path) {
    std::vector<Handler> out;
    const host::Module *plughost = plughost_of(all);
    if (plughost && !o.plugin.empty()) out.push_back({plughost, -1});
    for (const auto &m : all.loaded)
        if (!is_plughost(*m)) out.push_back({m.get(), -1});
    if (!plughost || !o.plugin.empty()) return out;
    const std::string ext = extension_of(path);
    for (bool claimed : {true, false}) {
        for (size_t i = 0; i < all.plugins.size(); ++i) {
            const host::PluginProperties &p = all.plugins[i].properties;
            if (p.can_read && listed(p.read_extensions, ext) == claimed)
                out.push_back({plughost, static_cast<int>(i)});
        }
    }
    return out;
}

// Hands the input to the session: plughost's plug-ins read the file through
// its handle, the format modules take the bytes.
bool hand_over_input(host::Session &s, const std::vector<uint8_t> &bytes, const std::string &path) {
    if (is_plughost(s.module())) return s.map_file(path);
    s.set_file(bytes);
    return true;
}

// The first reader that recognises the file. When none does, *why tells
// how the first plug-in that claims the file's extension refused it, since
// that plug-in was expected to read it.
Handler identify(const Modules &modules, const std::vector<uint8_t> &bytes, const Options &o,
                 const std::string &path, std::string *why) {
    for (const Handler &h : readers(modules, o, path)) {
        host::Session s(*h.module);
        prepare_session(s, o, modules, h);
        if (!hand_over_input(s, bytes, path)) continue;
        bool ok = s.identify();
        s.end_import();
        if (ok) return h;
        const host::Plugin *p = h.plugin >= 0 ? &modules.plugins[h.plugin] : nullptr;
        if (p && why->empty() && listed(p->properties.read_extensions, extension_of(path)))
            *why = " (plug-in " + p->properties.name + ": " +
                   host::error_message(s.record().errorCode) + ")";
    }
    return {};
}

// One line per image of a file that holds several (bitmap resources,
// colour image and transparency plane).
void list_images(const Modules &modules, const Handler &h, const std::vector<uint8_t> &bytes,
                 const Options &o, int32_t count, std::string *text) {
    for (int32_t index = 1; index <= count; ++index) {
        host::Session s(*h.module);
        prepare_session(s, o, modules, h);
        s.set_file(bytes);
        s.record().imageIndex = index;
        const FilterRecord &r = s.record();
        if (s.identify()) {
            appendf(text,
                    "image %d: %d x %d, %d bits per pixel (%d in the file), %d palette entries\n",
                    index, r.width, r.height, r.bitsPerPixel, r.fileBitsPerPixel, r.paletteCount);
        } else {
            appendf(text, "image %d: %s\n", index, host::error_message(r.errorCode).c_str());
        }
        s.end_import();
    }
}

void describe_record(const Modules &modules, const Handler &h, const FilterRecord &r,
                     std::string *text) {
    const host::Module &m = *h.module;
    appendf(text, "module: %s (%s)\n", m.name().c_str(), m.descriptor().name.c_str());
    if (h.plugin >= 0) {
        const host::Plugin &p = modules.plugins[h.plugin];
        appendf(text, "plug-in: %s (%s)\n", p.properties.name.c_str(), p.path.c_str());
    }
    appendf(text, "size: %d x %d, %d bits per pixel (%d in the file)\n", r.width, r.height,
            r.bitsPerPixel, r.fileBitsPerPixel);
    appendf(text, "images: %d (index %d), plane kind %d, linked %d\n", r.imageCount, r.imageIndex,
            r.planeKind, r.linkedCount);
    appendf(text, "resolution: %d x %d pixels per km\n", r.xResolution, r.yResolution);
    appendf(text, "palette: %d entries\n", r.paletteCount);
    if (r.compressionName) appendf(text, "compression: %s\n", r.compressionName);
    if (r.comment) appendf(text, "comment: %s\n", r.comment);
}

// Imports one image of the file; *alpha_index is the image that holds its
// linked transparency plane (a PNG's colour image links image 2, a
// plug-in's layer k image 2k), 0 when it has none.
std::string import_index(const Modules &modules, const Handler &h,
                         const std::vector<uint8_t> &bytes, const Options &o, const std::string &in,
                         int32_t index, host::Image *image, int32_t *alpha_index) {
    host::Session s(*h.module);
    prepare_session(s, o, modules, h);
    if (!hand_over_input(s, bytes, in)) return "cannot open " + in;
    s.record().imageIndex = index;
    s.record().region = o.region;
    if (o.fit) s.record().requestFlags |= 0x40;
    bool ok = s.import_image();
    uint32_t code = s.record().errorCode;
    const FilterRecord &r = s.record();
    const bool linked =
        r.imageCount >= 2 && r.planeKind == FE_PLANE_IMAGE && r.linkedCount == 1 && r.linkedPlanes;
    *alpha_index = linked ? r.linkedPlanes[0] : 0;
    s.end_import();
    if (!ok) return in + ": import failed: " + host::error_message(code);
    *image = s.image();
    return "";
}

// Imports `in` into image, and its transparency plane into alpha when the
// colour image was asked for and the file links one to it.
std::string import_input(const Modules &modules, const std::vector<uint8_t> &bytes,
                         const Options &o, const std::string &in, host::Image *image,
                         host::Image *alpha) {
    std::string why;
    const Handler h = identify(modules, bytes, o, in, &why);
    if (!h.module) return in + ": no module recognises this file" + why;
    int32_t linked = 0;
    std::string error = import_index(modules, h, bytes, o, in, o.index, image, &linked);
    if (!error.empty() || linked <= 0) return error;
    int32_t none = 0;
    return import_index(modules, h, bytes, o, in, linked, alpha, &none);
}

bool host_writes(const std::string &ext) {
    return ext == "pbm" || ext == "pgm" || ext == "ppm" || ext == "pnm";
}

// The module that writes files with the extension `ext`: a built-in format
// module writes its own extensions; anything else goes to the named plug-in;
// without one, netpbm files are the host's, and the rest go to the first
// plug-in of the folder that writes the extension. No module when none does.
Handler writer_for(const Modules &modules, const Options &o, const std::string &ext) {
    for (const auto &c : modules.loaded)
        if (!is_plughost(*c) && c->handles_extension(ext)) return {c.get(), -1};
    const host::Module *plughost = plughost_of(modules);
    if (!plughost) return {};
    if (!o.plugin.empty()) return {plughost, -1};
    if (host_writes(ext)) return {};
    for (size_t i = 0; i < modules.plugins.size(); ++i) {
        const host::PluginProperties &p = modules.plugins[i].properties;
        if (p.can_write && listed(p.write_extensions, ext)) return {plughost, static_cast<int>(i)};
    }
    return {};
}

// The settings file of one save when the user names none: beside the
// output, by its full path, since Windows looks for a settings file named
// without one in its own directory, not in the current one.
std::string run_settings_file(const std::string &out) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(out + ".options.ini", error);
    return error ? out + ".options.ini" : path.string();
}

// The option travels as the module keeps it: in the settings file that
// FE_OPTIONS reads before its dialog (none shows without a window system,
// which confirms the stored value) and writes back after. The user's file
// keeps its other sections.
std::string store_interlace(host::Session &s, const Options &o, const std::string &out) {
    std::string ini = o.ini.empty() ? run_settings_file(out) : o.ini;
    if (!set_section(ini, "PNG Filter", {"Interlace=1"})) return "cannot write " + ini;
    s.record().iniPath = const_cast<char *>(ini.c_str());
    bool ok = s.call(FE_OPTIONS) != 0;
    if (o.ini.empty()) std::remove(ini.c_str());
    if (!ok) return out + ": options failed: " + host::error_message(s.record().errorCode);
    return "";
}

// A run's plug-in settings travel in the settings file, in the section
// plughost plays on top of the plug-in's stored settings: in the user's file
// (--ini) for the length of the save, or in a file of the run's own.
class RunSettings {
  public:
    std::string write(host::Session &s, const Options &o, const std::string &out) {
        if (o.plugin_settings.empty()) return "";
        own_ = o.ini.empty();
        std::string path = own_ ? run_settings_file(out) : o.ini;
        if (!set_section(path, kPluginRunSection, o.plugin_settings)) return "cannot write " + path;
        path_ = path;
        s.record().iniPath = const_cast<char *>(path_.c_str());
        return "";
    }
    ~RunSettings() {
        if (path_.empty()) return;
        if (own_)
            std::remove(path_.c_str());
        else
            set_section(path_, kPluginRunSection, {});
    }

  private:
    std::string path_;  // empty: nothing written
    bool own_ = false;
};

std::string export_output(const Modules &modules, const host::Image &image,
                          const host::Image &alpha, const Options &o, const std::string &out) {
    const std::string ext = extension_of(out);
    const Handler h = writer_for(modules, o, ext);
    const host::Module *m = h.module;
    if (!m && host_writes(ext)) {
        if (!host::write_file(out, host::write_netpbm(image))) return "cannot write " + out;
        return "";
    }
    if (!m) return out + ": no module writes ." + ext + " files";
    host::Session s(*m);
    prepare_session(s, o, modules, h);
    s.record().filePath = const_cast<char *>(out.c_str());
    if (o.interlace) {
        std::string error = store_interlace(s, o, out);
        if (!error.empty()) return error;
    }
    // A plug-in writes the file itself, through the handle; a transparency
    // plane goes to it as to the built-in modules, as the second image
    // (plughost runs the plug-in once it has both).
    bool plugin = is_plughost(*m);
    RunSettings run_settings;
    if (plugin) {
        std::string error = run_settings.write(s, o, out);
        if (!error.empty()) return error;
    }
    if (plugin && !s.open_output(out)) return "cannot write " + out;
    bool two = !alpha.pixels.empty();
    const host::Image adapted = host::adapt_for_export(image, m->descriptor().wordB);
    bool ok = s.export_plane(adapted, two ? 2 : 1, 1) && (!two || s.export_plane(alpha, 2, 2));
    uint32_t code = s.record().errorCode;
    s.end_export();
    s.close_files();
    if (!ok) {
        if (plugin) std::remove(out.c_str());
        return out + ": export failed: " + host::error_message(code);
    }
    if (!plugin && !host::write_file(out, s.output())) return "cannot write " + out;
    return "";
}

}  // namespace

Modules load_modules(const std::string &dir) {
    Modules modules;
    modules.loaded = host::load_all_modules(dir, &modules.error);
    return modules;
}

std::string load_plugins(Modules *modules, const std::string &dir, bool named) {
    if (!host::find_plugins(dir, &modules->plugins))
        return named ? "cannot list the plug-in folder " + dir : "";
    if (modules->plugins.empty()) return "";
    std::string error;
    modules->entries = host::EntryPointFile::create(modules->plugins, &error);
    if (!modules->entries) modules->plugins.clear();
    // Without the default folder's plug-ins the modules still serve.
    return named ? error : "";
}

std::string list_formats(const Modules &modules) {
    if (modules.loaded.empty()) return none_loaded(modules);
    for (const auto &m : modules.loaded) {
        host::Session s(*m);
        s.call(FE_GET_CAPS);
        const host::Descriptor &d = m->descriptor();
        std::string exts;
        for (const auto &e : d.extensions) exts += (exts.empty() ? "*." : ";*.") + e;
        std::printf("%-10s %-32s %-12s caps 0x%x\n", m->name().c_str(), d.name.c_str(),
                    exts.c_str(), s.record().filterFlags);
        for (const auto &c : d.compressions)
            std::printf("%-10s   compression: code 0x%02x \"%s\"\n", "", c.code, c.entry.c_str());
    }
    for (const host::Plugin &p : modules.plugins) {
        const host::PluginProperties &q = p.properties;
        std::string exts;
        for (const auto &e : q.read_extensions) exts += (exts.empty() ? "*." : ";*.") + e;
        for (const auto &e : q.write_extensions)
            if (!listed(q.read_extensions, e)) exts += (exts.empty() ? "*." : ";*.") + e;
        std::printf("%-10s %-32s %-12s %s%s %s\n", "plug-in", q.name.c_str(), exts.c_str(),
                    q.can_read ? "read" : "", q.can_write ? (q.can_read ? ",write" : "write") : "",
                    p.path.c_str());
    }
    return "";
}

std::string describe_file(const Modules &modules, const Options &o, const std::string &path,
                          std::string *text) {
    std::vector<uint8_t> bytes;
    if (!host::read_file(path, &bytes)) return "cannot read " + path;
    std::string why;
    const Handler h = identify(modules, bytes, o, path, &why);
    if (!h.module) return path + ": no module recognises this file" + why;
    host::Session s(*h.module);
    prepare_session(s, o, modules, h);
    if (!hand_over_input(s, bytes, path)) return "cannot open " + path;
    s.record().imageIndex = o.index;
    if (!s.identify()) return path + ": " + host::error_message(s.record().errorCode);
    describe_record(modules, h, s.record(), text);
    const int32_t count = s.record().imageCount;
    s.end_import();
    if (count > 1) list_images(modules, h, bytes, o, count, text);
    return "";
}

std::string convert_file(const Modules &modules, const Options &o, const std::string &in,
                         const std::string &out) {
    std::vector<uint8_t> bytes;
    if (!host::read_file(in, &bytes)) return "cannot read " + in;
    host::Image image, alpha;
    std::string error;
    if (host::is_netpbm(bytes) && o.plugin.empty()) {
        if (!host::read_netpbm(bytes, &image, &alpha, &error)) return in + ": " + error;
    } else {
        if (modules.loaded.empty()) return none_loaded(modules);
        error = import_input(modules, bytes, o, in, &image, &alpha);
        if (!error.empty()) return error;
    }
    return export_output(modules, image, alpha, o, out);
}

}  // namespace filterhost
