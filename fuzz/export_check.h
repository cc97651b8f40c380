// Checks for the export targets: how an export ended, and the written file
// read back through the module's own importer (description, palette, rows),
// so that a target can compare it with the pixels it handed over.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/filter.h"
#include "common/heap.h"
#include "common/record_blocks.h"
#include "fuzz/fuzz_host.h"

namespace fuzz {

struct Imported {
    bool ok = false;
    int32_t width = 0, height = 0, bitsPerPixel = 0;
    int32_t xResolution = 0, yResolution = 0;
    std::vector<uint8_t> palette;            // blue, green, red per entry
    std::vector<std::vector<uint8_t>> rows;  // top row first
};

namespace capture_detail {

inline Imported *&target() {
    static Imported *current = nullptr;
    return current;
}

inline int32_t FE_CDECL on_row(const void *data, int32_t y, int32_t x, int32_t rowCount,
                               int32_t width, int32_t byteCount, int32_t percent,
                               uint32_t userData) {
    Imported &out = *target();
    if (width == 0 && byteCount == 0) return 1;  // the header call
    check(y >= 0 && y < out.height && byteCount > 0, "re-import: row outside the image");
    const uint8_t *p = static_cast<const uint8_t *>(data);
    out.rows[static_cast<size_t>(out.height - 1 - y)].assign(p, p + byteCount);
    return 1;
}

}  // namespace capture_detail

// identify, import of the whole image, end; the module heap must be back to
// where it was afterwards.
inline Imported import_back(FilterEntryProc entry, const std::vector<uint8_t> &file) {
    Imported out;
    ScratchRecord scratch(file);
    FilterRecord &r = *scratch;
    r.dataProc = capture_detail::on_row;
    const long blocks = flt::heap_live_blocks();
    capture_detail::target() = &out;
    if (entry(FE_IDENTIFY, &r)) {
        out.width = r.width;
        out.height = r.height;
        out.bitsPerPixel = r.bitsPerPixel;
        out.xResolution = r.xResolution;
        out.yResolution = r.yResolution;
        if (r.palette && r.paletteCount > 0)
            out.palette.assign(r.palette, r.palette + 3 * r.paletteCount);
        out.rows.resize(static_cast<size_t>(r.height > 0 ? r.height : 0));
        r.region = FilterRect{};
        out.ok = entry(FE_IMPORT, &r) != 0;
        for (const auto &row : out.rows) out.ok = out.ok && !row.empty();
    }
    entry(FE_END_IMPORT, &r);
    capture_detail::target() = nullptr;
    flt::release_block(&r.palette);
    flt::release_block(&r.compressionName);
    flt::release_block(&r.comment);
    check(flt::heap_live_blocks() == blocks, "re-import: module heap blocks leaked");
    return out;
}

// Checks how FE_EXPORT ended, then ends the export. `refusal` is the code the
// record's fields call for (0 when they are fine), which must come before any
// byte is written; any other failure needs a refused write and must carry
// `write_code`.
inline void check_export_end(Host &host, int32_t ok, uint32_t refusal, uint32_t write_code) {
    const FilterRecord &r = host.record();
    host.check_export_result(ok);
    if (refusal) {
        check(!ok && r.errorCode == refusal, "export not refused with the expected code");
        check(host.written() == 0, "refused export wrote bytes");
    } else if (!ok) {
        check(host.refuseWriteAt > 0, "export failed without a refused write");
        check(r.errorCode == write_code, "refused write ended with the wrong code");
    }
    check(host.call(FE_END_EXPORT) == 1, "end of export failed");
}

}  // namespace fuzz
