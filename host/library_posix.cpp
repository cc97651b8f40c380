// Module libraries on ELF systems: dlopen and the descriptor symbols.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "host/library.h"

namespace host {

const char kModuleSuffix[] = ".so";

void *library_open(const std::string &path, std::string *error) {
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) *error = std::string("cannot load ") + path + ": " + dlerror();
    return library;
}

void *library_symbol(void *library, const char *name) {
    return dlsym(library, name);
}

void library_close(void *library) {
    if (library) dlclose(library);
}

bool library_descriptor(void *library, std::vector<uint8_t> *bytes) {
    auto *data = static_cast<const uint8_t *>(dlsym(library, "FilterDescriptor"));
    auto *size = static_cast<const uint32_t *>(dlsym(library, "FilterDescriptorSize"));
    if (!data || !size) return false;
    bytes->assign(data, data + *size);
    return true;
}

std::string program_dir() {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    self[n] = '\0';
    std::string path(self);
    return path.substr(0, path.find_last_of('/'));
}

}  // namespace host
