// What the host needs from the operating system to use a module: load and
// unload its library, find FilterEntry and read the "IEFLT" 1 descriptor
// (the exported FilterDescriptor symbols of an ELF module, the resource of a
// Windows DLL).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// File name suffix of module libraries: ".so", or ".dll" on Windows.
extern const char kModuleSuffix[];

// nullptr with *error set when the library cannot be loaded. On Windows a
// path ending in ".so" is taken to mean the DLL of the same name, so that
// portable callers and tests can name modules one way.
void *library_open(const std::string &path, std::string *error);
void *library_symbol(void *library, const char *name);
void library_close(void *library);
// The descriptor bytes of the loaded module; false when it has none.
bool library_descriptor(void *library, std::vector<uint8_t> *bytes);

// Directory of the running program; empty when unknown.
std::string program_dir();

}  // namespace host
