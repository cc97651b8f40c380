// pngxchg export driven as a host does: optionally FE_OPTIONS (the dialog
// played by the POSIX stand-in), FE_EXPORT for the colour plane and, with two
// planes, for the alpha plane, then FE_END_EXPORT. The record's description
// comes from the parameter block, the pixels from the rest of the input.
// Whenever the export reports success the bytes written must be a PNG file
// that an independent reader (below: chunk walk, CRC, zlib) decodes to
// exactly the pixels and description the host gave.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include "common/dialog_script.h"
#endif
#include "common/heap.h"
#include "common/module.h"
#include "fuzz/fuzz_host.h"

namespace {

// The parameter block at the end of the input, read front to back:
//   flags     0x01 two planes (colour, then 8-bit alpha)
//             0x02 FE_OPTIONS first: tick Interlace, OK
//             0x04 FE_OPTIONS first: Cancel
//             0x08 FE_OPTIONS with FRI_NO_DIALOG (no dialog, no interlace)
//             0x10 the host stores FERR_CANCELLED when refusing a write
//             0x20 a comment of `commentLength` bytes
//             0x40 no palette at all
//             0x80 the first FE_EXPORT names plane `badIndex` instead of 1
//   depth     low 3 bits: 1, 4, 8, 24, 1, 4, 8, or the byte itself
//   width, height  int16 (above 128: taken modulo 129, for fast runs)
//   palette   count (uint16, 0..511), kind (0 input bytes, 1 grey ramp of
//             the depth, 2 grey levels from the input, 3 ramp with one
//             coloured entry)
//   xResolution, yResolution  int32
//   refuseWriteAt, heapFail (0x80: sticky), commentLength, badIndex
constexpr size_t kParams = 1 + 1 + 2 + 2 + 2 + 1 + 4 + 4 + 1 + 1 + 1 + 1;

struct Request {
    uint8_t flags;
    int32_t depth, width, height, paletteCount;
    uint8_t paletteKind;
    int32_t xResolution, yResolution;
    uint8_t refuseWriteAt, heapFail, commentLength;
    int8_t badIndex;
};

int32_t small_size(int16_t v) {
    return v > 128 ? v % 129 : v;
}

Request read_request(fuzz::Tail &t) {
    static const int32_t kDepths[8] = {1, 4, 8, 24, 1, 4, 8, 0};
    Request r{};
    r.flags = t.u8();
    const uint8_t d = t.u8();
    r.depth = (d & 7) == 7 ? d : kDepths[d & 7];
    r.width = small_size(t.i16());
    r.height = small_size(t.i16());
    r.paletteCount = t.u16() & 0x1FF;
    r.paletteKind = t.u8() & 3;
    r.xResolution = static_cast<int32_t>(t.u32());
    r.yResolution = static_cast<int32_t>(t.u32());
    r.refuseWriteAt = t.u8();
    r.heapFail = t.u8();
    r.commentLength = t.u8();
    r.badIndex = static_cast<int8_t>(t.u8());
    return r;
}

// Palette entries as blue, green, red; more than the module reads (256).
std::vector<uint8_t> make_palette(const Request &q, const uint8_t *data, size_t size) {
    const int bits = q.depth == 1 || q.depth == 4 ? q.depth : 8;
    const unsigned step = 255u / ((1u << bits) - 1u);
    std::vector<uint8_t> p(3 * 512);
    for (size_t i = 0; i < 512; ++i) {
        const uint8_t level = static_cast<uint8_t>(i * step);
        for (size_t c = 0; c < 3; ++c) {
            const uint8_t from_input = size ? data[(3 * i + c) % size] : static_cast<uint8_t>(i);
            const uint8_t grey_input = size ? data[i % size] : static_cast<uint8_t>(i);
            p[3 * i + c] = q.paletteKind == 0   ? from_input
                           : q.paletteKind == 2 ? grey_input
                                                : level;
        }
    }
    if (q.paletteKind == 3) p[3 * (size ? data[0] % (1u << bits) : 0) + 1] ^= 0x40;
    return p;
}

// Runs FE_OPTIONS as the flags ask; returns the interlace method that the
// export must then use.
uint8_t run_options(fuzz::Host &host, uint8_t flags) {
    FilterRecord &r = host.record();
    if (flags & 0x08) {
        r.requestFlags = FRI_NO_DIALOG;
        fuzz::check(host.call(FE_OPTIONS) == 1, "FE_OPTIONS without a dialog failed");
        fuzz::check(r.filterState == nullptr, "FE_OPTIONS without a dialog made a state");
        r.requestFlags = 0;
        return 0;
    }
#ifndef _WIN32
    // The dialog is played by the POSIX stand-in; a Windows build would show it.
    if (flags & 0x04) {
        const flt::DialogStep cancel[] = {{flt::DialogAction::kEscape}};
        flt::dialog_script_set(cancel, 1);
        const int32_t ok = host.call(FE_OPTIONS);
        flt::dialog_script_clear();
        fuzz::check(!ok && r.errorCode == FERR_CANCELLED, "cancelled options not reported");
        fuzz::check(r.filterState != nullptr, "cancelled options dropped the export state");
        r.errorCode = 0;
        return 0;
    }
    if (flags & 0x02) {
        const flt::DialogStep tick[] = {{flt::DialogAction::kClick, 1000},
                                        {flt::DialogAction::kEnter}};
        flt::dialog_script_set(tick, 2);
        const int32_t ok = host.call(FE_OPTIONS);
        flt::dialog_script_clear();
        fuzz::check(ok == 1, "confirmed options failed");
        return 1;
    }
#endif
    return 0;
}

uint32_t be32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// What an independent reader finds in the written bytes.
struct Png {
    uint32_t width = 0, height = 0;
    uint8_t depth = 0, type = 0, interlace = 0;
    std::vector<uint8_t> plte;
    bool hasPhys = false, hasText = false;
    std::vector<uint8_t> phys, text, idat;
};

void take_header(Png &png, const uint8_t *d, uint32_t length) {
    fuzz::check(length == 13, "IHDR of a wrong length");
    png.width = be32(d);
    png.height = be32(d + 4);
    png.depth = d[8];
    png.type = d[9];
    fuzz::check(d[10] == 0 && d[11] == 0, "IHDR with a compression or filter method");
    png.interlace = d[12];
}

// The chunk walk: signature, CRCs, order, IDAT chunks of 8192 bytes but the
// last, nothing after IEND.
Png parse(const std::vector<uint8_t> &f) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    fuzz::check(f.size() >= 8 && std::memcmp(f.data(), kSignature, 8) == 0,
                "written file without the PNG signature");
    Png png;
    size_t pos = 8;
    uint32_t last_idat = 8192;
    bool idat_open = false, idat_closed = false;
    for (;;) {
        fuzz::check(f.size() - pos >= 12, "written chunk runs past the end");
        const uint32_t length = be32(&f[pos]);
        fuzz::check(length <= f.size() - pos - 12, "written chunk runs past the end");
        const uint8_t *type = &f[pos + 4], *data = type + 4;
        const uLong crc = crc32(crc32(0, nullptr, 0), type, 4 + length);
        fuzz::check(crc == be32(data + length), "written chunk with a wrong CRC");
        const std::string t(reinterpret_cast<const char *>(type), 4);
        fuzz::check((pos == 8) == (t == "IHDR"), "IHDR not the first chunk");
        if (t == "IDAT") {
            fuzz::check(!idat_closed, "IDAT chunks not adjacent");
            fuzz::check(last_idat == 8192, "an IDAT chunk before the last is not 8192 bytes");
            fuzz::check(length > 0, "empty IDAT chunk");
            last_idat = length;
            png.idat.insert(png.idat.end(), data, data + length);
            idat_open = true;
        } else {
            idat_closed = idat_open;
            fuzz::check(t == "IEND" || !idat_open, "a header chunk after the image data");
        }
        if (t == "IHDR") take_header(png, data, length);
        if (t == "PLTE") png.plte.assign(data, data + length);
        if (t == "pHYs") {
            png.hasPhys = true;
            png.phys.assign(data, data + length);
        }
        if (t == "tEXt") {
            fuzz::check(!png.hasText, "two text chunks");
            png.hasText = true;
            png.text.assign(data, data + length);
        }
        fuzz::check(
            t == "IHDR" || t == "PLTE" || t == "pHYs" || t == "tEXt" || t == "IDAT" || t == "IEND",
            "unexpected chunk written");
        pos += 12 + length;
        if (t == "IEND") {
            fuzz::check(length == 0 && pos == f.size(), "IEND not empty or not last");
            return png;
        }
    }
}

