#include "codec/resource_dir.h"

#include <cstring>

#include "common/byte_reader.h"
#include "common/filter.h"
#include "format.h"

namespace rsrc {
namespace {

bool read_u16(const uint8_t *data, size_t size, uint64_t offset, uint16_t *v) {
    if (offset > size || size - offset < 2) return false;
    *v = flt::load_u16le(data + offset);
    return true;
}

bool read_u32(const uint8_t *data, size_t size, uint64_t offset, uint32_t *v) {
    if (offset > size || size - offset < 4) return false;
    *v = flt::load_u32le(data + offset);
    return true;
}

uint32_t new_header(const uint8_t *data, size_t size, uint32_t *offset) {
    uint16_t mz = 0;
    if (!read_u16(data, size, 0, &mz) || mz != kMzSignature) return FERR_NOT_FORMAT;
    // A DOS program without a valid new header is not of this format.
    if (!read_u32(data, size, kNewHeaderOffset, offset)) return FERR_NOT_FORMAT;
    return 0;
}

int32_t wanted_index(int32_t index) {
    return index == 0 ? 1 : index;
}

uint32_t walk_ne(const uint8_t *data, size_t size, uint64_t ne, int32_t index,
                 BitmapLocation *out) {
    uint16_t table_rel = 0;
    if (!read_u16(data, size, ne + kNeResourceTable, &table_rel)) return FERR_CORRUPT;
    const uint64_t table = ne + table_rel;
    uint16_t shift_field = 0;
    if (!read_u16(data, size, table, &shift_field)) return FERR_CORRUPT;
    const unsigned shift = shift_field & 0xFF;
    if (shift >= 32) return FERR_CORRUPT;
    uint64_t pos = table + 2;
    for (;;) {
        uint16_t type = 0, count = 0;
        if (!read_u16(data, size, pos, &type) || type == 0) return FERR_CORRUPT;
        if (!read_u16(data, size, pos + 2, &count)) return FERR_CORRUPT;
        if ((type & 0x7FFF) == kBitmapType) {
            if (count == 0) return FERR_CORRUPT;
            out->count = count;
            const int32_t wanted = wanted_index(index);
            if (wanted < 1 || wanted > count) return FERR_CORRUPT;
            const uint64_t record =
                pos + kNeTypeRecordSize + uint64_t{kNeResourceRecordSize} * (wanted - 1);
            uint16_t units = 0;
            if (!read_u16(data, size, record, &units)) return FERR_CORRUPT;
            const uint64_t offset = uint64_t{units} << shift;
            if (offset >= size) return FERR_CORRUPT;
            out->offset = static_cast<size_t>(offset);
            return 0;
        }
        pos += kNeTypeRecordSize + uint64_t{kNeResourceRecordSize} * count;
    }
}

// Depth-first walk of the PE resource tree below the bitmap type. The depth
// and the number of entries visited are bounded, so a directory that points
// to itself (or directories shared in a loop) end the walk as damage.
struct PeWalk {
    const uint8_t *data;
    size_t size;
    uint64_t dir;         // file offset D of the resource directory
    uint64_t budget;      // entries that may still be visited
    int32_t wanted;       // 1-based index of the chosen bitmap
    int32_t count = 0;    // data entries met so far
    uint64_t chosen = 0;  // file offset of the chosen data entry
    bool found = false;
};

constexpr int kMaxDepth = 16;

uint32_t visit_entry(PeWalk *w, uint32_t value, int depth);

uint32_t visit_directory(PeWalk *w, uint32_t rel, int depth) {
    if (depth > kMaxDepth) return FERR_CORRUPT;
    const uint64_t at = w->dir + rel;
    uint16_t named = 0, ids = 0;
    if (!read_u16(w->data, w->size, at + kPeDirNamedCount, &named) ||
        !read_u16(w->data, w->size, at + kPeDirIdCount, &ids))
        return FERR_CORRUPT;
    const uint32_t entries = uint32_t{named} + ids;
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t value = 0;
        const uint64_t entry = at + kPeDirHeaderSize + uint64_t{kPeDirEntrySize} * i;
        if (!read_u32(w->data, w->size, entry + 4, &value)) return FERR_CORRUPT;
        if (uint32_t e = visit_entry(w, value, depth + 1)) return e;
    }
    return 0;
}

uint32_t visit_entry(PeWalk *w, uint32_t value, int depth) {
    if (w->budget == 0) return FERR_CORRUPT;
    --w->budget;
    if (value & kPeSubdirectoryBit) return visit_directory(w, value & ~kPeSubdirectoryBit, depth);
    ++w->count;
    if (w->count == w->wanted) {
        w->chosen = w->dir + value;
        w->found = true;
    }
    return 0;
}

// The optional header's own size places the section table, and its magic
// tells where the data directory lies (32- and 64-bit images differ).
uint32_t find_resource_section(const uint8_t *data, size_t size, uint64_t pe, uint64_t *dir,
                               uint32_t *dir_rva) {
    uint16_t sections = 0, optional_size = 0, magic = 0;
    if (!read_u16(data, size, pe + kPeSectionCount, &sections) ||
        !read_u16(data, size, pe + kPeOptionalHeaderSize, &optional_size) ||
        !read_u16(data, size, pe + kPeOptionalHeader, &magic))
        return FERR_CORRUPT;
    const uint32_t entry = magic == kPe32PlusMagic ? kPe32PlusResourceEntry : kPe32ResourceEntry;
    if (uint32_t{optional_size} < entry + 8) return FERR_CORRUPT;
    uint32_t rva = 0;
    if (!read_u32(data, size, pe + kPeOptionalHeader + entry, &rva)) return FERR_CORRUPT;
    const uint64_t table = pe + kPeOptionalHeader + optional_size;
    for (uint32_t i = 0; i < sections; ++i) {
        const uint64_t header = table + uint64_t{kPeSectionHeaderSize} * i;
        if (header > size || size - header < kPeSectionHeaderSize) return FERR_CORRUPT;
        if (std::memcmp(data + header, ".rsrc", 6) != 0) continue;
        const uint32_t va = flt::load_u32le(data + header + kPeSectionVirtualAddress);
        const uint32_t raw = flt::load_u32le(data + header + kPeSectionRawData);
        const int64_t d = int64_t{rva} - va + raw;
        if (d < 0 || static_cast<uint64_t>(d) >= size) return FERR_CORRUPT;
        *dir = static_cast<uint64_t>(d);
        *dir_rva = rva;
        return 0;
    }
    return FERR_CORRUPT;
}

uint32_t walk_pe(const uint8_t *data, size_t size, uint64_t pe, int32_t index,
                 BitmapLocation *out) {
    uint64_t dir = 0;
    uint32_t dir_rva = 0;
    if (uint32_t e = find_resource_section(data, size, pe, &dir, &dir_rva)) return e;
    uint16_t named = 0, ids = 0;
    if (!read_u16(data, size, dir + kPeDirNamedCount, &named) ||
        !read_u16(data, size, dir + kPeDirIdCount, &ids))
        return FERR_CORRUPT;
    const uint32_t entries = uint32_t{named} + ids;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t entry = dir + kPeDirHeaderSize + uint64_t{kPeDirEntrySize} * i;
        uint32_t name = 0, value = 0;
        if (!read_u32(data, size, entry, &name) || !read_u32(data, size, entry + 4, &value))
            return FERR_CORRUPT;
        if (name != kBitmapType) continue;
        PeWalk w{data, size, dir, size / kPeDirEntrySize + 1, wanted_index(index)};
        if (uint32_t e = visit_entry(&w, value, 0)) return e;
        if (w.count == 0) return FERR_CORRUPT;
        out->count = w.count;
        if (!w.found) return FERR_CORRUPT;
        uint32_t rva = 0;
        if (!read_u32(data, size, w.chosen, &rva)) return FERR_CORRUPT;
        const int64_t offset = int64_t{rva} - dir_rva + static_cast<int64_t>(dir);
        if (offset < 0 || static_cast<uint64_t>(offset) >= size) return FERR_CORRUPT;
        out->offset = static_cast<size_t>(offset);
        return 0;
    }
    return FERR_CORRUPT;
}

}  // namespace

