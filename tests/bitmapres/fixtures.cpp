#include "fixtures.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace fx {
namespace {

void put16(std::vector<uint8_t> &v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void put32(std::vector<uint8_t> &v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}
void add16(std::vector<uint8_t> &v, uint32_t x) {
    v.resize(v.size() + 2);
    put16(v, v.size() - 2, x);
}
void add32(std::vector<uint8_t> &v, uint32_t x) {
    v.resize(v.size() + 4);
    put32(v, v.size() - 4, x);
}
uint32_t get16(const std::vector<uint8_t> &v, size_t at) {
    return v[at] | v[at + 1] << 8;
}
uint32_t get32(const std::vector<uint8_t> &v, size_t at) {
    return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 | uint32_t(v[at + 2]) << 16 |
           uint32_t(v[at + 3]) << 24;
}

size_t stride(int32_t width, int32_t bits) {
    return (size_t(width) * bits + 31) / 32 * 4;
}

void pack_row(const Bitmap &im, int32_t top, int32_t bits, const DibOptions &o, uint8_t *out) {
    for (int32_t x = 0; x < im.width; ++x) {
        const uint32_t p = im.at(x, top);
        if (bits < 8) {
            const int bit = x * bits;
            out[bit / 8] |= uint8_t(p << (8 - bits - bit % 8));
        } else if (bits == 8) {
            out[x] = uint8_t(p);
        } else if (bits == 24 || o.compression == 0) {
            const int step = bits / 8;
            out[step * x] = uint8_t(p);
            out[step * x + 1] = uint8_t(p >> 8);
            out[step * x + 2] = uint8_t(p >> 16);
            // 32 bits: a fourth byte that is not 0, which must be dropped.
            if (step == 4) out[4 * x + 3] = uint8_t(0x80 | (x * 7 + top));
        } else {
            // Bit fields: each channel's top bits placed under its mask.
            uint32_t v = 0;
            const uint32_t ch[3] = {p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF};
            for (int c = 0; c < 3; ++c) {
                uint32_t m = o.masks[c];
                if (!m) continue;
                int low = 0, width = 0;
                while (!(m >> low & 1)) ++low;
                while (low + width < 32 && (m >> (low + width) & 1)) ++width;
                uint32_t field = width >= 8 ? ch[c] << (width - 8) : ch[c] >> (8 - width);
                v |= field << low & m;
            }
            for (int i = 0; i < bits / 8; ++i) out[bits / 8 * x + i] = uint8_t(v >> (8 * i));
        }
    }
}

}  // namespace

uint32_t Bitmap::rgb(int32_t x, int32_t top) const {
    const uint32_t p = at(x, top);
    if (bits > 8) return p;
    const uint8_t *e = &palette[3 * p];
    return uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
}

Bitmap pattern(int32_t width, int32_t height, int32_t bits, uint32_t seed) {
    Bitmap im;
    im.width = width;
    im.height = height;
    im.bits = bits;
    uint32_t s = seed * 2654435761u + 12345;
    auto next = [&s] {
        s = s * 1103515245u + 12345;
        return s >> 8;
    };
    if (bits <= 8) {
        const int colors = 1 << bits;
        for (int i = 0; i < colors; ++i) {
            im.palette.push_back(uint8_t(i * 37 + seed));
            im.palette.push_back(uint8_t(i * 91 + 3));
            im.palette.push_back(uint8_t(255 - i * 13));
        }
    }
    const uint32_t limit = bits <= 8 ? (1u << bits) : 0x1000000u;
    uint32_t value = 0;
    for (int32_t i = 0; i < width * height; ++i) {
        // Runs of a few pixels, then noise.
        if (next() % 4 == 0) value = next() % limit;
        im.pixels.push_back((i / 7) % 3 == 0 ? value : next() % limit);
    }
    return im;
}

std::vector<uint8_t> rle_encode(const Bitmap &im, int bits, bool literals) {
    std::vector<uint8_t> out;
    for (int32_t top = im.height - 1; top >= 0; --top) {
        int32_t x = 0;
        while (x < im.width) {
            int32_t run = 1;
            while (x + run < im.width && run < 255 && im.at(x + run, top) == im.at(x, top)) ++run;
            if (run >= 2 || !literals) {
                uint8_t v = uint8_t(im.at(x, top));
                out.push_back(uint8_t(run));
                out.push_back(bits == 8 ? v : uint8_t(v << 4 | v));
                x += run;
                continue;
            }
            // An absolute run up to the next pair of equal pixels.
            int32_t n = 1;
            while (x + n < im.width && n < 255 &&
                   !(x + n + 1 < im.width && im.at(x + n, top) == im.at(x + n + 1, top)))
                ++n;
            if (n < 3) {
                out.push_back(1);
                out.push_back(uint8_t(im.at(x, top) * (bits == 8 ? 1 : 17)));
                x += 1;
                continue;
            }
            out.push_back(0);
            out.push_back(uint8_t(n));
            std::vector<uint8_t> bytes;
            for (int32_t i = 0; i < n; ++i) {
                uint8_t v = uint8_t(im.at(x + i, top));
                if (bits == 8) {
                    bytes.push_back(v);
                } else if (i % 2 == 0) {
                    bytes.push_back(uint8_t(v << 4));
                } else {
                    bytes.back() |= v;
                }
            }
            if (bytes.size() % 2) bytes.push_back(0);
            out.insert(out.end(), bytes.begin(), bytes.end());
            x += n;
        }
        out.push_back(0);
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(1);
    return out;
}

std::vector<uint8_t> make_dib(const Bitmap &im, const DibOptions &o) {
    std::vector<uint8_t> dib(40, 0);
    const bool plain32 = o.compression == 0 && o.fieldBits == 32;
    const int32_t bits = o.compression == 3 || plain32 ? o.fieldBits : im.bits;
    put32(dib, 0, 40);
    put32(dib, 4, uint32_t(im.width));
    put32(dib, 8, uint32_t(o.topDown ? -im.height : im.height));
    put16(dib, 12, 1);
    put16(dib, 14, uint32_t(bits));
    put32(dib, 16, o.compression);
    put32(dib, 24, uint32_t(o.xPelsPerMeter));
    put32(dib, 28, uint32_t(o.yPelsPerMeter));
    put32(dib, 32, o.colorsUsed);
    if (o.compression == 3) {
        for (uint32_t m : o.masks) add32(dib, m);
    } else if (bits <= 8) {
        const size_t colors = o.colorsUsed ? o.colorsUsed : size_t(1) << bits;
        for (size_t i = 0; i < colors; ++i) {
            for (int c = 0; c < 3; ++c)
                dib.push_back(3 * i + c < im.palette.size() ? im.palette[3 * i + c] : 0);
            dib.push_back(0);
        }
    }
    if (o.compression == 1 || o.compression == 2) {
        std::vector<uint8_t> s = rle_encode(im, o.compression == 1 ? 8 : 4, o.literals);
        put32(dib, 20, uint32_t(s.size()));
        dib.insert(dib.end(), s.begin(), s.end());
        return dib;
    }
    const size_t st = stride(im.width, bits);
    std::vector<uint8_t> pixels(st * im.height, 0);
    for (int32_t k = 0; k < im.height; ++k) {
        const int32_t top = o.topDown ? k : im.height - 1 - k;
        pack_row(im, top, bits, o, pixels.data() + st * k);
    }
    put32(dib, 20, uint32_t(pixels.size()));
    dib.insert(dib.end(), pixels.begin(), pixels.end());
    return dib;
}

std::vector<uint8_t> bmp_file(const std::vector<uint8_t> &dib) {
    // Sized once and filled in place: growing a 14-byte vector by insert()
    // draws a false -Warray-bounds from GCC 12 at -O3.
    std::vector<uint8_t> f(14 + dib.size(), 0);
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 2, uint32_t(f.size()));
    // Pixels follow the header and the colour table (or masks).
    const uint32_t bits = get16(dib, 14), compression = get32(dib, 16);
    uint32_t colors = get32(dib, 32);
    if (bits <= 8 && colors == 0) colors = 1u << bits;
    if (bits > 8) colors = 0;
    put32(f, 10, 14 + 40 + (compression == 3 ? 12 : 0) + colors * 4);
    std::copy(dib.begin(), dib.end(), f.begin() + 14);
    return f;
}

bool read_bmp(const std::vector<uint8_t> &f, Bitmap *im) {
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M' || get32(f, 30) != 0) return false;
    const size_t header = 14 + get32(f, 14);
    im->width = int32_t(get32(f, 18));
    int32_t h = int32_t(get32(f, 22));
    const bool top_down = h < 0;
    im->height = top_down ? -h : h;
    im->bits = int32_t(get16(f, 28));
    uint32_t colors = get32(f, 46);
    if (im->bits <= 8 && colors == 0) colors = 1u << im->bits;
    if (im->bits > 8) colors = 0;
    im->palette.clear();
    for (uint32_t i = 0; i < colors; ++i)
        for (int c = 0; c < 3; ++c) im->palette.push_back(f[header + 4 * i + c]);
    const size_t data = get32(f, 10), st = stride(im->width, im->bits);
    if (f.size() < data + st * im->height) return false;
    im->pixels.assign(size_t(im->width) * im->height, 0);
    for (int32_t k = 0; k < im->height; ++k) {
        const uint8_t *row = &f[data + st * k];
        const int32_t top = top_down ? k : im->height - 1 - k;
        for (int32_t x = 0; x < im->width; ++x) {
            uint32_t p;
            if (im->bits < 8) {
                const int bit = x * im->bits;
                p = row[bit / 8] >> (8 - im->bits - bit % 8) & ((1u << im->bits) - 1);
            } else if (im->bits == 8) {
                p = row[x];
            } else {
                p = uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
            }
            im->pixels[size_t(top) * im->width + x] = p;
        }
    }
    return true;
}

uint32_t bitfield_expected(uint32_t rgb, const DibOptions &o) {
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        uint32_t m = o.masks[c], ch = rgb >> (16 - 8 * c) & 0xFF;
        int width = 0;
        for (uint32_t b = m; b; b >>= 1) width += b & 1;
        uint32_t keep = m == 0 ? 0 : width >= 8 ? 0xFF : (0xFF << (8 - width)) & 0xFF;
        out |= (ch & keep) << (16 - 8 * c);
    }
    return out;
}