constexpr int kPasses = 7;
// First column, first row, column step, row step.
constexpr uint32_t kAdam7[kPasses][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

uint32_t count_of(uint32_t size, uint32_t start, uint32_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
}

int channels_of(uint8_t type) {
    return type == 2 ? 3 : type == 6 ? 4 : type == 4 ? 2 : 1;
}

size_t line_bytes(uint32_t pixels, int bits) {
    return (static_cast<size_t>(pixels) * bits + 7) / 8;
}

unsigned sample_at(const uint8_t *line, size_t index, int depth) {
    if (depth == 8) return line[index];
    const size_t bit = index * depth;
    return line[bit / 8] >> (8 - depth - bit % 8) & ((1u << depth) - 1);
}

// Inflates the image data and takes every sample out of its scanlines into
// width x height x channels values, top row first.
std::vector<uint16_t> decode_samples(const Png &png) {
    const int ch = channels_of(png.type), bits = png.depth * ch;
    struct Sub {
        uint32_t x0, y0, dx, dy, w, h;
    };
    std::vector<Sub> subs;
    if (png.interlace == 0) subs.push_back({0, 0, 1, 1, png.width, png.height});
    for (int p = 0; png.interlace && p < kPasses; ++p) {
        const uint32_t *a = kAdam7[p];
        const uint32_t w = count_of(png.width, a[0], a[2]), h = count_of(png.height, a[1], a[3]);
        if (w && h) subs.push_back({a[0], a[1], a[2], a[3], w, h});
    }
    size_t raw_size = 0;
    for (const Sub &s : subs) raw_size += (line_bytes(s.w, bits) + 1) * s.h;
    std::vector<uint8_t> raw(raw_size + 1);
    z_stream z{};
    fuzz::check(inflateInit(&z) == Z_OK, "inflateInit");
    z.next_in = const_cast<Bytef *>(png.idat.data());
    z.avail_in = static_cast<uInt>(png.idat.size());
    z.next_out = raw.data();
    z.avail_out = static_cast<uInt>(raw.size());
    const int ret = inflate(&z, Z_FINISH);
    const bool whole = ret == Z_STREAM_END && z.total_out == raw_size && z.avail_in == 0;
    inflateEnd(&z);
    fuzz::check(whole, "image data is not one zlib stream of exactly the scanlines");
    std::vector<uint16_t> out(static_cast<size_t>(png.width) * png.height * ch);
    const uint8_t *line = raw.data();
    for (const Sub &s : subs) {
        for (uint32_t i = 0; i < s.h; ++i, line += line_bytes(s.w, bits) + 1) {
            fuzz::check(line[0] == 0, "scanline with a filter other than None");
            for (uint32_t j = 0; j < s.w; ++j)
                for (int c = 0; c < ch; ++c) {
                    const size_t at =
                        ((static_cast<size_t>(s.y0) + i * s.dy) * png.width + s.x0 + j * s.dx) *
                            ch +
                        c;
                    out[at] = static_cast<uint16_t>(sample_at(line + 1, j * ch + c, png.depth));
                }
        }
    }
    return out;
}

// The image the host described, as the export fetched it.
struct HostImage {
    int32_t width, height, depth, planes, paletteCount;
    const uint8_t *palette;
    std::vector<std::vector<uint8_t>> colour, alpha;  // host rows, bottom row first
};

std::vector<std::vector<uint8_t>> fetch_rows(fuzz::Host &host, int32_t depth) {
    FilterRecord &r = host.record();
    const int32_t saved = r.bitsPerPixel;
    r.bitsPerPixel = depth;
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(r.height));
    for (int32_t y = 0; y < r.height; ++y) {
        rows[y].resize(line_bytes(static_cast<uint32_t>(r.width), depth == 24 ? 24 : depth) + 4);
        host.on_get_rows(rows[y].data(), 0, y, r.width, 1, &r);
    }
    r.bitsPerPixel = saved;
    return rows;
}