uint32_t detect_executable(const uint8_t *data, size_t size, ExecutableKind *kind) {
    *kind = ExecutableKind::kNone;
    if (!data) return FERR_NOT_FORMAT;
    uint32_t header = 0;
    if (uint32_t e = new_header(data, size, &header)) return e;
    uint16_t sig16 = 0;
    if (!read_u16(data, size, header, &sig16)) return FERR_NOT_FORMAT;
    if (sig16 == kNeSignature) {
        uint16_t version = 0;
        if (uint64_t{header} + kNeTargetOs >= size ||
            !read_u16(data, size, uint64_t{header} + kNeWindowsVersion, &version))
            return FERR_NOT_FORMAT;
        if (data[header + kNeTargetOs] != kNeTargetWindows || version < kNeMinimumVersion)
            return FERR_NOT_FORMAT;
        *kind = ExecutableKind::kNe;
        return 0;
    }
    uint32_t sig32 = 0;
    if (read_u32(data, size, header, &sig32) && sig32 == kPeSignature) {
        *kind = ExecutableKind::kPe;
        return 0;
    }
    return FERR_NOT_FORMAT;
}

uint32_t locate_bitmap(const uint8_t *data, size_t size, int32_t index, BitmapLocation *out) {
    *out = BitmapLocation();
    ExecutableKind kind = ExecutableKind::kNone;
    if (uint32_t e = detect_executable(data, size, &kind)) return e;
    out->kind = kind;
    const uint64_t header = flt::load_u32le(data + kNewHeaderOffset);
    return kind == ExecutableKind::kNe ? walk_ne(data, size, header, index, out)
                                       : walk_pe(data, size, header, index, out);
}

}  // namespace rsrc
