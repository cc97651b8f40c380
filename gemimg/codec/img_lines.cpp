#include "codec/img_lines.h"

#include <algorithm>
#include <cstring>

#include "format.h"

namespace gem {
namespace {

bool is_chunky(const ImgLayout &l) {
    return l.cls == ImgClass::kChunky24;
}

// Walks one scan line's operations without producing pixels, with the same
// checks on the available bytes as the decoder. *len receives the line's
// length in units (cut to the line for planar images, as the decoder cuts).
bool walk_line(const ImgLayout &l, const uint8_t *d, size_t size, size_t *pos, uint64_t *len) {
    const bool chunky = is_chunky(l);
    const size_t unit = chunky ? 3 : 1;
    const size_t pattern = chunky ? 3 : l.patternLength;
    size_t p = *pos;
    uint64_t produced = 0;
    while (produced < l.lineUnits) {
        if (p >= size) return false;
        const uint8_t op = d[p++];
        if (op == kOpPattern) {
            if (size - p < 1 + pattern) return false;
            produced += static_cast<uint64_t>(d[p]) * (chunky ? 1 : pattern);
            p += 1 + pattern;
        } else if (op == kOpLiteral) {
            if (size - p < 1) return false;
            const size_t n = d[p];
            if (size - p - 1 < n * unit) return false;
            produced += n;
            p += 1 + n * unit;
        } else {
            produced += op & 0x7F;
        }
    }
    *pos = p;
    *len = chunky ? produced : std::min<uint64_t>(produced, l.lineUnits);
    return true;
}

bool decode_planar(const ImgLayout &l, const uint8_t *d, size_t size, uint8_t *out,
                   size_t *consumed) {
    const size_t total = l.lineUnits, pattern = l.patternLength;
    size_t p = 0, filled = 0;
    while (filled < total) {
        if (p >= size) return false;
        const uint8_t op = d[p++];
        if (op == kOpPattern) {
            if (size - p < 1 + pattern) return false;
            const size_t n = d[p];
            const uint8_t *unit = d + p + 1;
            p += 1 + pattern;
            if (pattern == 1) {
                const size_t take = std::min(n, total - filled);
                std::memset(out + filled, unit[0], take);
                filled += take;
                continue;
            }
            for (size_t i = 0; i < n && filled < total; ++i)
                for (size_t j = 0; j < pattern && filled < total; ++j) out[filled++] = unit[j];
        } else if (op == kOpLiteral) {
            if (size - p < 1) return false;
            const size_t n = d[p];
            if (size - p - 1 < n) return false;
            const size_t take = std::min(n, total - filled);
            std::memcpy(out + filled, d + p + 1, take);
            filled += take;
            p += 1 + n;
        } else {
            const size_t take = std::min<size_t>(op & 0x7F, total - filled);
            std::memset(out + filled, (op & kSolidInk) ? 0xFF : 0x00, take);
            filled += take;
        }
    }
    *consumed = p;
    return true;
}

bool decode_chunky(const ImgLayout &l, const uint8_t *d, size_t size, uint8_t *out,
                   size_t *consumed) {
    const size_t total = l.lineUnits;
    size_t p = 0, pixels = 0;
    while (pixels < total) {
        if (p >= size) return false;
        const uint8_t op = d[p++];
        if (op == kOpPattern) {
            if (size - p < 4) return false;
            const size_t n = d[p];
            if (n > total - pixels) return false;
            for (size_t i = 0; i < n; ++i) std::memcpy(out + 3 * (pixels + i), d + p + 1, 3);
            pixels += n;
            p += 4;
        } else if (op == kOpLiteral) {
            if (size - p < 1) return false;
            const size_t n = d[p];
            if (size - p - 1 < 3 * n || n > total - pixels) return false;
            std::memcpy(out + 3 * pixels, d + p + 1, 3 * n);
            pixels += n;
            p += 1 + 3 * n;
        } else {
            const size_t n = op & 0x7F;
            if (n > total - pixels) return false;
            std::memset(out + 3 * pixels, (op & kSolidInk) ? 0xFF : 0x00, 3 * n);
            pixels += n;
        }
    }
    *consumed = p;
    return true;
}

void shift_left(uint8_t *line, size_t bytes, unsigned s) {
    if (s == 0 || bytes == 0) return;
    for (size_t k = 0; k + 1 < bytes; ++k)
        line[k] = static_cast<uint8_t>(line[k] << s | line[k + 1] >> (8 - s));
    line[bytes - 1] = static_cast<uint8_t>(line[bytes - 1] << s);
}

// spread(b): bit 7 - j of b in bit 0 of byte j (byte j = bits 8j..8j+7).
constexpr uint64_t spread(unsigned b) {
    uint64_t v = 0;
    for (unsigned j = 0; j < 8; ++j) v |= static_cast<uint64_t>(b >> (7 - j) & 1) << (8 * j);
    return v;
}
struct SpreadTable {
    uint64_t v[256];
    constexpr SpreadTable() : v() {
        for (unsigned b = 0; b < 256; ++b) v[b] = spread(b);
    }
};
constexpr SpreadTable kSpread;

// The plane values of the 8 pixels of byte column k, planes first..first+n-1,
// the first plane the most significant bit; pixel j in byte j.
uint64_t gather(const uint8_t *decoded, size_t plane_bytes, size_t first, size_t n, size_t k) {
    uint64_t v = 0;
    for (size_t p = first; p < first + n; ++p) v = v << 1 | kSpread.v[decoded[p * plane_bytes + k]];
    return v;
}

// The pen numbers of the 8 pixels of byte column k: plane 0 the least
// significant bit, as the extended header numbers its pens.
uint64_t gather_pens(const uint8_t *decoded, size_t plane_bytes, size_t planes, size_t k) {
    uint64_t v = 0;
    for (size_t p = planes; p-- > 0;) v = v << 1 | kSpread.v[decoded[p * plane_bytes + k]];
    return v;
}

uint8_t four_bit_index(const ImgLayout &l, unsigned v) {
    if (l.twoPlaneGrey) return static_cast<uint8_t>(5 * v);
    if (v == (1u << l.planes) - 1) return 15;
    return static_cast<uint8_t>(v << (4 - l.planes));
}

uint8_t eight_bit_value(size_t planes, unsigned v) {
    if (v == 0) return 255;
    return static_cast<uint8_t>(((1u << planes) - v - 1) << (8 - planes));
}

void convert_indexed(const ImgLayout &l, const uint8_t *decoded, size_t width, uint8_t *row) {
    const size_t plb = l.planeLineBytes;
    const bool four = l.cls == ImgClass::kFourBit;
    if (four) std::memset(row, 0, (width + 1) / 2);
    for (size_t k = 0; k * 8 < width; ++k) {
        const uint64_t v =
            l.pens ? gather_pens(decoded, plb, l.planes, k) : gather(decoded, plb, 0, l.planes, k);
        const size_t count = std::min<size_t>(8, width - 8 * k);
        for (size_t j = 0; j < count; ++j) {
            const unsigned value = static_cast<unsigned>(v >> (8 * j) & 0xFF);
            const size_t x = 8 * k + j;
            if (four) {
                const uint8_t index =
                    l.pens ? static_cast<uint8_t>(value) : four_bit_index(l, value);
                row[x / 2] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
            } else {
                row[x] = l.pens ? static_cast<uint8_t>(value) : eight_bit_value(l.planes, value);
            }
        }
    }
}

void convert_planar24(const ImgLayout &l, const uint8_t *decoded, size_t width, uint8_t *row) {
    const size_t plb = l.planeLineBytes;
    for (size_t k = 0; k * 8 < width; ++k) {
        const uint64_t red = gather(decoded, plb, 0, 8, k);
        const uint64_t green = gather(decoded, plb, 8, 8, k);
        const uint64_t blue = gather(decoded, plb, 16, 8, k);
        const size_t count = std::min<size_t>(8, width - 8 * k);
        for (size_t j = 0; j < count; ++j) {
            uint8_t *px = row + 3 * (8 * k + j);
            px[0] = static_cast<uint8_t>(blue >> (8 * j));
            px[1] = static_cast<uint8_t>(green >> (8 * j));
            px[2] = static_cast<uint8_t>(red >> (8 * j));
        }
    }
}

// Red, green, blue bytes to the host's blue, green, red.
void convert_true_colour(const uint8_t *decoded, size_t width, uint8_t *row) {
    for (size_t x = 0; x < width; ++x) {
        row[3 * x] = decoded[3 * x + 2];
        row[3 * x + 1] = decoded[3 * x + 1];
        row[3 * x + 2] = decoded[3 * x];
    }
}

}  // namespace

bool ImgDecodeLine(const ImgLayout &layout, const uint8_t *data, size_t available, unsigned shift,
                   uint8_t *out, size_t *consumed) {
    if (!data) available = 0;
    const bool ok = is_chunky(layout) ? decode_chunky(layout, data, available, out, consumed)
                                      : decode_planar(layout, data, available, out, consumed);
    if (!ok) return false;
    out[layout.decodedBytes] = 0;
    shift_left(out, layout.decodedBytes, shift & 7);
    return true;
}

void ImgConvertLine(const ImgLayout &layout, const uint8_t *decoded, size_t width, uint8_t *row) {
    switch (layout.cls) {
        case ImgClass::kBilevel:
            std::memcpy(row, decoded, (width + 7) / 8);
            break;
        case ImgClass::kChunky24:
            std::memcpy(row, decoded, 3 * width);
            break;
        case ImgClass::kFourBit:
        case ImgClass::kEightBit:
            convert_indexed(layout, decoded, width, row);
            break;
        case ImgClass::kPlanar24:
            convert_planar24(layout, decoded, width, row);
            break;
        case ImgClass::kTrueColour:
            convert_true_colour(decoded, width, row);
            break;
    }
}

Prefix ImgPrefixAt(const uint8_t *data, size_t available) {
    if (available < 2 || data[0] != 0 || data[1] != 0) return Prefix::kNone;
    if (available < 3) return Prefix::kShort;
    if (data[2] != kPrefixMarker) return Prefix::kNone;
    return available < kPrefixBytes ? Prefix::kShort : Prefix::kPrefix;
}

bool ImgSkipLines(const ImgLayout &layout, const uint8_t *data, size_t size, SkipCursor *cursor,
                  uint64_t target, size_t *pos, uint32_t *copies_due) {
    if (!data) size = 0;
    SkipCursor c = *cursor;
    bool ok = true;
    while (c.line < target) {
        size_t p = c.pos;
        uint64_t count = 1;
        const Prefix prefix = ImgPrefixAt(data + p, size - p);
        if (prefix == Prefix::kShort) {
            ok = false;
            break;
        }
        if (prefix == Prefix::kPrefix) {
            count = data[p + 3];
            p += kPrefixBytes;
        }
        uint64_t len = 0;
        if (!walk_line(layout, data, size, &p, &len)) {
            ok = false;
            break;
        }
        if (prefix == Prefix::kPrefix && c.line + count > target) {
            // The group reaches past the target: stop at its prefix, after
            // checking that the lines so far add up to whole lines.
            if (target * layout.lineUnits != c.sum + (target - c.line) * len) {
                ok = false;
                break;
            }
            *cursor = c;
            *pos = c.pos;
            *copies_due = static_cast<uint32_t>(c.line + count - target);
            return true;
        }
        c.sum += count * len;
        c.line += count;
        c.pos = p;
    }
    // A group of zero lines at the target stands for no line: step over it,
    // so that the target is the scan line that really holds it. A group whose
    // line is damaged stays where it is: decoding it then reports the damage
    // with the same code as a read from the first line does.
    while (ok && ImgPrefixAt(data + c.pos, size - c.pos) == Prefix::kPrefix &&
           data[c.pos + 3] == 0) {
        size_t p = c.pos + kPrefixBytes;
        uint64_t len = 0;
        if (!walk_line(layout, data, size, &p, &len) || len != layout.lineUnits) break;
        c.pos = p;
    }
    *cursor = c;
    if (!ok) return false;
    *pos = c.pos;
    *copies_due = 0;
    return true;
}

}  // namespace gem
