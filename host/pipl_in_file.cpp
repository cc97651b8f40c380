// Finding a plug-in's property list in its file without loading it: the
// resource directory of a Windows PE file, the section headers of an ELF
// file. Every offset and size comes from the file and is checked against it.
#include <cstring>

#include "common/byte_reader.h"
#include "host/pipl.h"

namespace host {
namespace {

using flt::load_u16le;
using flt::load_u32le;

// The bytes [offset, offset + n) of the file, or null when they are not all in it.
const uint8_t *at(const uint8_t *file, size_t size, uint64_t offset, uint64_t n) {
    if (offset > size || n > size - offset) return nullptr;
    return file + offset;
}

struct PeSections {
    const uint8_t *table = nullptr;
    uint16_t count = 0;
};

// The file offset of `n` bytes at relative virtual address `rva`, when they
// lie in one section's raw data.
bool rva_to_offset(const uint8_t *file, size_t size, const PeSections &s, uint32_t rva, uint32_t n,
                   uint64_t *offset) {
    for (uint16_t i = 0; i < s.count; ++i) {
        const uint8_t *h = s.table + 40 * i;
        uint64_t va = load_u32le(h + 12), raw_size = load_u32le(h + 16),
                 raw_at = load_u32le(h + 20);
        if (rva < va || rva - va + n > raw_size) continue;
        *offset = raw_at + (rva - va);
        return at(file, size, *offset, n) != nullptr;
    }
    return false;
}

// The resource tree of a PE file: every offset in it is relative to `root`.
struct ResourceDirectory {
    const uint8_t *file;
    size_t size;
    uint64_t root;
};

// The entry of the directory at `offset` whose name is `name` (a string
// entry) or whose id is `id` (when name is null); with neither found and
// `any` set, the first entry. Returns the entry's 32-bit target word.
bool find_entry(const ResourceDirectory &d, uint64_t offset, const char *name, uint32_t id,
                bool any, uint32_t *target) {
    const uint8_t *header = at(d.file, d.size, d.root + offset, 16);
    if (!header) return false;
    const uint32_t count = load_u16le(header + 12) + load_u16le(header + 14);
    const uint8_t *entries = at(d.file, d.size, d.root + offset + 16, 8ull * count);
    if (!entries || count == 0) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t word = load_u32le(entries + 8 * i);
        const bool named = (word & 0x80000000u) != 0;
        bool match = !name && !named && word == id;
        if (name && named) {
            const size_t n = std::strlen(name);
            const uint8_t *s = at(d.file, d.size, d.root + (word & 0x7fffffffu), 2 + 2 * n);
            match = s && load_u16le(s) == n;
            for (size_t c = 0; match && c < n; ++c)
                match = load_u16le(s + 2 + 2 * c) == static_cast<uint8_t>(name[c]);
        }
        if (match) {
            *target = load_u32le(entries + 8 * i + 4);
            return true;
        }
    }
    if (!any) return false;
    *target = load_u32le(entries + 4);
    return true;
}

bool is_subdirectory(uint32_t target) {
    return (target & 0x80000000u) != 0;
}

// Type "PIPL", id 16000 (else the first), first language.
bool find_pe_pipl(const uint8_t *file, size_t size, const uint8_t **pipl, size_t *pipl_size) {
    const uint8_t *dos = at(file, size, 0, 64);
    if (!dos || dos[0] != 'M' || dos[1] != 'Z') return false;
    const uint64_t pe = load_u32le(dos + 0x3c);
    const uint8_t *coff = at(file, size, pe, 24);
    if (!coff || std::memcmp(coff, "PE\0\0", 4) != 0) return false;
    PeSections sections;
    sections.count = load_u16le(coff + 6);
    const uint16_t optional_size = load_u16le(coff + 20);
    const uint8_t *optional = at(file, size, pe + 24, optional_size);
    if (!optional || optional_size < 2) return false;
    const uint16_t magic = load_u16le(optional);
    const uint32_t dirs_at = magic == 0x20b ? 112 : magic == 0x10b ? 96 : 0;
    // The resource table is the third data directory.
    if (dirs_at == 0 || optional_size < dirs_at + 3 * 8 || load_u32le(optional + dirs_at - 4) < 3)
        return false;
    const uint32_t rsrc_rva = load_u32le(optional + dirs_at + 16);
    sections.table = at(file, size, pe + 24 + optional_size, 40ull * sections.count);
    uint64_t root = 0;
    if (!sections.table || !rva_to_offset(file, size, sections, rsrc_rva, 16, &root)) return false;
    const ResourceDirectory d{file, size, root};
    uint32_t type = 0, name = 0, language = 0;
    if (!find_entry(d, 0, "PIPL", 0, false, &type) || !is_subdirectory(type) ||
        !find_entry(d, type & 0x7fffffffu, nullptr, 16000, true, &name) || !is_subdirectory(name) ||
        !find_entry(d, name & 0x7fffffffu, nullptr, 0, true, &language) ||
        is_subdirectory(language))
        return false;
    const uint8_t *data_entry = at(file, size, root + language, 16);
    uint64_t offset = 0;
    if (!data_entry || !rva_to_offset(file, size, sections, load_u32le(data_entry),
                                      load_u32le(data_entry + 4), &offset))
        return false;
    *pipl = file + offset;
    *pipl_size = load_u32le(data_entry + 4);
    return true;
}

// A little-endian number of 4 or 8 bytes.
uint64_t load_word(const uint8_t *p, bool wide) {
    return wide ? load_u32le(p) | static_cast<uint64_t>(load_u32le(p + 4)) << 32 : load_u32le(p);
}

// The ".pipl" section of a little-endian ELF file, 32 or 64 bits.
bool find_elf_pipl(const uint8_t *file, size_t size, const uint8_t **pipl, size_t *pipl_size) {
    const uint8_t *ident = at(file, size, 0, 64);
    if (!ident ||
        std::memcmp(ident,
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        ident[5] != 1)
        return false;
    const bool wide = ident[4] == 2;
    if (!wide && ident[4] != 1) return false;
    const uint64_t table = load_word(ident + (wide ? 0x28 : 0x20), wide);
    const uint16_t entry_size = load_u16le(ident + (wide ? 0x3a : 0x2e));
    const uint16_t count = load_u16le(ident + (wide ? 0x3c : 0x30));
    const uint16_t names_index = load_u16le(ident + (wide ? 0x3e : 0x32));
    if (entry_size < (wide ? 0x40 : 0x28) || names_index >= count) return false;
    const uint8_t *headers = at(file, size, table, static_cast<uint64_t>(entry_size) * count);
    if (!headers) return false;
    auto offset_of = [&](const uint8_t *h) { return load_word(h + (wide ? 0x18 : 0x10), wide); };
    auto size_of = [&](const uint8_t *h) { return load_word(h + (wide ? 0x20 : 0x14), wide); };
    const uint8_t *names_header = headers + static_cast<size_t>(entry_size) * names_index;
    const uint8_t *names = at(file, size, offset_of(names_header), size_of(names_header));
    if (!names) return false;
    static const char kName[] = ".pipl";
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t *h = headers + static_cast<size_t>(entry_size) * i;
        const uint32_t name = load_u32le(h), type = load_u32le(h + 4);
        if (name > size_of(names_header) || size_of(names_header) - name < sizeof kName ||
            std::memcmp(names + name, kName, sizeof kName) != 0)
            continue;
        const uint8_t *data = type == 8 ? nullptr : at(file, size, offset_of(h), size_of(h));
        if (!data) return false;  // SHT_NOBITS or outside the file
        *pipl = data;
        *pipl_size = static_cast<size_t>(size_of(h));
        return true;
    }
    return false;
}

}  // namespace

PluginContainer find_pipl(const uint8_t *file, size_t size, const uint8_t **pipl,
                          size_t *pipl_size) {
    if (find_pe_pipl(file, size, pipl, pipl_size)) return PluginContainer::kPe;
    if (find_elf_pipl(file, size, pipl, pipl_size)) return PluginContainer::kElf;
    return PluginContainer::kNone;
}

}  // namespace host
