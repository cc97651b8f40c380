#include "png_fixtures.h"

#include <zlib.h>

#include <cstring>
#include <sstream>

#include "png_codec.h"
#include "support/linked_module.h"

namespace png_test {
namespace {

#if PNG_REFERENCE_DECODER
struct Buffer {
    const std::vector<uint8_t> *in = nullptr;
    size_t pos = 0;
    std::vector<uint8_t> out;
};

void write_fn(png_structp p, png_bytep data, png_size_t n) {
    auto *b = static_cast<Buffer *>(png_get_io_ptr(p));
    b->out.insert(b->out.end(), data, data + n);
}
void flush_fn(png_structp) {}
void read_fn(png_structp p, png_bytep data, png_size_t n) {
    auto *b = static_cast<Buffer *>(png_get_io_ptr(p));
    if (b->pos + n > b->in->size()) png_error(p, "read past end");
    std::memcpy(data, b->in->data() + b->pos, n);
    b->pos += n;
}
#endif

// Packs the samples of one row the way PNG stores them.
std::vector<uint8_t> pack_row(const Samples &s, uint32_t y) {
    const int ch = channels_of(s.colorType);
    const size_t count = static_cast<size_t>(s.width) * ch;
    std::vector<uint8_t> row((count * s.bitDepth + 7) / 8, 0);
    const uint16_t *v = s.values.data() + y * count;
    for (size_t i = 0; i < count; ++i) {
        if (s.bitDepth == 16) {
            row[2 * i] = static_cast<uint8_t>(v[i] >> 8);
            row[2 * i + 1] = static_cast<uint8_t>(v[i]);
        } else {
            size_t bit = i * s.bitDepth;
            row[bit / 8] |= static_cast<uint8_t>(v[i] << (8 - s.bitDepth - bit % 8));
        }
    }
    return row;
}

unsigned sample_at(const uint8_t *row, size_t i, int depth) {
    if (depth == 16) return row[2 * i] << 8 | row[2 * i + 1];
    size_t bit = i * depth;
    return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

void put_bits(uint8_t *row, size_t x, int bits, unsigned v) {
    size_t bit = x * bits;
    row[bit / 8] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
}

void grey_ramp(host::Image *img, int n) {
    img->palette.clear();
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k)
            img->palette.push_back(static_cast<uint8_t>(i * (255 / (n - 1))));
}

// One libpng row of samples to the host row of the plane.
void host_row(const uint8_t *in, int type, int depth, uint32_t width, bool alpha, int bpp,
              uint8_t *out) {
    const int ch = channels_of(type);
    for (uint32_t x = 0; x < width; ++x) {
        auto sample = [&](int c) {
            unsigned v = sample_at(in, static_cast<size_t>(x) * ch + c, depth);
            return depth == 16 ? v >> 8 : v;
        };
        if (bpp == 24) {
            for (int c = 0; c < 3; ++c) out[3 * x + c] = static_cast<uint8_t>(sample(2 - c));
        } else if (bpp == 8) {
            out[x] = static_cast<uint8_t>(sample(alpha ? ch - 1 : 0));
        } else {
            put_bits(out, x, bpp, sample(0));
        }
    }
}

}  // namespace

int channels_of(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_RGB:
            return 3;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return 4;
        default:
            return 1;
    }
}

Samples make_samples(uint32_t width, uint32_t height, int colorType, int bitDepth, bool interlace,
                     uint32_t seed) {
    Samples s;
    s.width = width;
    s.height = height;
    s.colorType = colorType;
    s.bitDepth = bitDepth;
    s.interlace = interlace;
    const size_t n = static_cast<size_t>(width) * height * channels_of(colorType);
    const unsigned mask = bitDepth == 16 ? 0xFFFF : (1u << bitDepth) - 1;
    uint32_t r = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        r = r * 1103515245u + 12345u;
        // Smooth ramps with some noise, so that the filters have work to do.
        unsigned smooth = static_cast<unsigned>(i * 37 / (n + 1) * mask / 36);
        s.values.push_back(static_cast<uint16_t>((r >> 20) % 3 ? smooth & mask : (r >> 8) & mask));
    }
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (unsigned i = 0; i <= mask; ++i)
            s.palette.push_back({static_cast<png_byte>(i * 7), static_cast<png_byte>(255 - i),
                                 static_cast<png_byte>(i * 131)});
    }
    return s;
}

