// filterhost: lists the modules' formats, identifies files and converts
// between formats by driving the modules as a host application does.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host.h"

namespace {

struct Options {
    std::string modules_dir;
    std::string plugin;
    std::string plugin_dir;
    std::string ini;
    uint32_t filter_id = 0;
    int32_t index = 0;
    bool has_region = false;
    FilterRect region{};
    bool fit = false;
    bool interlace = false;
    bool quiet = false;
    std::vector<std::string> args;
};

int usage() {
    std::fprintf(
        stderr,
        "usage: filterhost formats\n"
        "       filterhost info FILE\n"
        "       filterhost convert IN OUT [--index N] [--region L,T,R,B] [--fit W,H]\n"
        "                  [--interlace] [--plugin LIB [--plugin-dir DIR] [--filter-id N]]\n"
        "common options: --modules DIR (default: ../modules next to filterhost)\n");
    return 2;
}

int die(const std::string &message) {
    std::fprintf(stderr, "filterhost: %s\n", message.c_str());
    return 1;
}

bool parse_ints(const char *text, int count, int32_t *out) {
    for (int i = 0; i < count; ++i) {
        char *end = nullptr;
        long v = std::strtol(text, &end, 10);
        if (end == text || (i + 1 < count && *end != ',') || (i + 1 == count && *end)) return false;
        out[i] = static_cast<int32_t>(v);
        text = end + 1;
    }
    return true;
}

bool parse_options(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char **v) {
            if (i + 1 >= argc) return false;
            *v = argv[++i];
            return true;
        };
        const char *v = nullptr;
        if (a == "--modules") {
            if (!value(&v)) return false;
            o->modules_dir = v;
        } else if (a == "--plugin") {
            if (!value(&v)) return false;
            o->plugin = v;
        } else if (a == "--plugin-dir") {
            if (!value(&v)) return false;
            o->plugin_dir = v;
        } else if (a == "--ini") {
            if (!value(&v)) return false;
            o->ini = v;
        } else if (a == "--filter-id") {
            if (!value(&v)) return false;
            o->filter_id = static_cast<uint32_t>(std::strtoul(v, nullptr, 0));
        } else if (a == "--index") {
            if (!value(&v) || !parse_ints(v, 1, &o->index)) return false;
        } else if (a == "--region") {
            int32_t r[4];
            if (!value(&v) || !parse_ints(v, 4, r)) return false;
            o->region = {r[0], r[1], r[2], r[3]};
            o->has_region = true;
        } else if (a == "--fit") {
            int32_t wh[2];
            if (!value(&v) || !parse_ints(v, 2, wh) || wh[0] <= 0 || wh[1] <= 0) return false;
            o->region = {0, 0, wh[0] - 1, wh[1] - 1};
            o->fit = true;
        } else if (a == "--interlace") {
            o->interlace = true;
        } else if (a == "--quiet") {
            o->quiet = true;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return false;
        } else {
            o->args.push_back(a);
        }
    }
    if (o->modules_dir.empty()) o->modules_dir = host::default_module_dir();
    return true;
}

std::string extension_of(const std::string &path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot + 1);
}

void progress_bar(int32_t percent) {
    static int32_t last = -1;
    if (percent == last || percent < 0 || percent > 100) return;
    last = percent;
    int filled = percent / 5;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "####################", 20 - filled, "",
                 percent);
    if (percent == 100) std::fputc('\n', stderr);
}

