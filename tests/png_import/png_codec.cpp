#include "png_codec.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace png_codec {
namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Adam7: x0, y0, dx, dy of each pass; one pass without interlace.
struct Pass {
    uint32_t x0, y0, dx, dy;
};
const Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                        {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
const Pass kWhole = {0, 0, 1, 1};

uint32_t pass_count(uint32_t size, uint32_t start, uint32_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
}

size_t row_bytes(uint32_t width, int bits) {
    return (static_cast<size_t>(width) * bits + 7) / 8;
}

// Copies pixel `from` of `src` to pixel `to` of `dst`, `bits` bits a pixel.
void copy_pixel(const uint8_t *src, uint32_t from, uint8_t *dst, uint32_t to, int bits) {
    if (bits >= 8) {
        std::memcpy(dst + static_cast<size_t>(to) * (bits / 8),
                    src + static_cast<size_t>(from) * (bits / 8), bits / 8);
        return;
    }
    const size_t f = static_cast<size_t>(from) * bits, t = static_cast<size_t>(to) * bits;
    const unsigned v = (src[f / 8] >> (8 - bits - f % 8)) & ((1u << bits) - 1);
    dst[t / 8] = static_cast<uint8_t>(dst[t / 8] & ~(((1u << bits) - 1) << (8 - bits - t % 8)));
    dst[t / 8] = static_cast<uint8_t>(dst[t / 8] | v << (8 - bits - t % 8));
}

uint8_t paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The predictor of byte i of a row for filter type `type`.
uint8_t predict(int type, const uint8_t *row, const uint8_t *prior, size_t i, size_t bpp) {
    const int a = i >= bpp ? row[i - bpp] : 0, b = prior ? prior[i] : 0;
    const int c = i >= bpp && prior ? prior[i - bpp] : 0;
    switch (type) {
        case 1:
            return static_cast<uint8_t>(a);
        case 2:
            return static_cast<uint8_t>(b);
        case 3:
            return static_cast<uint8_t>((a + b) / 2);
        case 4:
            return paeth(a, b, c);
        default:
            return 0;
    }
}

void put32(std::vector<uint8_t> *out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<uint8_t>(v >> s));
}

uint32_t get32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

void put_chunk(std::vector<uint8_t> *out, const char *type, const std::vector<uint8_t> &data) {
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data.begin(), data.end());
    put32(out, static_cast<uint32_t>(crc32(0, out->data() + start, 4 + data.size())));
}

bool valid_header(int type, int depth) {
    switch (type) {
        case 0:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2:
        case 4:
        case 6:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

}  // namespace

int channels(int colorType) {
    switch (colorType) {
        case 0:
        case 3:
            return 1;
        case 2:
            return 3;
        case 4:
            return 2;
        case 6:
            return 4;
        default:
            return 0;
    }
}

std::vector<uint8_t> write(const Raw &image, int filterMask) {
    const int bits = channels(image.colorType) * image.bitDepth;
    const size_t bpp = bits < 8 ? 1 : bits / 8;
    std::vector<int> filters;
    for (int t = 0; t < 5; ++t)
        if (filterMask & (8 << t)) filters.push_back(t);
    if (filters.empty()) filters.push_back(0);
    std::vector<uint8_t> raw;
    size_t next_filter = 0;
    for (int p = 0; p < (image.interlace ? 7 : 1); ++p) {
        const Pass pass = image.interlace ? kAdam7[p] : kWhole;
        const uint32_t w = pass_count(image.width, pass.x0, pass.dx);
        const uint32_t h = pass_count(image.height, pass.y0, pass.dy);
        if (w == 0 || h == 0) continue;
        std::vector<uint8_t> prior, row(row_bytes(w, bits));
        for (uint32_t y = 0; y < h; ++y) {
            std::fill(row.begin(), row.end(), 0);
            const uint8_t *full = image.rows[pass.y0 + y * pass.dy].data();
            for (uint32_t x = 0; x < w; ++x)
                copy_pixel(full, pass.x0 + x * pass.dx, row.data(), x, bits);
            const int type = filters[next_filter++ % filters.size()];
            raw.push_back(static_cast<uint8_t>(type));
            for (size_t i = 0; i < row.size(); ++i)
                raw.push_back(static_cast<uint8_t>(
                    row[i] -
                    predict(type, row.data(), prior.empty() ? nullptr : prior.data(), i, bpp)));
            prior = row;
        }
    }
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packed_size);
    if (compress(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size())) != Z_OK)
        return {};
    packed.resize(packed_size);

    std::vector<uint8_t> out(kSignature, kSignature + 8), header;
    put32(&header, image.width);
    put32(&header, image.height);
    header.insert(header.end(),
                  {static_cast<uint8_t>(image.bitDepth), static_cast<uint8_t>(image.colorType), 0,
                   0, static_cast<uint8_t>(image.interlace ? 1 : 0)});
    put_chunk(&out, "IHDR", header);
    if (image.colorType == 3) put_chunk(&out, "PLTE", image.palette);
    put_chunk(&out, "IDAT", packed);
    put_chunk(&out, "IEND", {});
    return out;
}

