// GEM IMG test files and a host around the linked gemxchg: headers built
// word by word, images of every class with chosen replication, and import
// and export runs whose every call is recorded.
#pragma once

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <random>
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

// An extended header: "XIMG", colour model, pen levels (three per pen), then
// `extra_words` zero words.
inline Bytes ximg_header(int planes, int pattern, int width, int height,
                         const std::vector<int> &pens, int extra_words = 0, int model = 0) {
    const int header_words = 11 + static_cast<int>(pens.size()) + extra_words;
    Bytes h = cat(header8(planes, pattern, width, height), {'X', 'I', 'M', 'G'});
    h[3] = static_cast<uint8_t>(header_words), h[2] = static_cast<uint8_t>(header_words >> 8);
    h = cat(h, words({model}));
    for (int level : pens) h = cat(h, words({level}));
    return cat(h, Bytes(2 * extra_words, 0));
}

inline Bytes cut(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

// Repetitions of the `pattern` bytes at b[0] within n bytes.
inline size_t repeats(const uint8_t *b, size_t n, size_t pattern) {
    size_t r = 1;
    while ((r + 1) * pattern <= n && r < 255 && std::equal(b, b + pattern, b + r * pattern)) ++r;
    return r;
}

// Run-length encodes n bytes with solid runs of 0x00 and 0xFF, pattern runs
// and literals.
inline Bytes encode(const uint8_t *b, size_t n, size_t pattern) {
    Bytes out;
    for (size_t i = 0; i < n;) {
        const auto solid = [&](size_t k) { return b[k] == 0x00 || b[k] == 0xFF; };
        size_t run = 1;
        if (solid(i)) {
            while (i + run < n && run < 127 && b[i + run] == b[i]) ++run;
            out.push_back(static_cast<uint8_t>((b[i] ? 0x80 : 0) | run));
        } else if ((run = repeats(b + i, n - i, pattern)) >= 2) {
            out = cat(cat(out, {0x00, static_cast<uint8_t>(run)}), Bytes(b + i, b + i + pattern));
            run *= pattern;
        } else {
            while (i + run < n && run < 255 && !solid(i + run) &&
                   repeats(b + i + run, n - i - run, pattern) < 2)
                ++run;
            out = cat(cat(out, {0x80, static_cast<uint8_t>(run)}), Bytes(b + i, b + i + run));
        }
        i += run;
    }
    return out;
}

// A file of `height` lines of raw plane bytes that mix solid bytes, repeated
// patterns and noise, neighbouring equal lines in replication groups.
inline Bytes ximg_file(int planes, int pattern, int width, int height, std::mt19937 &rng) {
    std::vector<int> pens;
    if (planes <= 8)
        for (int i = 0; i < 3 << planes; ++i) pens.push_back(static_cast<int>(rng() % 1001));
    Bytes f = ximg_header(planes, pattern, width, height, pens);
    const size_t segment = planes == 24 ? 3 * ((width + 15) / 16 * 16) : (width + 7) / 8;
    const size_t segments = planes == 24 ? 1 : planes;
    for (int y = 0; y < height;) {
        Bytes line(segment * segments);
        const Bytes unit = {static_cast<uint8_t>(rng()), 0x5A, static_cast<uint8_t>(rng()), 0x0F};
        for (size_t i = 0; i < line.size(); ++i) {
            const uint32_t style = (i / 6 + y) % 4;
            line[i] = style == 0   ? 0xFF
                      : style == 1 ? 0x00
                      : style == 2 ? unit[i % pattern % 4]
                                   : static_cast<uint8_t>(rng());
        }
        const int group = std::min<int>(1 + static_cast<int>(rng() % 3), height - y);
        if (group > 1) f = cat(f, {0x00, 0x00, 0xFF, static_cast<uint8_t>(group)});
        for (size_t s = 0; s < segments; ++s)
            f = cat(f, encode(line.data() + s * segment, segment, static_cast<size_t>(pattern)));
        y += group;
    }
    return f;
}

}  // namespace gem_test