// A grey level of a PNG sample, and the grey level the host's index means
// (-1 when the index lies beyond the palette: then the value itself).
void check_grey(const HostImage &h, unsigned index, unsigned sample, int depth) {
    const size_t entries = h.palette ? static_cast<size_t>(std::min(h.paletteCount, 256)) : 0;
    if (index >= entries) {
        fuzz::check(sample == index, "grey value beyond the palette changed");
        return;
    }
    const unsigned level = sample * 255u / ((1u << depth) - 1u);
    const uint8_t *e = h.palette + 3 * index;
    fuzz::check(e[0] == level && e[1] == level && e[2] == level,
                "grey level differs from the host's palette colour");
}

void check_palette_chunk(const Png &png, const HostImage &h) {
    fuzz::check(h.palette && h.paletteCount > 0, "palette image without a host palette");
    const size_t entries = std::min<size_t>(std::min(h.paletteCount, 256), size_t{1} << png.depth);
    fuzz::check(png.plte.size() == 3 * entries, "PLTE of a wrong size");
    for (size_t i = 0; i < entries; ++i)
        fuzz::check(png.plte[3 * i] == h.palette[3 * i + 2] &&
                        png.plte[3 * i + 1] == h.palette[3 * i + 1] &&
                        png.plte[3 * i + 2] == h.palette[3 * i],
                    "PLTE entry differs from the host palette");
}