std::vector<uint8_t> make_ne(const std::vector<NeResource> &resources, const NeOptions &o) {
    std::vector<uint8_t> f(0x40, 0);
    f[0] = 'M';
    f[1] = 'Z';
    put32(f, 0x3C, 0x40);
    std::vector<uint8_t> ne(0x40, 0);
    ne[0] = 'N';
    ne[1] = 'E';
    put16(ne, 0x24, 0x40);
    ne[0x36] = o.targetOs;
    put16(ne, 0x3E, o.version);
    std::vector<uint16_t> types;
    for (const auto &r : resources)
        if (std::find(types.begin(), types.end(), r.type) == types.end()) types.push_back(r.type);
    std::vector<uint8_t> table;
    add16(table, o.shift);
    std::vector<size_t> slots;  // where each resource's offset goes, in table order
    std::vector<const NeResource *> order;
    for (uint16_t t : types) {
        add16(table, t);
        size_t count_at = table.size();
        add16(table, 0);
        add32(table, 0);
        uint32_t n = 0;
        for (const auto &r : resources) {
            if (r.type != t) continue;
            slots.push_back(table.size());
            order.push_back(&r);
            add16(table, 0);
            add16(table, uint32_t((r.bytes.size() + (1u << o.shift) - 1) >> o.shift));
            add16(table, 0x30);
            add16(table, 0x8000 | (n + 1));
            add32(table, 0);
            ++n;
        }
        put16(table, count_at, n);
    }
    add16(table, 0);
    f.insert(f.end(), ne.begin(), ne.end());
    const size_t table_at = f.size();
    f.insert(f.end(), table.begin(), table.end());
    for (size_t i = 0; i < order.size(); ++i) {
        const size_t align = size_t(1) << o.shift;
        f.resize((f.size() + align - 1) / align * align, 0);
        put16(f, table_at + slots[i], uint32_t(f.size() >> o.shift));
        f.insert(f.end(), order[i]->bytes.begin(), order[i]->bytes.end());
    }
    return f;
}