#if PNG_REFERENCE_DECODER
std::vector<uint8_t> encode(const Samples &s) {
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    Buffer b;
    std::vector<std::vector<uint8_t>> rows;
    std::vector<png_bytep> pointers;
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_write_struct(&p, &info);
        return {};
    }
    png_set_write_fn(p, &b, write_fn, flush_fn);
    png_set_IHDR(p, info, s.width, s.height, s.bitDepth, s.colorType,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty())
        png_set_PLTE(p, info, s.palette.data(), static_cast<int>(s.palette.size()));
    png_set_filter(p, PNG_FILTER_TYPE_BASE, s.filters);
    png_write_info(p, info);
    for (uint32_t y = 0; y < s.height; ++y) rows.push_back(pack_row(s, y));
    for (auto &r : rows) pointers.push_back(r.data());
    png_write_image(p, pointers.data());
    png_write_end(p, nullptr);
    png_destroy_write_struct(&p, &info);
    return b.out;
}

// libpng's decoding: rows deinterlaced, no transformations.
static bool raw_decode(const std::vector<uint8_t> &file, png_codec::Raw *raw) {
    png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    Buffer b;
    b.in = &file;
    std::vector<png_bytep> pointers;
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_read_struct(&p, &info, nullptr);
        return false;
    }
    png_set_read_fn(p, &b, read_fn);
    png_set_crc_action(p, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_read_info(p, info);
    png_set_interlace_handling(p);
    png_read_update_info(p, info);
    raw->width = png_get_image_width(p, info);
    raw->height = png_get_image_height(p, info);
    raw->colorType = png_get_color_type(p, info);
    raw->bitDepth = png_get_bit_depth(p, info);
    raw->interlace = png_get_interlace_type(p, info) == PNG_INTERLACE_ADAM7;
    raw->rows.assign(raw->height, std::vector<uint8_t>(png_get_rowbytes(p, info)));
    for (auto &r : raw->rows) pointers.push_back(r.data());
    png_read_image(p, pointers.data());
    png_colorp plte = nullptr;
    int count = 0;
    if (raw->colorType == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(p, info, &plte, &count))
        for (int i = 0; i < count; ++i)
            raw->palette.insert(raw->palette.end(), {plte[i].red, plte[i].green, plte[i].blue});
    png_destroy_read_struct(&p, &info, nullptr);
    return true;
}
#endif

std::vector<uint8_t> codec_encode(const Samples &s) {
    png_codec::Raw raw;
    raw.width = s.width;
    raw.height = s.height;
    raw.colorType = s.colorType;
    raw.bitDepth = s.bitDepth;
    raw.interlace = s.interlace;
    for (const png_color &c : s.palette)
        raw.palette.insert(raw.palette.end(), {c.red, c.green, c.blue});
    for (uint32_t y = 0; y < s.height; ++y) raw.rows.push_back(pack_row(s, y));
    return png_codec::write(raw, s.filters);
}

#if !PNG_REFERENCE_DECODER
std::vector<uint8_t> encode(const Samples &s) {
    return codec_encode(s);
}

static bool raw_decode(const std::vector<uint8_t> &file, png_codec::Raw *raw) {
    return png_codec::read(file, raw);
}
#endif