void check_pixels(const Png &png, const HostImage &h) {
    const std::vector<uint16_t> s = decode_samples(png);
    const int ch = channels_of(png.type);
    for (uint32_t r = 0; r < png.height; ++r) {
        const std::vector<uint8_t> &row = h.colour[png.height - 1 - r];
        const uint8_t *alpha = h.planes == 2 ? h.alpha[png.height - 1 - r].data() : nullptr;
        for (uint32_t x = 0; x < png.width; ++x) {
            const uint16_t *px = &s[(static_cast<size_t>(r) * png.width + x) * ch];
            if (png.type == 2 || png.type == 6) {
                fuzz::check(
                    px[0] == row[3 * x + 2] && px[1] == row[3 * x + 1] && px[2] == row[3 * x],
                    "truecolour pixel differs");
            } else {
                const unsigned v = sample_at(row.data(), x, h.depth);
                if (png.type == 3)
                    fuzz::check(px[0] == v, "palette index differs");
                else
                    check_grey(h, v, px[0], png.depth);
            }
            if (alpha) fuzz::check(px[ch - 1] == alpha[x], "alpha value differs");
        }
    }
}

void check_file(const Png &png, const HostImage &h, uint8_t interlace, const char *comment,
                int32_t x_res, int32_t y_res) {
    fuzz::check(png.width == static_cast<uint32_t>(h.width) &&
                    png.height == static_cast<uint32_t>(h.height),
                "IHDR size differs from the record");
    fuzz::check(png.interlace == interlace, "interlace method differs from the options");
    const bool alpha_type = png.type == 4 || png.type == 6;
    fuzz::check(alpha_type == (h.planes == 2), "colour type does not match the planes");
    if (h.depth == 24)
        fuzz::check((png.type == 2 || png.type == 6) && png.depth == 8, "24-bit rows not RGB");
    else
        fuzz::check((png.type == 0 || png.type == 3 || png.type == 4) && png.depth == h.depth,
                    "indexed rows not grey or palette of their depth");
    if (png.type == 3) check_palette_chunk(png, h);
    if (png.type != 3) fuzz::check(png.plte.empty(), "PLTE in an image without a palette");
    fuzz::check(png.hasPhys && png.phys.size() == 9, "pHYs missing");
    fuzz::check(be32(&png.phys[0]) == static_cast<uint32_t>(x_res / 1000) &&
                    be32(&png.phys[4]) == static_cast<uint32_t>(y_res / 1000) && png.phys[8] == 1,
                "pHYs differs from the resolution");
    fuzz::check(png.hasText == (comment != nullptr), "comment chunk presence");
    if (comment) {
        std::string expected("Comment");
        expected.push_back('\0');
        expected += comment;
        fuzz::check(std::string(png.text.begin(), png.text.end()) == expected,
                    "comment chunk differs");
    }
    check_pixels(png, h);
}

