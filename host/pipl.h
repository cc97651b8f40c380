// What a file-format plug-in says about itself in its property list (its
// "PiPL"): kind, name, entry point, file extensions and what it can do, and
// where that list lies inside the plug-in's file. Everything here reads the
// file's bytes; nothing is loaded, so a plug-in built for another
// architecture can be inspected too. The bytes are untrusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

// A four-character code as the property list stores it: the little-endian
// uint32 whose value is 'abcd' = 0x61626364 (the bytes appear reversed).
constexpr uint32_t four_cc(const char (&c)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(c[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(c[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(c[2])) << 8 | static_cast<uint8_t>(c[3]);
}

// The key of the code property that names the entry point for the running
// architecture: '8664' for x64, 'wx86' for x86. ELF plug-ins carry the same
// keys for the same processors; for any other processor, which has no
// published key, this host reads 'ELFc'.
uint32_t running_code_key();

struct PluginProperties {
    std::string name;   // 'name'; empty when the list has none
    std::string entry;  // the code property of the key asked for; empty when absent
    // Lower-case extensions without dot or padding: 'RdEx' (read), 'WrEx'
    // (write), each joined by the 'fftE' list (both ways), without repeats.
    std::vector<std::string> read_extensions;
    std::vector<std::string> write_extensions;
    bool can_read = true;  // 'fmtf' flags; both true when the list has no 'fmtf'
    bool can_write = true;
};

// Parses a property list of a file-format plug-in (kind '8BIF'), taking the
// entry point from the code property `code_key`. False when the bytes are
// damaged (a count or length that goes past the end, a header other than
// version 1/0) or describe another kind of plug-in; properties this host does
// not use are skipped.
bool parse_pipl(const uint8_t *bytes, size_t size, uint32_t code_key, PluginProperties *out);

// Where a plug-in file keeps its property list.
enum class PluginContainer { kNone, kPe, kElf };

// Finds the property list in a plug-in file: the "PIPL" resource (id 16000,
// else the first) of a Windows PE file, or the ".pipl" section of an ELF
// file. Sets *pipl and *pipl_size to bytes inside `file` and returns the
// container; kNone when the file is neither or holds no list.
PluginContainer find_pipl(const uint8_t *file, size_t size, const uint8_t **pipl,
                          size_t *pipl_size);

}  // namespace host
