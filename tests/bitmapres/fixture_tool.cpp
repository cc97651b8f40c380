// Build-time helper of the real-file tests: rewrites BMP files made by
// ImageMagick in the forms it does not write itself (RLE4, bit fields,
// top-down), and writes the pixels a 16-bit bit-field bitmap must deliver.
//
//   rsrc_fixture_tool rle4 IN.bmp OUT.bmp          (IN: 4-bit uncompressed)
//   rsrc_fixture_tool fields16 IN.bmp OUT.bmp OUT.ppm
//   rsrc_fixture_tool fields32 IN.bmp OUT.bmp      (IN: 24-bit)
//   rsrc_fixture_tool topdown IN.bmp OUT.bmp
//   rsrc_fixture_tool plain32 IN.bmp OUT.bmp       (IN: 24-bit; no bit fields)
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fixtures.h"

namespace {

bool read(const char *path, std::vector<uint8_t> *bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool write(const char *path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::vector<uint8_t> ppm(const fx::Bitmap &im, const fx::DibOptions &o) {
    std::string head =
        "P6\n" + std::to_string(im.width) + " " + std::to_string(im.height) + "\n255\n";
    std::vector<uint8_t> out(head.begin(), head.end());
    for (int32_t top = 0; top < im.height; ++top)
        for (int32_t x = 0; x < im.width; ++x) {
            uint32_t p = fx::bitfield_expected(im.rgb(x, top), o);
            out.insert(out.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
        }
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 4) return 2;
    const std::string cmd = argv[1];
    std::vector<uint8_t> file;
    fx::Bitmap im;
    if (!read(argv[2], &file) || !fx::read_bmp(file, &im)) {
        std::fprintf(stderr, "%s: not an uncompressed BMP file\n", argv[2]);
        return 1;
    }
    fx::DibOptions o;
    if (cmd == "rle4" && im.bits == 4) {
        o.compression = 2;
    } else if ((cmd == "fields16" || cmd == "fields32") && im.bits == 24) {
        o.compression = 3;
        if (cmd == "fields32") {
            o.fieldBits = 32;
            o.masks[0] = 0xFF0000;
            o.masks[1] = 0xFF00;
            o.masks[2] = 0xFF;
        }
    } else if (cmd == "plain32" && im.bits == 24) {
        o.fieldBits = 32;
    } else if (cmd == "topdown") {
        o.topDown = true;
    } else {
        std::fprintf(stderr, "unknown command or wrong depth (%d bits)\n", im.bits);
        return 2;
    }
    if (!write(argv[3], fx::bmp_file(fx::make_dib(im, o)))) return 1;
    if (cmd == "fields16" && (argc < 5 || !write(argv[4], ppm(im, o)))) return 1;
    return 0;
}
