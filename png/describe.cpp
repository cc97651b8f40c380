// Identification of a PNG file and the description the host reads from it.
#include <cstring>

#include "codec/reader.h"
#include "common/byte_reader.h"
#include "common/heap.h"
#include "common/module_strings.h"
#include "common/record_blocks.h"
#include "import_state.h"
#include "state_kind.h"

namespace png {
namespace {

constexpr int kStringBufferSize = 260;

uint32_t read_status_code(ReadStatus s) {
    switch (s) {
        case ReadStatus::kOk:
            return 0;
        case ReadStatus::kNoMemory:
            return FERR_NO_MEMORY;
        case ReadStatus::kNotFormat:
            return FERR_NOT_FORMAT;
        case ReadStatus::kCorrupt:
            return FERR_CORRUPT;
    }
    return FERR_NOT_FORMAT;
}

// Pixels per metre to pixels per kilometre; a value too large for the
// record's 32-bit field is held at the largest one rather than wrapped.
int32_t per_kilometre(uint32_t per_metre) {
    int64_t v = static_cast<int64_t>(per_metre) * kResolutionScale;
    return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

// The unit byte is not looked at: unit 0 is taken as metres too. A pHYs too
// short to hold both values is ignored rather than read past its end; without
// one the resolution is 0 (not stated), as on a fresh record, rather than the
// one an earlier identify left.
void take_resolution(FilterRecord *record, const ChunkTable &table) {
    const ChunkDescriptor &phys = table.chunk[kpHYs];
    record->xResolution = record->yResolution = 0;
    if (!phys.present || phys.length < 8) return;
    record->xResolution = per_kilometre(flt::load_u32be(phys.data));
    record->yResolution = per_kilometre(flt::load_u32be(phys.data + 4));
}

// An image without a palette says so: a palette of an earlier identify on the
// same record would be taken for this file's.
uint32_t make_palette(FilterRecord *record, const ImportState &state) {
    const Layout &l = state.layout;
    flt::replace_block(&record->palette, nullptr);
    record->paletteCount = 0;
    if (l.palette == PaletteSource::kNone) return 0;
    const ChunkDescriptor &plte = state.table->chunk[kPLTE];
    if (l.palette == PaletteSource::kPlte && !plte.present) return FERR_UNSUPPORTED;
    const int32_t n = l.paletteCount;
    auto *palette = static_cast<uint8_t *>(flt::heap_alloc_zero(3 * static_cast<size_t>(n)));
    if (!palette) return FERR_NO_MEMORY;
    if (l.palette == PaletteSource::kGreyRamp) {
        const int step = 255 / (n - 1);
        for (int32_t i = 0; i < n; ++i) std::memset(palette + 3 * i, i * step, 3);
    } else {
        const uint32_t stored = plte.length / 3;
        for (uint32_t i = 0; i < static_cast<uint32_t>(n) && i < stored; ++i) {
            palette[3 * i] = plte.data[3 * i + 2];
            palette[3 * i + 1] = plte.data[3 * i + 1];
            palette[3 * i + 2] = plte.data[3 * i];
        }
    }
    flt::replace_block(&record->palette, palette);
    record->paletteCount = n;
    return 0;
}

uint32_t set_planes(FilterRecord *record, const Layout &l) {
    if (!l.alphaPlane) {
        record->imageCount = 1;
        record->planeKind = FE_PLANE_IMAGE;
        record->linkedCount = 0;
        flt::replace_block(&record->linkedPlanes, nullptr);
        return 0;
    }
    record->imageCount = 2;
    record->linkedCount = 1;
    auto *linked = static_cast<int32_t *>(flt::heap_alloc(2 * sizeof(int32_t)));
    if (!linked) {
        flt::release_block(&record->palette);
        return FERR_NO_MEMORY;
    }
    // Each entry names the other plane of the pair.
    linked[0] = linked[1] = l.deliverAlpha ? 1 : 2;
    record->planeKind = l.deliverAlpha ? FE_PLANE_TRANSPARENCY : FE_PLANE_IMAGE;
    flt::replace_block(&record->linkedPlanes, linked);
    return 0;
}

// A file without a comment leaves none in the record.
uint32_t set_comment(FilterRecord *record, const ChunkTable &table) {
    const uint8_t *text = nullptr;
    size_t size = 0;
    if (!find_comment(table, &text, &size)) {
        flt::replace_block(&record->comment, nullptr);
        return 0;
    }
    auto *copy = static_cast<char *>(flt::heap_alloc(size + 1));
    if (!copy) return FERR_NO_MEMORY;
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    flt::replace_block(&record->comment, copy);
    return 0;
}

}  // namespace

uint32_t describe_image(FilterRecord *record, ImportState *state) {
    const PngHeader &h = *state->header;
    record->width = static_cast<int32_t>(h.width);
    record->height = static_cast<int32_t>(h.height);
    // A zero or oversized dimension never reaches the pixel path: the rows
    // could not be sized (or would divide by the width).
    Layout l{};
    if (derive_layout(h, record->imageIndex, &l) != LayoutStatus::kOk) return FERR_UNSUPPORTED;
    state->layout = l;
    state->rawRowBytes = l.rawRowBytes;
    state->rowBytes = l.rowBytes;
    record->fileBitsPerPixel = l.fileBitsPerPixel;
    record->bitsPerPixel = l.bitsPerPixel;
    if (uint32_t e = make_palette(record, *state)) return e;
    if (uint32_t e = set_planes(record, l)) return e;
    if (!flt::replace_compression_name(&record->compressionName, kStringBufferSize))
        return FERR_NO_MEMORY;
    return set_comment(record, *state->table);
}

void release_import_parse(FilterRecord *record) {
    auto *state = static_cast<ImportState *>(record->filterState);
    // An export state (options kept for a coming export) is not ours to end.
    if (!state || state->kind != kImportStateKind) return;
    if (state->table) release_chunk_chains(state->table);
    flt::heap_free(state->table);
    flt::heap_free(state->header);
    flt::release_block(reinterpret_cast<ImportState **>(&record->filterState));
}

void release_import_state(FilterRecord *record) {
    release_import_parse(record);
    // Everything the description hung in the record goes too: a host that
    // drops the record after the import would otherwise leak these blocks.
    flt::release_block(&record->palette);
    flt::release_block(&record->compressionName);
    flt::release_block(&record->comment);
    flt::release_block(&record->linkedPlanes);
}

uint32_t identify_file(FilterRecord *record) {
    auto *state = static_cast<ImportState *>(flt::heap_alloc_zero(sizeof(ImportState)));
    if (!state) return FERR_NO_MEMORY;
    state->kind = kImportStateKind;
    drop_other_state(record, kImportStateKind);
    flt::replace_block(reinterpret_cast<ImportState **>(&record->filterState), state);
    state->header = static_cast<PngHeader *>(flt::heap_alloc_zero(sizeof(PngHeader)));
    state->table = static_cast<ChunkTable *>(flt::heap_alloc_zero(sizeof(ChunkTable)));
    uint32_t error = FERR_NO_MEMORY;
    if (state->header && state->table) {
        const size_t size = record->fileData ? record->fileSize : 0;
        error = read_status_code(read_png(record->fileData, size, state->header, state->table));
    }
    if (!error) {
        take_resolution(record, *state->table);
        error = describe_image(record, state);
    }
    if (error) release_import_state(record);
    return error;
}

}  // namespace png