namespace {

// One level of the resource tree under construction.
struct Node {
    std::string name;
    uint32_t id = 0;
    std::vector<Node> children;
    const PeResource *leaf = nullptr;
};

Node *child(Node &n, const std::string &name, uint32_t id) {
    for (auto &c : n.children)
        if (c.name == name && c.id == id) return &c;
    n.children.push_back(Node{name, id, {}, nullptr});
    return &n.children.back();
}

struct PeWriter {
    std::vector<uint8_t> dir, strings, entries, blobs;
    std::vector<std::pair<size_t, size_t>> string_fix, entry_fix;  // (dir offset, relative)
    std::vector<std::pair<size_t, size_t>> blob_fix;               // (entries offset, blob offset)

    size_t write(const Node &n) {
        const size_t at = dir.size();
        dir.resize(at + 16 + 8 * n.children.size(), 0);
        uint32_t named = 0;
        for (const auto &c : n.children) named += !c.name.empty();
        put16(dir, at + 12, named);
        put16(dir, at + 14, uint32_t(n.children.size()) - named);
        for (size_t i = 0; i < n.children.size(); ++i) {
            const Node &c = n.children[i];
            const size_t e = at + 16 + 8 * i;
            if (c.name.empty()) {
                put32(dir, e, c.id);
            } else {
                string_fix.push_back({e, strings.size()});
                add16(strings, uint32_t(c.name.size()));
                for (char ch : c.name) add16(strings, uint8_t(ch));
            }
            if (c.leaf) {
                entry_fix.push_back({e + 4, entries.size()});
                blob_fix.push_back({entries.size(), blobs.size()});
                entries.resize(entries.size() + 16, 0);
                put32(entries, entries.size() - 12, uint32_t(c.leaf->bytes.size()));
                blobs.insert(blobs.end(), c.leaf->bytes.begin(), c.leaf->bytes.end());
                blobs.resize((blobs.size() + 7) / 8 * 8, 0);
            } else {
                const size_t sub = write(c);
                put32(dir, e + 4, 0x80000000u | uint32_t(sub));
            }
        }
        return at;
    }
};

}  // namespace