bool read(const std::vector<uint8_t> &file, Raw *out) {
    *out = Raw();
    if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) return false;
    std::vector<uint8_t> packed;
    bool header = false, end = false;
    for (size_t pos = 8; !end;) {
        if (file.size() - pos < 12) return false;
        const uint32_t length = get32(&file[pos]);
        if (length > file.size() - pos - 12) return false;
        const uint8_t *type = &file[pos + 4], *data = type + 4;
        if (get32(data + length) != crc32(0, type, 4 + length)) return false;
        const std::string name(reinterpret_cast<const char *>(type), 4);
        if (name == "IHDR" && length == 13) {
            out->width = get32(data);
            out->height = get32(data + 4);
            out->bitDepth = data[8];
            out->colorType = data[9];
            out->interlace = data[12] == 1;
            if (!valid_header(out->colorType, out->bitDepth) || data[10] || data[11] ||
                data[12] > 1 || out->width == 0 || out->height == 0)
                return false;
            header = true;
        } else if (name == "PLTE") {
            out->palette.assign(data, data + length);
        } else if (name == "IDAT") {
            packed.insert(packed.end(), data, data + length);
        } else if (name == "IEND") {
            end = true;
        }
        pos += 12 + length;
    }
    if (!header || packed.empty()) return false;

    const int bits = channels(out->colorType) * out->bitDepth;
    const size_t bpp = bits < 8 ? 1 : bits / 8;
    uLongf raw_size = 0;
    for (int p = 0; p < (out->interlace ? 7 : 1); ++p) {
        const Pass pass = out->interlace ? kAdam7[p] : kWhole;
        const uint32_t w = pass_count(out->width, pass.x0, pass.dx);
        if (w) raw_size += (1 + row_bytes(w, bits)) * pass_count(out->height, pass.y0, pass.dy);
    }
    std::vector<uint8_t> raw(raw_size);
    if (uncompress(raw.data(), &raw_size, packed.data(), static_cast<uLong>(packed.size())) !=
            Z_OK ||
        raw_size != raw.size())
        return false;

    out->rows.assign(out->height, std::vector<uint8_t>(row_bytes(out->width, bits)));
    const uint8_t *in = raw.data();
    for (int p = 0; p < (out->interlace ? 7 : 1); ++p) {
        const Pass pass = out->interlace ? kAdam7[p] : kWhole;
        const uint32_t w = pass_count(out->width, pass.x0, pass.dx);
        const uint32_t h = pass_count(out->height, pass.y0, pass.dy);
        if (w == 0 || h == 0) continue;
        std::vector<uint8_t> prior, row(row_bytes(w, bits));
        for (uint32_t y = 0; y < h; ++y) {
            const int type = *in++;
            if (type > 4) return false;
            for (size_t i = 0; i < row.size(); ++i)
                row[i] = static_cast<uint8_t>(
                    in[i] +
                    predict(type, row.data(), prior.empty() ? nullptr : prior.data(), i, bpp));
            in += row.size();
            uint8_t *full = out->rows[pass.y0 + y * pass.dy].data();
            for (uint32_t x = 0; x < w; ++x)
                copy_pixel(row.data(), x, full, pass.x0 + x * pass.dx, bits);
            prior = row;
        }
    }
    return true;
}

}  // namespace png_codec
