// The module whose core this test executable links, wrapped for host::Session,
// and the built module libraries as a host loads them.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "common/module.h"
#include "host/host.h"

extern "C" const char FilterDescriptor[];
extern "C" const uint32_t FilterDescriptorSize;

namespace testing_support {

inline const host::Module &linked_module() {
    static std::unique_ptr<host::Module> m =
        host::Module::linked(FilterEntry, "linked", FilterDescriptor, FilterDescriptorSize);
    return *m;
}

// MODULE_DIR/<name> loaded once for the whole test program (the DLL on
// Windows); nullptr when it cannot be loaded. Its heap is its own, so the
// heap hooks of the linked core do not reach it.
inline const host::Module *shared_module(const std::string &name) {
    static std::map<std::string, std::unique_ptr<host::Module>> loaded;
    std::unique_ptr<host::Module> &m = loaded[name];
    std::string error;
    if (!m) m = host::Module::load(std::string(MODULE_DIR) + "/" + name + ".so", &error);
    return m.get();
}

}  // namespace testing_support
