// Loads a module DLL of the build and reads its resources through the
// Windows loader, the way a host application finds them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dlltest {

constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

class Dll {
  public:
    explicit Dll(const std::string &name);
    ~Dll();
    Dll(const Dll &) = delete;
    Dll &operator=(const Dll &) = delete;

    HMODULE handle() const { return module_; }
    // The bytes of resource (type, id) in U.S. English; false when absent.
    bool resource(LPCSTR type, LPCSTR id, std::vector<uint8_t> *bytes) const;
    // Languages in which resource (type, id) exists.
    std::vector<WORD> languages(LPCSTR type, LPCSTR id) const;

  private:
    HMODULE module_ = nullptr;
};

// A little-endian reader over a resource's bytes; reading past the end
// yields zeros and sets overrun.
struct Cursor {
    const std::vector<uint8_t> &bytes;
    size_t pos = 0;
    bool overrun = false;

    uint16_t u16();
    uint32_t u32();
    // A UTF-16 string ended by 0, returned as ASCII (the templates hold no other).
    std::string wide_string();
    void align4() { pos = (pos + 3) & ~size_t(3); }
};

}  // namespace dlltest