void prepare_session(host::Session &s, const Options &o) {
    if (!o.plugin.empty()) {
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
    if (!o.quiet && isatty(2)) {
        s.on_row = [](const host::RowCall &c, const uint8_t *) { progress_bar(c.percent); };
    }
}

// The modules that may read a file: plughost first when a plug-in is named
// (so the plug-in gets the file before the built-in formats), and the
// built-in format modules.
std::vector<const host::Module *> readers(const std::vector<std::unique_ptr<host::Module>> &all,
                                          const Options &o) {
    std::vector<const host::Module *> out;
    for (const auto &m : all)
        if (m->name() == "plughost" && !o.plugin.empty()) out.push_back(m.get());
    for (const auto &m : all)
        if (m->name() != "plughost") out.push_back(m.get());
    return out;
}

bool is_plughost(const host::Module &m) {
    return m.name() == "plughost";
}

// Hands the input to the session: plughost's plug-ins read the file through
// its handle, the format modules take the bytes.
bool hand_over_input(host::Session &s, const std::vector<uint8_t> &bytes, const Options &o) {
    if (is_plughost(s.module())) return s.map_file(o.args[1]);
    s.set_file(bytes);
    return true;
}

int cmd_formats(const Options &o) {
    std::string error;
    auto modules = host::load_all_modules(o.modules_dir, &error);
    if (modules.empty()) return die(error.empty() ? "no modules found" : error);
    for (const auto &m : modules) {
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
    return 0;
}

const host::Module *identify(const std::vector<const host::Module *> &modules,
                             const std::vector<uint8_t> &bytes, const Options &o) {
    for (const host::Module *m : modules) {
        host::Session s(*m);
        prepare_session(s, o);
        if (!hand_over_input(s, bytes, o)) continue;
        bool ok = s.identify();
        s.end_import();
        if (ok) return m;
    }
    return nullptr;
}

// One line per image of a file that holds several (bitmap resources,
// colour image and transparency plane).
void list_images(const host::Module &m, const std::vector<uint8_t> &bytes, const Options &o,
                 int32_t count) {
    for (int32_t index = 1; index <= count; ++index) {
        host::Session s(m);
        prepare_session(s, o);
        s.set_file(bytes);
        s.record().imageIndex = index;
        const FilterRecord &r = s.record();
        if (s.identify()) {
            std::printf(
                "image %d: %d x %d, %d bits per pixel (%d in the file), %d palette entries\n",
                index, r.width, r.height, r.bitsPerPixel, r.fileBitsPerPixel, r.paletteCount);
        } else {
            std::printf("image %d: %s\n", index, host::error_message(r.errorCode).c_str());
        }
        s.end_import();
    }
}

int cmd_info(const Options &o) {
    if (o.args.size() != 2) return usage();
    std::vector<uint8_t> bytes;
    if (!host::read_file(o.args[1], &bytes)) return die("cannot read " + o.args[1]);
    std::string error;
    auto modules = host::load_all_modules(o.modules_dir, &error);
    const host::Module *m = identify(readers(modules, o), bytes, o);
    if (!m) return die(o.args[1] + ": no module recognises this file");
    host::Session s(*m);
    prepare_session(s, o);
    if (!hand_over_input(s, bytes, o)) return die("cannot open " + o.args[1]);
    s.record().imageIndex = o.index;
    if (!s.identify()) return die(o.args[1] + ": " + host::error_message(s.record().errorCode));
    const FilterRecord &r = s.record();
    std::printf("module: %s (%s)\n", m->name().c_str(), m->descriptor().name.c_str());
    std::printf("size: %d x %d, %d bits per pixel (%d in the file)\n", r.width, r.height,
                r.bitsPerPixel, r.fileBitsPerPixel);
    std::printf("images: %d (index %d), plane kind %d, linked %d\n", r.imageCount, r.imageIndex,
                r.planeKind, r.linkedCount);
    std::printf("resolution: %d x %d pixels per km\n", r.xResolution, r.yResolution);
    std::printf("palette: %d entries\n", r.paletteCount);
    if (r.compressionName) std::printf("compression: %s\n", r.compressionName);
    if (r.comment) std::printf("comment: %s\n", r.comment);
    const int32_t count = r.imageCount;
    s.end_import();
    if (count > 1) list_images(*m, bytes, o, count);
    return 0;
}

// Imports one image of the file; *linked_alpha tells whether it has a linked
// transparency plane that import index 2 delivers.
int import_index(const host::Module &m, const std::vector<uint8_t> &bytes, const Options &o,
                 int32_t index, host::Image *image, bool *linked_alpha) {
    host::Session s(m);
    prepare_session(s, o);
    if (!hand_over_input(s, bytes, o)) return die("cannot open " + o.args[1]);
    s.record().imageIndex = index;
    s.record().region = o.region;
    if (o.fit) s.record().requestFlags |= 0x40;
    bool ok = s.import_image();
    uint32_t code = s.record().errorCode;
    *linked_alpha = s.record().imageCount >= 2 && s.record().linkedCount == 1;
    s.end_import();
    if (!ok) return die(o.args[1] + ": import failed: " + host::error_message(code));
    *image = s.image();
    return 0;
}

// Imports IN into image, and its transparency plane into alpha when the
// colour image was asked for and the file links one to it.
int import_input(const std::vector<std::unique_ptr<host::Module>> &modules,
                 const std::vector<uint8_t> &bytes, const Options &o, host::Image *image,
                 host::Image *alpha) {
    const host::Module *m = identify(readers(modules, o), bytes, o);
    if (!m) return die(o.args[1] + ": no module recognises this file");
    bool linked = false;
    int rc = import_index(*m, bytes, o, o.index, image, &linked);
    if (rc || !linked || o.index > 1) return rc;
    return import_index(*m, bytes, o, 2, alpha, &linked);
}

int export_output(const std::vector<std::unique_ptr<host::Module>> &modules,
                  const host::Image &image, const host::Image &alpha, const Options &o) {
    const std::string &out = o.args[2];
    std::string ext = extension_of(out);
    for (char &c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // A built-in format module writes its own extensions; anything else goes
    // to the named plug-in, and Netpbm files without one to the host's writer.
    const host::Module *m = nullptr;
    for (const auto &c : modules)
        if (!m && !is_plughost(*c) && c->handles_extension(ext)) m = c.get();
    for (const auto &c : modules)
        if (!m && is_plughost(*c) && !o.plugin.empty()) m = c.get();
    if (!m && (ext == "pbm" || ext == "pgm" || ext == "ppm" || ext == "pnm")) {
        if (!host::write_file(out, host::write_netpbm(image))) return die("cannot write " + out);
        return 0;
    }
    if (!m) return die(out + ": no module writes ." + ext + " files");
    host::Session s(*m);
    prepare_session(s, o);
    s.record().filePath = const_cast<char *>(out.c_str());
    if (o.interlace) {
        // The option travels as the module keeps it: in the settings file that
        // FE_OPTIONS reads before its dialog (none shows without a window
        // system, which confirms the stored value) and writes back after.
        std::string ini = o.ini.empty() ? out + ".options.ini" : o.ini;
        std::string text = "[PNG Filter]\r\nInterlace=1\r\n";
        if (!host::write_file(ini, std::vector<uint8_t>(text.begin(), text.end())))
            return die("cannot write " + ini);
        s.record().iniPath = const_cast<char *>(ini.c_str());
        bool ok = s.call(FE_OPTIONS) != 0;
        if (o.ini.empty()) std::remove(ini.c_str());
        if (!ok) return die(out + ": options failed: " + host::error_message(s.record().errorCode));
    }
    // A plug-in writes the file itself, through the handle, and takes one
    // image: a transparency plane has no place in its record.
    bool plugin = is_plughost(*m);
    if (plugin && !s.open_output(out)) return die("cannot write " + out);
    bool two = !alpha.pixels.empty() && !plugin;
    const host::Image adapted = host::adapt_for_export(image, m->descriptor().wordB);
    bool ok = s.export_plane(adapted, two ? 2 : 1, 1) && (!two || s.export_plane(alpha, 2, 2));
    uint32_t code = s.record().errorCode;
    s.end_export();
    s.close_files();
    if (!ok) {
        if (plugin) std::remove(out.c_str());
        return die(out + ": export failed: " + host::error_message(code));
    }
    if (!plugin && !host::write_file(out, s.output())) return die("cannot write " + out);
    return 0;
}

int cmd_convert(const Options &o) {
    if (o.args.size() != 3) return usage();
    std::vector<uint8_t> bytes;
    if (!host::read_file(o.args[1], &bytes)) return die("cannot read " + o.args[1]);
    std::string error;
    auto modules = host::load_all_modules(o.modules_dir, &error);
    host::Image image, alpha;
    if (host::is_netpbm(bytes) && o.plugin.empty()) {
        if (!host::read_netpbm(bytes, &image, &alpha, &error)) return die(o.args[1] + ": " + error);
    } else {
        if (modules.empty()) return die(error.empty() ? "no modules found" : error);
        int rc = import_input(modules, bytes, o, &image, &alpha);
        if (rc) return rc;
    }
    return export_output(modules, image, alpha, o);
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    if (!parse_options(argc, argv, &o) || o.args.empty()) return usage();
    const std::string &cmd = o.args[0];
    if (cmd == "formats") return cmd_formats(o);
    if (cmd == "info") return cmd_info(o);
    if (cmd == "convert") return cmd_convert(o);
    return usage();
}
