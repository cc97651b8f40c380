// Module libraries on Windows: LoadLibraryA, and the descriptor read from
// the DLL's "IEFLT" 1 resource (U.S. English) as a host application reads it.
#include <windows.h>

#include "host/library.h"

namespace host {

const char kModuleSuffix[] = ".dll";

void *library_open(const std::string &path, std::string *error) {
    std::string file = path;
    if (file.size() > 3 && file.compare(file.size() - 3, 3, ".so") == 0)
        file.replace(file.size() - 3, 3, kModuleSuffix);
    HMODULE library = LoadLibraryA(file.c_str());
    if (!library) *error = "cannot load " + file + ": error " + std::to_string(GetLastError());
    return library;
}

void *library_symbol(void *library, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void library_close(void *library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

bool library_descriptor(void *library, std::vector<uint8_t> *bytes) {
    auto module = static_cast<HMODULE>(library);
    HRSRC info = FindResourceExA(module, "IEFLT", MAKEINTRESOURCEA(1),
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    auto *data = loaded ? static_cast<const uint8_t *>(LockResource(loaded)) : nullptr;
    if (!data) return false;
    bytes->assign(data, data + SizeofResource(module, info));
    return true;
}

std::string program_dir() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self) return "";
    std::string path(self, n);
    return path.substr(0, path.find_last_of("\\/"));
}

}  // namespace host
