// Build tool of the Windows build, compiled for the build machine together
// with one module's descriptor.cpp and strings.cpp. It writes the exact
// descriptor bytes to descriptor.bin (the "IEFLT" 1 resource) and the
// module's strings as an RC STRINGTABLE to strings.rc, so that the DLL's
// resources and the ELF build's symbols come from the same source.
#include <cstdio>
#include <string>

#include "common/module.h"
#include "common/module_strings.h"

extern "C" const char FilterDescriptor[];
extern "C" const uint32_t FilterDescriptorSize;

namespace {

bool write_text(const std::string &path, const std::string &text) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// An RC string literal: quotes doubled, other non-printing bytes as octal.
std::string rc_literal(const char *text) {
    std::string out = "\"";
    for (const char *p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"') {
            out += "\"\"";
        } else if (c == '\\' || c < 0x20 || c > 0x7E) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    std::string descriptor(FilterDescriptor, FilterDescriptorSize);
    std::string table = "STRINGTABLE\nBEGIN\n";
    for (size_t i = 0; i < flt::kModuleStringCount; ++i)
        table += "    " + std::to_string(flt::kModuleStrings[i].id) + ", " +
                 rc_literal(flt::kModuleStrings[i].text) + "\n";
    table += "END\n";
    if (!write_text(dir + "/descriptor.bin", descriptor) ||
        !write_text(dir + "/strings.rc", table)) {
        std::fprintf(stderr, "%s: cannot write into %s\n", argv[0], dir.c_str());
        return 1;
    }
    return 0;
}