std::vector<uint8_t> make_pe(const std::vector<PeResource> &resources, const PeOptions &o) {
    Node root;
    for (const auto &r : resources) {
        Node *t = child(root, "", r.type);
        Node *n = child(*t, r.name, r.name.empty() ? r.id : 0);
        child(*n, "", r.language)->leaf = &r;
    }
    PeWriter w;
    w.write(root);
    const uint32_t va = 0x1000;
    const size_t entries_at = w.dir.size(), strings_at = entries_at + w.entries.size();
    const size_t blobs_at = (strings_at + w.strings.size() + 7) / 8 * 8;
    std::vector<uint8_t> sec = w.dir;
    for (auto [e, rel] : w.string_fix) put32(sec, e, 0x80000000u | uint32_t(strings_at + rel));
    for (auto [e, rel] : w.entry_fix) put32(sec, e, uint32_t(entries_at + rel));
    sec.insert(sec.end(), w.entries.begin(), w.entries.end());
    for (auto [e, b] : w.blob_fix) put32(sec, entries_at + e, uint32_t(va + blobs_at + b));
    sec.insert(sec.end(), w.strings.begin(), w.strings.end());
    sec.resize(blobs_at, 0);
    sec.insert(sec.end(), w.blobs.begin(), w.blobs.end());

    const uint32_t opt_size = o.plus ? 240 : 224;
    std::vector<uint8_t> f(kPeResourceOffset, 0);
    f[0] = 'M';
    f[1] = 'Z';
    put32(f, 0x3C, 0x80);
    const size_t pe = 0x80;
    put32(f, pe, 0x00004550);
    put16(f, pe + 4, o.plus ? 0x8664 : 0x14C);
    put16(f, pe + 6, 1);
    put16(f, pe + 20, opt_size);
    put16(f, pe + 24, o.plus ? 0x20B : 0x10B);
    const size_t dd = pe + 24 + (o.plus ? 112 : 96);
    put32(f, dd + 8 * 2, va);
    put32(f, dd + 8 * 2 + 4, uint32_t(sec.size()));
    const size_t sh = pe + 24 + opt_size;
    std::memcpy(&f[sh], o.section.c_str(), std::min<size_t>(8, o.section.size()));
    put32(f, sh + 8, uint32_t(sec.size()));
    put32(f, sh + 12, va);
    put32(f, sh + 16, uint32_t(sec.size()));
    put32(f, sh + 20, uint32_t(kPeResourceOffset));
    f.insert(f.end(), sec.begin(), sec.end());
    return f;
}

}  // namespace fx
