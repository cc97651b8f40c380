// A minimal host for benchmarks: serves rows from memory to getRowsProc,
// counts the bytes written through dataProc, takes delivered rows without
// copying them, and stretches rows by nearest neighbour in fit mode.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/filter.h"
#include "common/module.h"

namespace bench_host {

struct Image {
    int32_t width = 0, height = 0, bpp = 0;
    std::vector<uint8_t> palette;  // blue, green, red
    std::vector<uint8_t> pixels;   // rows top to bottom, unpadded
    size_t rowBytes() const { return (static_cast<size_t>(width) * bpp + 7) / 8; }
};

struct Host {
    FilterRecord record{};
    const Image *source = nullptr;
    std::vector<uint8_t> file;  // what export wrote, or what import reads
    uint64_t rowsDelivered = 0;
    uint64_t checksum = 0;
};

inline Host *&current() {
    static Host *h = nullptr;
    return h;
}

inline int32_t FE_CDECL on_data(const void *data, int32_t y, int32_t, int32_t, int32_t,
                                int32_t byteCount, int32_t, uint32_t) {
    Host *h = current();
    if (data == &h->record) return 1;
    ++h->rowsDelivered;
    if (byteCount > 0) h->checksum += static_cast<const uint8_t *>(data)[byteCount - 1] + y;
    return 1;
}

inline int32_t FE_CDECL on_write(const void *bytes, FilterRecord *, int32_t count, int32_t,
                                 uint32_t) {
    const uint8_t *b = static_cast<const uint8_t *>(bytes);
    current()->file.insert(current()->file.end(), b, b + count);
    return 1;
}

inline int32_t FE_STDCALL on_get_rows(void *destination, int32_t, int32_t y, int32_t, int32_t,
                                      FilterRecord *) {
    const Image &im = *current()->source;
    std::memcpy(destination, im.pixels.data() + im.rowBytes() * (im.height - 1 - y), im.rowBytes());
    return 1;
}

inline void FE_STDCALL stretch(const void *src, void *dst, int32_t n, int32_t m, int32_t bpp) {
    const uint8_t *s = static_cast<const uint8_t *>(src);
    uint8_t *d = static_cast<uint8_t *>(dst);
    if (bpp >= 8) {
        const int32_t px = bpp / 8;
        for (int32_t i = 0; i < m; ++i)
            std::memcpy(d + i * px, s + static_cast<int64_t>(i) * n / m * px, px);
        return;
    }
    std::memset(d, 0, (static_cast<size_t>(m) * bpp + 7) / 8);
    for (int32_t i = 0; i < m; ++i) {
        const int64_t k = static_cast<int64_t>(i) * n / m * bpp;
        const unsigned v = s[k / 8] >> (8 - bpp - k % 8) & ((1u << bpp) - 1);
        const int64_t o = static_cast<int64_t>(i) * bpp;
        d[o / 8] |= static_cast<uint8_t>(v << (8 - bpp - o % 8));
    }
}

// Writes `image` through FE_EXPORT; the file lands in host.file.
inline bool export_image(Host &h, const Image &image, const char *path = nullptr) {
    h = Host();
    current() = &h;
    h.source = &image;
    FilterRecord &r = h.record;
    r.width = image.width, r.height = image.height, r.bitsPerPixel = image.bpp;
    r.xResolution = r.yResolution = 2834645;
    r.paletteCount = static_cast<int32_t>(image.palette.size() / 3);
    r.palette = const_cast<uint8_t *>(image.palette.data());
    r.dataProc = filter_proc_cast<FilterDataProc>(on_write);
    r.getRowsProc = on_get_rows;
    r.filePath = const_cast<char *>(path);
    r.imageCount = r.imageIndex = 1;
    const bool ok = FilterEntry(FE_EXPORT, &r) != 0;
    FilterEntry(FE_END_EXPORT, &r);
    return ok;
}

// Imports `file` (whole, or fitted into fit_width x fit_height).
inline bool import_file(Host &h, const std::vector<uint8_t> &file, int32_t fit_width = 0,
                        int32_t fit_height = 0) {
    h.record = FilterRecord();
    h.rowsDelivered = 0;
    current() = &h;
    FilterRecord &r = h.record;
    r.fileData = file.data();
    r.fileSize = static_cast<uint32_t>(file.size());
    r.dataProc = on_data;
    r.stretchProc = stretch;
    if (fit_width > 0) {
        r.requestFlags = FRI_FIT_MASK;
        r.region = {0, 0, fit_width - 1, fit_height - 1};
    }
    const bool ok = FilterEntry(FE_IMPORT, &r) != 0;
    FilterEntry(FE_END_IMPORT, &r);
    return ok;
}

// A document-like 1-bit page or a graphic at other depths: long runs, blocks
// of identical rows and some noise, the material these formats carry.
inline Image make_image(int32_t width, int32_t height, int32_t bpp) {
    Image im;
    im.width = width, im.height = height, im.bpp = bpp;
    if (bpp == 1) im.palette = {255, 255, 255, 0, 0, 0};
    if (bpp == 4)
        for (int i = 0; i < 16; ++i) {
            const uint8_t g = static_cast<uint8_t>(255 - 17 * i);
            im.palette.insert(im.palette.end(), {g, g, g});
        }
    if (bpp == 8)
        for (int i = 0; i < 256; ++i)
            im.palette.insert(im.palette.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                                 static_cast<uint8_t>(i)});
    const size_t rb = im.rowBytes();
    im.pixels.resize(rb * height);
    uint32_t seed = 99;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t *row = im.pixels.data() + rb * y;
        if (y % 16 >= 10 && y > 0) {  // blank or repeated bands
            std::memcpy(row, row - rb, rb);
            continue;
        }
        for (size_t i = 0; i < rb; ++i) {
            seed = seed * 1103515245u + 12345u;
            const uint32_t r = seed >> 16;
            const size_t band = (i + y / 16 * 13) % 97;
            row[i] = band < 40   ? 0x00
                     : band < 60 ? static_cast<uint8_t>(r)
                     : band < 80 ? 0xFF
                                 : static_cast<uint8_t>(y);
        }
    }
    return im;
}

// Runs a shell command and reports whether it succeeded.
inline bool shell(const std::string &command) {
    return std::system(command.c_str()) == 0;
}

inline bool save(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The image as a raw PBM, PGM (8-bit through a grey palette) or PPM.
inline std::vector<uint8_t> to_pnm(const Image &im) {
    const std::string magic = im.bpp == 1 ? "P4" : im.bpp == 8 ? "P5" : "P6";
    std::string head = magic + "\n" + std::to_string(im.width) + " " + std::to_string(im.height) +
                       (im.bpp == 1 ? "\n" : "\n255\n");
    std::vector<uint8_t> out(head.begin(), head.end());
    if (im.bpp == 1) {
        for (uint8_t b : im.pixels) out.push_back(static_cast<uint8_t>(~b));  // bit 1 = black
    } else if (im.bpp == 8) {
        out.insert(out.end(), im.pixels.begin(), im.pixels.end());
    } else {
        for (size_t i = 0; i + 2 < im.pixels.size(); i += 3)
            out.insert(out.end(), {im.pixels[i + 2], im.pixels[i + 1], im.pixels[i]});
    }
    return out;
}

}  // namespace bench_host
