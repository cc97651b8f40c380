#include "dll_view.h"

namespace dlltest {
namespace {

BOOL CALLBACK add_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD> *>(list)->push_back(language);
    return TRUE;
}

}  // namespace

Dll::Dll(const std::string &name) {
    module_ = LoadLibraryA((std::string(MODULE_DIR) + "/" + name + ".dll").c_str());
}

Dll::~Dll() {
    if (module_) FreeLibrary(module_);
}

bool Dll::resource(LPCSTR type, LPCSTR id, std::vector<uint8_t> *bytes) const {
    HRSRC info = FindResourceExA(module_, type, id, kEnglishUs);
    HGLOBAL loaded = info ? LoadResource(module_, info) : nullptr;
    const void *data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    auto *begin = static_cast<const uint8_t *>(data);
    bytes->assign(begin, begin + SizeofResource(module_, info));
    return true;
}

std::vector<WORD> Dll::languages(LPCSTR type, LPCSTR id) const {
    std::vector<WORD> list;
    EnumResourceLanguagesA(module_, type, id, add_language, reinterpret_cast<LONG_PTR>(&list));
    return list;
}

uint16_t Cursor::u16() {
    if (bytes.size() < 2 || pos > bytes.size() - 2) {
        overrun = true;
        pos = bytes.size();
        return 0;
    }
    uint16_t v = static_cast<uint16_t>(bytes[pos] | bytes[pos + 1] << 8);
    pos += 2;
    return v;
}

uint32_t Cursor::u32() {
    uint32_t low = u16();
    return low | static_cast<uint32_t>(u16()) << 16;
}

std::string Cursor::wide_string() {
    std::string s;
    for (uint16_t c = u16(); c != 0 && !overrun; c = u16()) s += static_cast<char>(c);
    return s;
}

}  // namespace dlltest
