// Runs of the paintxchg writer through the linked FilterEntry.
#pragma once

#include <string>
#include <vector>

#include "common/heap.h"
#include "host/host.h"
#include "support/linked_module.h"

namespace paint_export_test {

using Bytes = std::vector<uint8_t>;

struct Exported {
    bool ok = false;
    uint32_t code = 0;
    Bytes file;
    std::vector<host::WriteCall> writes;
};

struct ExportOptions {
    const char *path = "/tmp/CAT.MAC";
    int refuseWriteAt = 0;
    bool storeCancel = false;
};

inline Exported export_image(const host::Image &image, const ExportOptions &o = {}) {
    host::Session s(testing_support::linked_module());
    std::string path = o.path ? o.path : "";
    s.record().filePath = o.path ? &path[0] : nullptr;
    s.refuse_write_at = o.refuseWriteAt;
    s.store_cancel = o.storeCancel;
    Exported e;
    e.ok = s.export_plane(image, 1, 1);
    e.code = s.record().errorCode;
    e.file = s.output();
    e.writes = s.writes();
    EXPECT_TRUE(s.end_export());
    return e;
}

// A 1-bit host image (bit 0 black) with a deterministic pattern of runs and
// noise.
inline host::Image bilevel(int width, int height, uint32_t seed) {
    host::Image im;
    im.width = width, im.height = height, im.bitsPerPixel = 1;
    im.palette = {0, 0, 0, 255, 255, 255};
    im.allocate();
    for (size_t i = 0; i < im.pixels.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        const uint32_t r = seed >> 16;
        im.pixels[i] = r % 3 == 0 ? static_cast<uint8_t>(r) : (i / 5 % 2 ? 0xFF : 0x00);
    }
    return im;
}

inline host::Image solid(int width, int height, uint8_t fill) {
    host::Image im = bilevel(width, height, 1);
    std::fill(im.pixels.begin(), im.pixels.end(), fill);
    return im;
}

// The 720 rows of a written file decoded, one 72-byte row each, file sense
// (set bit black); empty when the rows do not decode to 72 bytes each.
inline std::vector<Bytes> decode_rows(const Bytes &file) {
    std::vector<Bytes> rows;
    size_t p = 640;
    for (int r = 0; r < 720; ++r) {
        Bytes row;
        while (row.size() < 72) {
            if (p >= file.size()) return {};
            const uint8_t h = file[p++];
            if (h < 0x80) {
                if (p + h + 1 > file.size()) return {};
                row.insert(row.end(), file.begin() + p, file.begin() + p + h + 1);
                p += h + 1;
            } else if (h > 0x80) {
                if (p >= file.size()) return {};
                row.insert(row.end(), 257 - h, file[p++]);
            } else {
                return {};
            }
        }
        if (row.size() != 72) return {};
        rows.push_back(row);
    }
    if (p != file.size()) return {};
    return rows;
}

}  // namespace paint_export_test