bool valid_depth(int32_t depth) {
    return depth == 1 || depth == 4 || depth == 8 || depth == 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Tail tail(data, size, kParams);
    const Request q = read_request(tail);
    const std::vector<uint8_t> pixels = fuzz::exact_copy(tail.data(), tail.remaining());
    std::vector<uint8_t> palette = make_palette(q, pixels.data(), pixels.size());
    std::string comment;
    for (size_t i = 0; i < q.commentLength; ++i)
        comment.push_back(pixels.empty() || pixels[i % pixels.size()] == 0
                              ? 'x'
                              : static_cast<char>(pixels[i % pixels.size()]));
    const bool with_comment = (q.flags & 0x20) != 0;

    static fuzz::Host host(FilterEntry);
    host.begin_export(pixels.data(), pixels.size());
    FilterRecord &r = host.record();
    const uint8_t interlace = run_options(host, q.flags);

    const int32_t planes = (q.flags & 0x01) ? 2 : 1;
    const int32_t first_index = (q.flags & 0x80) ? q.badIndex : 1;
    r.width = q.width;
    r.height = q.height;
    r.bitsPerPixel = q.depth;
    r.imageCount = planes;
    r.imageIndex = first_index;
    r.palette = (q.flags & 0x40) ? nullptr : palette.data();
    r.paletteCount = q.paletteCount;
    r.xResolution = q.xResolution;
    r.yResolution = q.yResolution;
    r.comment = with_comment ? &comment[0] : nullptr;
    host.refuseWriteAt = q.refuseWriteAt;
    host.storeCancel = (q.flags & 0x10) != 0;
    if (q.heapFail) flt::heap_fail_at(q.heapFail & 0x7F, (q.heapFail & 0x80) != 0);

    int32_t ok = host.call(FE_EXPORT);
    host.check_export_result(ok);
    // imageIndex 0 is taken as plane 1.
    const bool plane_one = first_index == 1 || first_index == 0;
    bool done = ok && planes == 1;
    // The alpha plane gets bytes of its own, so that a mix-up of the planes shows.
    std::vector<uint8_t> alpha(pixels.rbegin(), pixels.rend());
    for (uint8_t &a : alpha) a ^= 0xA5;
    if (ok && planes == 2 && plane_one) {
        host.set_export_pixels(alpha.data(), alpha.size());
        r.bitsPerPixel = 8;
        r.imageIndex = 2;
        ok = host.call(FE_EXPORT);
        host.check_export_result(ok);
        done = ok != 0;
    }
    flt::heap_fail_at(0);
    if (!ok) fuzz::check(r.filterState == nullptr, "failed export kept its state");
    const bool must_succeed = q.refuseWriteAt == 0 && q.heapFail == 0 && plane_one && q.width > 0 &&
                              q.height > 0 && valid_depth(q.depth) &&
                              (planes == 1 || q.depth == 24);
    if (must_succeed) fuzz::check(done, "export of a valid image failed");
    if (done) {
        HostImage image{q.width, q.height, q.depth, planes, q.paletteCount, r.palette, {}, {}};
        if (planes == 2) image.alpha = fetch_rows(host, 8);
        host.set_export_pixels(pixels.data(), pixels.size());
        image.colour = fetch_rows(host, q.depth);
        check_file(parse(host.output()), image, interlace, r.comment, q.xResolution, q.yResolution);
    }
    host.call(FE_END_EXPORT);
    fuzz::check(r.filterState == nullptr, "FE_END_EXPORT left the state");
    host.finish_export();
    return 0;
}
