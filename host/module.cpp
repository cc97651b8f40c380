// Loading modules and reading their descriptors without calling their code.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "host/host.h"
#include "host/library.h"

namespace host {
namespace {

bool read_cstring(const uint8_t *bytes, size_t size, size_t *pos, std::string *out) {
    const void *nul = std::memchr(bytes + *pos, 0, size - *pos);
    if (!nul) return false;
    size_t end = static_cast<const uint8_t *>(nul) - bytes;
    out->assign(reinterpret_cast<const char *>(bytes + *pos), end - *pos);
    *pos = end + 1;
    return true;
}

bool read_u32(const uint8_t *bytes, size_t size, size_t *pos, uint32_t *out) {
    if (size - *pos < 4) return false;
    const uint8_t *p = bytes + *pos;
    *out = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
    *pos += 4;
    return true;
}

std::string upper(std::string s) {
    for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

bool parse_descriptor(const uint8_t *bytes, size_t size, Descriptor *out) {
    if (!bytes || size < 28) return false;
    Descriptor d;
    d.bytes.assign(bytes, bytes + size);
    size_t pos = 0;
    if (!read_cstring(bytes, 4, &pos, &d.tag)) return false;
    pos = 4;
    if (!read_u32(bytes, size, &pos, &d.number)) return false;
    pos = 28;
    std::string patterns;
    if (!read_cstring(bytes, size, &pos, &d.name) || !read_cstring(bytes, size, &pos, &patterns))
        return false;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos) end = patterns.size();
        std::string p = patterns.substr(start, end - start);
        if (p.rfind("*.", 0) == 0) p = p.substr(2);
        if (!p.empty()) d.extensions.push_back(upper(p));
        start = end + 1;
    }
    uint32_t count = 0;
    if (!read_u32(bytes, size, &pos, &d.wordA) || !read_u32(bytes, size, &pos, &d.wordB) ||
        !read_u32(bytes, size, &pos, &d.wordC) || !read_u32(bytes, size, &pos, &count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (pos >= size) return false;
        Compression c;
        c.code = bytes[pos++];
        if (!read_cstring(bytes, size, &pos, &c.entry)) return false;
        d.compressions.push_back(c);
    }
    *out = std::move(d);
    return true;
}

std::unique_ptr<Module> Module::load(const std::string &path, std::string *error) {
    void *library = library_open(path, error);
    if (!library) return nullptr;
    std::unique_ptr<Module> m(new Module());
    m->library_ = library;
    m->path_ = path;
    m->entry_ = reinterpret_cast<FilterEntryProc>(library_symbol(library, "FilterEntry"));
    std::vector<uint8_t> bytes;
    if (!m->entry_ || !library_descriptor(library, &bytes) ||
        !parse_descriptor(bytes.data(), bytes.size(), &m->descriptor_)) {
        *error = path + ": not a filter module (FilterEntry or descriptor missing)";
        return nullptr;
    }
    return m;
}

std::unique_ptr<Module> Module::linked(FilterEntryProc entry, const std::string &name,
                                       const void *descriptor, size_t descriptor_size) {
    std::unique_ptr<Module> m(new Module());
    m->entry_ = entry;
    m->path_ = name;
    if (descriptor)
        parse_descriptor(static_cast<const uint8_t *>(descriptor), descriptor_size,
                         &m->descriptor_);
    return m;
}

Module::~Module() {
    library_close(library_);
}

std::string Module::name() const {
    std::string n = path_.substr(path_.find_last_of("/\\") + 1);
    return n.substr(0, n.find('.'));
}

bool Module::handles_extension(const std::string &extension) const {
    const auto &exts = descriptor_.extensions;
    return std::find(exts.begin(), exts.end(), upper(extension)) != exts.end();
}

// The build tree keeps the modules in modules/ beside bin/; an installed
// filterhost finds them where cmake --install put them.
std::string default_module_dir() {
    std::string dir = program_dir();
    if (dir.empty()) return "modules";
    std::string built = dir + "/../modules";
#ifdef FILTERS_INSTALLED_MODULE_DIR
    std::error_code error;
    if (!std::filesystem::is_directory(built, error))
        return dir + "/" FILTERS_INSTALLED_MODULE_DIR;
#endif
    return built;
}

std::vector<std::unique_ptr<Module>> load_all_modules(const std::string &dir, std::string *error) {
    std::vector<std::unique_ptr<Module>> modules;
    for (const char *name : {"pngxchg", "paintxchg", "gemxchg", "plughost", "rsrcxchg"}) {
        std::string e;
        auto m = Module::load(dir + "/" + name + kModuleSuffix, &e);
        if (m)
            modules.push_back(std::move(m));
        else if (error && error->empty())
            *error = e;
    }
    return modules;
}

std::string error_message(uint32_t code) {
    switch (code) {
        case FERR_NO_MEMORY:
            return "out of memory";
        case FERR_CANNOT_READ:
            return "the host refused a row (cannot read)";
        case FERR_TRANSFER:
            return "the data transfer with the host failed";
        case FERR_NOT_FORMAT:
            return "not a file of this format";
        case FERR_UNSUPPORTED:
            return "a variant of the format that is not supported";
        case FERR_CORRUPT:
            return "the file is damaged";
        case FERR_DECODE:
            return "the compressed data cannot be decoded";
        case FERR_BAD_IMAGE:
            return "bad image";
        case FERR_BAD_REQUEST:
            return "the request cannot be served (region, depth or operation)";
        case FERR_FILE_NAME:
            return "no file name can be taken from the path";
        case FERR_CANCELLED:
            return "cancelled";
        case FERR_PLUGIN:
            return "the plug-in reported an error";
        case FERR_PLUGIN_LOAD:
            return "the plug-in cannot be loaded";
        default:
            return "error " + std::to_string(code);
    }
}

}  // namespace host
