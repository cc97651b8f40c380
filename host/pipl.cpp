// The plug-in property list: a 16-bit 1, a 32-bit version 0, a 32-bit count,
// then `count` properties {vendor, key, id, length, data padded to 4 bytes},
// every number little-endian.
#include "host/pipl.h"

#include <algorithm>
#include <cctype>

#include "common/byte_reader.h"

namespace host {
namespace {

constexpr uint32_t kFormatKind = four_cc("8BIF");
constexpr uint8_t kCanRead = 0x20;  // flags are a bit string from the first byte's top bit
constexpr uint8_t kCanWrite = 0x10;

// A Pascal string: a length byte, then that many characters.
std::string pascal_string(const uint8_t *data, size_t size) {
    if (size == 0) return "";
    size_t n = std::min<size_t>(data[0], size - 1);
    return std::string(reinterpret_cast<const char *>(data) + 1, n);
}

// A C string that must end inside the property; empty otherwise.
std::string c_string(const uint8_t *data, size_t size) {
    const uint8_t *end = std::find(data, data + size, 0);
    if (end == data + size) return "";
    return std::string(reinterpret_cast<const char *>(data), static_cast<size_t>(end - data));
}

void add_unique(const std::string &ext, std::vector<std::string> *list) {
    if (!ext.empty() && std::find(list->begin(), list->end(), ext) == list->end())
        list->push_back(ext);
}

// Four-character extensions in file order ("WEBP", "JPG "), lower case
// without the padding spaces, appended to *list unless already there.
void add_extensions(const uint8_t *data, size_t size, std::vector<std::string> *list) {
    for (size_t at = 0; at + 4 <= size; at += 4) {
        std::string ext;
        for (size_t i = 0; i < 4; ++i) {
            char c = static_cast<char>(data[at + i]);
            if (c == ' ' || c == '\0') continue;
            ext += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        add_unique(ext, list);
    }
}

}  // namespace

uint32_t running_code_key() {
#if defined(__x86_64__) || defined(_M_X64)
    return four_cc("8664");
#elif defined(__i386__) || defined(_M_IX86)
    return four_cc("wx86");
#else
    return four_cc("ELFc");
#endif
}

bool parse_pipl(const uint8_t *bytes, size_t size, uint32_t code_key, PluginProperties *out) {
    *out = PluginProperties();
    flt::ByteReader r(bytes, size);
    uint16_t one = 0;
    uint32_t version = 0, count = 0;
    if (!r.u16le(&one) || !r.u32le(&version) || !r.u32le(&count) || one != 1 || version != 0)
        return false;
    uint32_t kind = 0;
    std::vector<std::string> both;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t vendor = 0, key = 0, id = 0, length = 0;
        const uint8_t *data = nullptr;
        if (!r.u32le(&vendor) || !r.u32le(&key) || !r.u32le(&id) || !r.u32le(&length) ||
            !r.bytes(&data, length))
            return false;
        // The padding of the last property may be missing at the very end.
        if (!r.skip((4 - length % 4) % 4) && i + 1 < count) return false;
        if (key == four_cc("kind") && length >= 4) kind = flt::load_u32le(data);
        if (key == four_cc("name")) out->name = pascal_string(data, length);
        if (key == code_key) out->entry = c_string(data, length);
        if (key == four_cc("RdEx")) add_extensions(data, length, &out->read_extensions);
        if (key == four_cc("WrEx")) add_extensions(data, length, &out->write_extensions);
        if (key == four_cc("fftE")) add_extensions(data, length, &both);
        if (key == four_cc("fmtf") && length >= 1) {
            out->can_read = (data[0] & kCanRead) != 0;
            out->can_write = (data[0] & kCanWrite) != 0;
        }
    }
    for (const std::string &ext : both) {
        add_unique(ext, &out->read_extensions);
        add_unique(ext, &out->write_extensions);
    }
    return kind == kFormatKind;
}

}  // namespace host