namespace {

Expected expected_from(const png_codec::Raw &raw, int32_t imageIndex) {
    Expected e;
    const uint32_t w = raw.width, h = raw.height;
    const int type = raw.colorType, depth = raw.bitDepth;
    const bool has_alpha = type & PNG_COLOR_MASK_ALPHA;
    const bool alpha = has_alpha && imageIndex == 2;
    host::Image &img = e.image;
    img.width = static_cast<int32_t>(w);
    img.height = static_cast<int32_t>(h);
    img.bitsPerPixel =
        (type == PNG_COLOR_TYPE_RGB || (type == PNG_COLOR_TYPE_RGB_ALPHA && !alpha))          ? 24
        : type == PNG_COLOR_TYPE_GRAY_ALPHA || type == PNG_COLOR_TYPE_RGB_ALPHA || depth >= 8 ? 8
        : depth == 1                                                                          ? 1
                                                                                              : 4;
    if (type == PNG_COLOR_TYPE_PALETTE) {
        const int count = static_cast<int>(raw.palette.size() / 3);
        const int n = 1 << depth;
        img.palette.assign(3 * n, 0);
        for (int i = 0; i < n && i < count; ++i) {
            img.palette[3 * i] = raw.palette[3 * i + 2];
            img.palette[3 * i + 1] = raw.palette[3 * i + 1];
            img.palette[3 * i + 2] = raw.palette[3 * i];
        }
    } else if (img.bitsPerPixel != 24) {
        grey_ramp(&img, img.bitsPerPixel == 8 || has_alpha ? 256 : 1 << depth);
    }
    img.allocate();
    for (uint32_t y = 0; y < h; ++y)
        host_row(raw.rows[y].data(), type, depth, w, alpha, img.bitsPerPixel,
                 img.row(static_cast<int32_t>(y)));
    e.ok = true;
    return e;
}

}  // namespace

Expected reference_decode(const std::vector<uint8_t> &file, int32_t imageIndex) {
    png_codec::Raw raw;
    return raw_decode(file, &raw) ? expected_from(raw, imageIndex) : Expected{};
}

Expected codec_decode(const std::vector<uint8_t> &file, int32_t imageIndex) {
    png_codec::Raw raw;
    return png_codec::read(file, &raw) ? expected_from(raw, imageIndex) : Expected{};
}

std::string compare_images(const host::Image &got, const host::Image &want) {
    std::ostringstream why;
    if (got.width != want.width || got.height != want.height ||
        got.bitsPerPixel != want.bitsPerPixel) {
        why << "got " << got.width << "x" << got.height << "@" << got.bitsPerPixel << ", want "
            << want.width << "x" << want.height << "@" << want.bitsPerPixel;
        return why.str();
    }
    const size_t rb = want.row_bytes();
    const unsigned tail = static_cast<unsigned>(want.width * want.bitsPerPixel % 8);
    const uint8_t last_mask = tail ? static_cast<uint8_t>(0xFF << (8 - tail)) : 0xFF;
    for (int32_t y = 0; y < want.height; ++y) {
        for (size_t i = 0; i < rb; ++i) {
            uint8_t mask = i + 1 == rb ? last_mask : 0xFF;
            if ((got.row(y)[i] & mask) == (want.row(y)[i] & mask)) continue;
            why << "row " << y << " byte " << i << ": got " << int(got.row(y)[i]) << " want "
                << int(want.row(y)[i]);
            return why.str();
        }
    }
    return "";
}

std::vector<Chunk> split_chunks(const std::vector<uint8_t> &file) {
    std::vector<Chunk> out;
    size_t pos = 8;
    while (pos + 12 <= file.size()) {
        uint32_t len = static_cast<uint32_t>(file[pos]) << 24 | file[pos + 1] << 16 |
                       file[pos + 2] << 8 | file[pos + 3];
        if (pos + 12 + len > file.size()) break;
        Chunk c;
        c.type.assign(reinterpret_cast<const char *>(&file[pos + 4]), 4);
        c.data.assign(file.begin() + pos + 8, file.begin() + pos + 8 + len);
        out.push_back(std::move(c));
        pos += 12 + len;
    }
    return out;
}

std::vector<uint8_t> join_chunks(const std::vector<Chunk> &chunks) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (const Chunk &c : chunks) {
        uint32_t len = static_cast<uint32_t>(c.data.size());
        for (int k = 3; k >= 0; --k) out.push_back(static_cast<uint8_t>(len >> (8 * k)));
        size_t start = out.size();
        out.insert(out.end(), c.type.begin(), c.type.end());
        out.insert(out.end(), c.data.begin(), c.data.end());
        uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
        for (int k = 3; k >= 0; --k) out.push_back(static_cast<uint8_t>(crc >> (8 * k)));
    }
    return out;
}

std::unique_ptr<host::Session> session_for(const std::vector<uint8_t> &file) {
    auto s = std::make_unique<host::Session>(testing_support::linked_module());
    s->set_file(file);
    return s;
}

}  // namespace png_test
