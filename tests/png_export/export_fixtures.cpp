#include "export_fixtures.h"

#include <zlib.h>

#include <cstring>

#include "support/linked_module.h"
#include "support/tools.h"

namespace png_export_test {
namespace {

uint32_t next_random(uint32_t *state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

void grey_ramp(host::Image *image, int entries) {
    image->palette.clear();
    for (int i = 0; i < entries; ++i) {
        uint8_t v = static_cast<uint8_t>(i * (255 / (entries - 1)));
        image->palette.insert(image->palette.end(), {v, v, v});
    }
}

void colour_palette(host::Image *image, int entries, uint32_t *seed) {
    image->palette.clear();
    for (int i = 0; i < entries; ++i)
        for (int c = 0; c < 3; ++c)
            image->palette.push_back(static_cast<uint8_t>(next_random(seed)));
    image->palette[0] = 10;  // entry 0 is surely not grey
    image->palette[1] = 20;
}

void fill_random(host::Image *image, uint32_t *seed) {
    image->allocate();
    for (uint8_t &b : image->pixels) b = static_cast<uint8_t>(next_random(seed));
}

std::vector<uint32_t> unpack(const uint8_t *row, size_t samples, int bits) {
    std::vector<uint32_t> out(samples);
    for (size_t i = 0; i < samples; ++i) {
        if (bits == 8) {
            out[i] = row[i];
        } else {
            size_t bit = i * bits;
            out[i] = row[bit / 8] >> (8 - bits - bit % 8) & ((1u << bits) - 1);
        }
    }
    return out;
}

}  // namespace

const char *kind_name(Kind kind) {
    static const char *names[] = {"grey1",    "palette1", "grey4",     "palette4", "grey8",
                                  "palette8", "rgb",      "greyalpha", "rgba"};
    return names[static_cast<int>(kind)];
}

std::vector<Kind> all_kinds() {
    return {Kind::kGrey1,    Kind::kPalette1, Kind::kGrey4,     Kind::kPalette4, Kind::kGrey8,
            Kind::kPalette8, Kind::kRgb,      Kind::kGreyAlpha, Kind::kRgba};
}

bool has_alpha(Kind kind) {
    return kind == Kind::kGreyAlpha || kind == Kind::kRgba;
}

HostPicture make_picture(Kind kind, int32_t width, int32_t height, uint32_t seed) {
    HostPicture p;
    host::Image &c = p.colour;
    c.width = width;
    c.height = height;
    c.xResolution = 2834645;
    c.yResolution = 3937000;
    switch (kind) {
        case Kind::kGrey1:
            c.bitsPerPixel = 1;
            grey_ramp(&c, 2);
            break;
        case Kind::kPalette1:
            c.bitsPerPixel = 1;
            colour_palette(&c, 2, &seed);
            break;
        case Kind::kGrey4:
            c.bitsPerPixel = 4;
            grey_ramp(&c, 16);
            break;
        case Kind::kPalette4:
            c.bitsPerPixel = 4;
            colour_palette(&c, 16, &seed);
            break;
        case Kind::kGrey8:
        case Kind::kGreyAlpha:
            c.bitsPerPixel = 8;
            grey_ramp(&c, 256);
            break;
        case Kind::kPalette8:
            c.bitsPerPixel = 8;
            colour_palette(&c, 256, &seed);
            break;
        case Kind::kRgb:
        case Kind::kRgba:
            c.bitsPerPixel = 24;
            break;
    }
    fill_random(&c, &seed);
    if (has_alpha(kind)) {
        p.alpha.width = width;
        p.alpha.height = height;
        p.alpha.bitsPerPixel = 8;
        grey_ramp(&p.alpha, 256);
        fill_random(&p.alpha, &seed);
    }
    return p;
}

std::unique_ptr<host::Session> new_session(const host::Module *module) {
    return std::make_unique<host::Session>(module ? *module : testing_support::linked_module());
}

bool export_picture(host::Session &s, const HostPicture &p, bool interlace) {
    if (interlace) {
        static const std::string ini = testing_support::temp_path("interlace.ini");
        std::string text = "[PNG Filter]\r\nInterlace=1\r\n";
        host::write_file(ini, std::vector<uint8_t>(text.begin(), text.end()));
        s.record().iniPath = const_cast<char *>(ini.c_str());
        bool ok = s.call(FE_OPTIONS) != 0;
        s.record().iniPath = nullptr;
        if (!ok) return false;
    }
    bool two = !p.alpha.pixels.empty();
    return s.export_plane(p.colour, two ? 2 : 1, 1) && (!two || s.export_plane(p.alpha, 2, 2));
}

std::vector<uint8_t> export_bytes(const HostPicture &p, bool interlace,
                                  const host::Module *module) {
    auto s = new_session(module);
    bool ok = export_picture(*s, p, interlace);
    s->end_export();
    return ok ? s->output() : std::vector<uint8_t>();
}

std::vector<uint32_t> pixel_values(const host::Image &image) {
    std::vector<uint32_t> v;
    int bits = image.bitsPerPixel == 24 ? 8 : image.bitsPerPixel;
    size_t samples = static_cast<size_t>(image.width) * (image.bitsPerPixel == 24 ? 3 : 1);
    for (int32_t y = 0; y < image.height; ++y)
        for (size_t i = 0; i < samples; ++i) {
            size_t bit = i * bits;
            v.push_back(image.row(y)[bit / 8] >> (8 - bits - bit % 8) & ((1u << bits) - 1));
        }
    return v;
}

uint32_t be32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

std::vector<Chunk> chunks_of(const std::vector<uint8_t> &file) {
    static const uint8_t kSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<Chunk> out;
    if (file.size() < 8 || std::memcmp(file.data(), kSig, 8) != 0) return out;
    size_t pos = 8;
    while (pos + 12 <= file.size()) {
        uint32_t length = be32(&file[pos]);
        if (length > file.size() - pos - 12) break;
        Chunk c;
        c.type.assign(reinterpret_cast<const char *>(&file[pos + 4]), 4);
        c.data.assign(file.begin() + pos + 8, file.begin() + pos + 8 + length);
        uint32_t crc = crc32(0, &file[pos + 4], 4 + length);
        c.crcOk = crc == be32(&file[pos + 8 + length]);
        out.push_back(c);
        pos += 12 + length;
    }
    return out;
}

std::vector<std::vector<uint32_t>> decoded_samples(const Decoded &d) {
    std::vector<std::vector<uint32_t>> out;
    for (const auto &r : d.rows)
        out.push_back(unpack(r.data(), static_cast<size_t>(d.width) * d.channels, d.bitDepth));
    return out;
}

std::vector<std::vector<uint32_t>> expected_samples(const HostPicture &p) {
    const host::Image &c = p.colour;
    bool alpha = !p.alpha.pixels.empty();
    std::vector<std::vector<uint32_t>> out;
    for (int32_t y = 0; y < c.height; ++y) {
        const uint8_t *row = c.row(y);
        if (c.bitsPerPixel < 24 && !alpha) {
            out.push_back(unpack(row, c.width, c.bitsPerPixel));
            continue;
        }
        std::vector<uint32_t> s;
        for (int32_t x = 0; x < c.width; ++x) {
            if (c.bitsPerPixel == 24)
                s.insert(s.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
            else
                s.push_back(row[x]);
            if (alpha) s.push_back(p.alpha.row(y)[x]);
        }
        out.push_back(s);
    }
    return out;
}

}  // namespace png_export_test
