// GEM IMG test files and a host around the linked gemxchg: headers built
// word by word, images of every class with chosen replication, and import
// and export runs whose every call is recorded.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/heap.h"
#include "host/host.h"
#include "support/guard_page.h"
#include "support/linked_module.h"

namespace gem_test {

using Bytes = std::vector<uint8_t>;

// Header words, big-endian.
inline Bytes words(std::initializer_list<int> w) {
    Bytes out;
    for (int v : w) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

// An 8-word header for planes, pattern length, width and height.
inline Bytes header8(int planes, int pattern, int width, int height, int microns = 85) {
    return words({1, 8, planes, pattern, microns, microns, width, height});
}
inline Bytes header9(int planes, int pattern, int width, int height, int kind) {
    return words({1, 9, planes, pattern, 85, 85, width, height, kind});
}

inline Bytes cat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The file bytes placed so that they end exactly at an unreadable page: a
// read past fileData faults instead of passing unnoticed.
class GuardedBytes {
  public:
    explicit GuardedBytes(const Bytes &bytes)
        : page_(bytes.size()), data_(page_.place(bytes)), size_(bytes.size()) {}
    const uint8_t *data() const { return size_ ? data_ : nullptr; }
    uint32_t size() const { return static_cast<uint32_t>(size_); }

  private:
    testing_support::GuardPage page_;
    const uint8_t *data_;
    size_t size_;
};

// What an import delivered.
struct Imported {
    bool ok = false;
    uint32_t code = 0;
    FilterRect region{};
    std::vector<host::RowCall> rows;
    std::vector<Bytes> bytes;  // the bytes of each row call, in call order
    host::Image image;
    int headerCalls = 0;
};

struct ImportOptions {
    FilterRect region{};
    bool fit = false;
    int refuseHeader = 0;
    int refuseRowAt = 0;
    bool storeCancel = false;
};

inline Imported import_file(const Bytes &file, const ImportOptions &o = {}) {
    host::Session s(testing_support::linked_module());
    GuardedBytes guarded(file);
    s.record().fileData = guarded.data();
    s.record().fileSize = guarded.size();
    s.record().region = o.region;
    if (o.fit) s.record().requestFlags |= 0x40;
    s.refuse_header = o.refuseHeader;
    s.refuse_row_at = o.refuseRowAt;
    s.store_cancel = o.storeCancel;
    Imported r;
    s.on_row = [&r](const host::RowCall &c, const uint8_t *b) {
        r.bytes.emplace_back(b, b + c.byteCount);
    };
    r.ok = s.import_image();
    r.code = s.record().errorCode;
    r.region = s.record().region;
    r.rows = s.rows();
    r.headerCalls = s.header_calls();
    if (r.ok) r.image = s.image();
    s.end_import();
    return r;
}

// What an export wrote.
struct Exported {
    bool ok = false;
    uint32_t code = 0;
    Bytes file;
    std::vector<host::WriteCall> writes;
};

inline Exported export_image(const host::Image &image, int refuse_write_at = 0,
                             bool store_cancel = false) {
    host::Session s(testing_support::linked_module());
    s.refuse_write_at = refuse_write_at;
    s.store_cancel = store_cancel;
    Exported e;
    e.ok = s.export_plane(image, 1, 1);
    e.code = s.record().errorCode;
    e.file = s.output();
    e.writes = s.writes();
    s.end_export();
    return e;
}

// Palettes (blue, green, red entries).
inline Bytes bgr_of(const uint8_t (*rgb)[3], int count) {
    Bytes p;
    for (int i = 0; i < count; ++i) {
        p.push_back(rgb[i][2]);
        p.push_back(rgb[i][1]);
        p.push_back(rgb[i][0]);
    }
    return p;
}
inline Bytes grey_palette(int count, int step, bool descending) {
    Bytes p;
    for (int i = 0; i < count; ++i) {
        uint8_t g = static_cast<uint8_t>(descending ? 255 - step * i : step * i);
        p.insert(p.end(), {g, g, g});
    }
    return p;
}

// A deterministic image of the given depth whose rows come in blocks of
// identical rows of the given lengths (a block of n rows becomes a
// replication group of n, or n - 1 when it ends the image); pixels use every
// palette index.
inline host::Image blocks_image(int width, int bpp, const std::vector<int> &blocks,
                                const Bytes &palette, uint32_t seed = 7) {
    host::Image im;
    im.width = width;
    im.bitsPerPixel = bpp;
    im.xResolution = im.yResolution = 2834645;
    im.palette = palette;
    for (int b : blocks) im.height += b;
    im.allocate();
    int y = 0;
    for (int b : blocks) {
        Bytes row(im.row_bytes());
        for (size_t i = 0; i < row.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            uint8_t v = static_cast<uint8_t>(seed >> 16);
            // Mix long runs of one value with noise so that every operation occurs.
            if ((i / 7 + y) % 3 == 0) v = static_cast<uint8_t>(y % 2 ? 0xFF : 0x00);
            if ((i / 5 + y) % 4 == 1) v = static_cast<uint8_t>(0x11 * (y % 16));
            row[i] = v;
        }
        if (bpp == 8 && palette.size() / 3 < 256)
            for (auto &v : row) v = static_cast<uint8_t>(v % (palette.size() / 3));
        const unsigned tail = static_cast<unsigned>(width * bpp % 8);
        if (tail) row.back() &= static_cast<uint8_t>(0xFF << (8 - tail));
        for (int k = 0; k < b; ++k, ++y) std::memcpy(im.row(y), row.data(), row.size());
    }
    return im;
}

}  // namespace gem_test
