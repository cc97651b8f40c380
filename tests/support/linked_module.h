// The module whose core this test executable links, wrapped for host::Session.
#pragma once

#include <memory>

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

}  // namespace testing_support
