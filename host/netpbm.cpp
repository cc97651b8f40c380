// Netpbm input and output of the host: the formats filterhost reads and writes
// itself, so that every module can be fed and checked without another tool.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "host/host.h"

namespace host {
namespace {

struct PnmReader {
    const std::vector<uint8_t> &b;
    size_t pos = 0;

    void skip_space() {
        while (pos < b.size()) {
            if (b[pos] == '#') {
                while (pos < b.size() && b[pos] != '\n') ++pos;
            } else if (std::isspace(b[pos])) {
                ++pos;
            } else {
                break;
            }
        }
    }
    bool number(uint32_t *v) {
        skip_space();
        if (pos >= b.size() || !std::isdigit(b[pos])) return false;
        uint64_t n = 0;
        while (pos < b.size() && std::isdigit(b[pos])) {
            n = n * 10 + (b[pos++] - '0');
            if (n > 0xFFFFFFF) return false;
        }
        *v = static_cast<uint32_t>(n);
        return true;
    }
    std::string token() {
        skip_space();
        std::string t;
        while (pos < b.size() && !std::isspace(b[pos])) t += static_cast<char>(b[pos++]);
        return t;
    }
    std::string line() {
        std::string t;
        while (pos < b.size() && b[pos] != '\n') t += static_cast<char>(b[pos++]);
        if (pos < b.size()) ++pos;
        return t;
    }
};

void grey_ramp(Image *image) {
    image->palette.resize(256 * 3);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) image->palette[i * 3 + c] = static_cast<uint8_t>(i);
}

void black_white(Image *image) {
    image->palette = {0, 0, 0, 255, 255, 255};
}

// Samples of one pixel component from raw or plain data, scaled to 0..255.
struct SampleSource {
    PnmReader &r;
    bool plain;
    uint32_t maxval;
    bool next(uint8_t *out) {
        uint32_t v = 0;
        if (plain) {
            if (!r.number(&v)) return false;
        } else if (maxval > 255) {
            if (r.pos + 2 > r.b.size()) return false;
            v = r.b[r.pos] << 8 | r.b[r.pos + 1];
            r.pos += 2;
        } else {
            if (r.pos >= r.b.size()) return false;
            v = r.b[r.pos++];
        }
        if (v > maxval) v = maxval;
        *out = static_cast<uint8_t>((v * 255 + maxval / 2) / maxval);
        return true;
    }
};

bool read_bitmap(PnmReader &r, bool plain, Image *image) {
    image->bitsPerPixel = 1;
    black_white(image);
    image->allocate();
    size_t rb = image->row_bytes();
    for (int32_t y = 0; y < image->height; ++y) {
        uint8_t *row = image->row(y);
        if (plain) {
            for (int32_t x = 0; x < image->width; ++x) {
                r.skip_space();
                if (r.pos >= r.b.size()) return false;
                char c = static_cast<char>(r.b[r.pos++]);
                if (c == '0') row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        } else {
            if (r.pos + rb > r.b.size()) return false;
            for (size_t i = 0; i < rb; ++i) row[i] = static_cast<uint8_t>(~r.b[r.pos + i]);
            r.pos += rb;
            int tail = image->width % 8;
            if (tail) row[rb - 1] &= static_cast<uint8_t>(0xFF << (8 - tail));
        }
    }
    return true;
}

// Reads depth components per pixel; grey (1 or 2) into an 8-bit ramp image,
// colour (3 or 4) into 24-bit BGR; a last alpha component into *alpha.
bool read_samples(SampleSource &s, int depth, bool has_alpha, Image *image, Image *alpha) {
    int colour = has_alpha ? depth - 1 : depth;
    image->bitsPerPixel = colour >= 3 ? 24 : 8;
    if (colour < 3) grey_ramp(image);
    image->allocate();
    if (has_alpha && alpha) {
        *alpha = Image();
        alpha->width = image->width;
        alpha->height = image->height;
        alpha->bitsPerPixel = 8;
        grey_ramp(alpha);
        alpha->allocate();
    }
    for (int32_t y = 0; y < image->height; ++y) {
        uint8_t *row = image->row(y);
        for (int32_t x = 0; x < image->width; ++x) {
            uint8_t v[4] = {0, 0, 0, 255};
            for (int c = 0; c < depth; ++c)
                if (!s.next(&v[c])) return false;
            if (colour >= 3) {
                row[x * 3] = v[2];
                row[x * 3 + 1] = v[1];
                row[x * 3 + 2] = v[0];
            } else {
                row[x] = v[0];
            }
            if (has_alpha && alpha) alpha->row(y)[x] = v[colour];
        }
    }
    return true;
}

bool read_pam(PnmReader &r, Image *image, Image *alpha, std::string *error) {
    uint32_t width = 0, height = 0, depth = 0, maxval = 0;
    std::string tupltype;
    r.line();
    while (r.pos < r.b.size()) {
        std::string l = r.line();
        if (l.empty() || l[0] == '#') continue;
        char key[32] = {0}, value[64] = {0};
        if (std::sscanf(l.c_str(), "%31s %63s", key, value) < 1) continue;
        std::string k(key);
        if (k == "ENDHDR") break;
        if (k == "WIDTH") width = static_cast<uint32_t>(std::atol(value));
        if (k == "HEIGHT") height = static_cast<uint32_t>(std::atol(value));
        if (k == "DEPTH") depth = static_cast<uint32_t>(std::atol(value));
        if (k == "MAXVAL") maxval = static_cast<uint32_t>(std::atol(value));
        if (k == "TUPLTYPE") tupltype = value;
    }
    if (!width || !height || depth < 1 || depth > 4 || !maxval || maxval > 65535) {
        *error = "bad PAM header";
        return false;
    }
    image->width = static_cast<int32_t>(width);
    image->height = static_cast<int32_t>(height);
    bool has_alpha = depth == 2 || depth == 4;
    SampleSource s{r, false, maxval};
    if (!read_samples(s, static_cast<int>(depth), has_alpha, image, alpha)) {
        *error = "PAM data too short";
        return false;
    }
    return true;
}

bool palette_is_grey_ramp(const Image &image) {
    int n = image.palette_count();
    if (n == 0) return false;
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            if (image.palette[i * 3 + c] != (n == 256 ? i : i * 255 / (n - 1))) return false;
    return true;
}

// The blue, green, red of pixel x of a row.
void pixel_bgr(const Image &image, const uint8_t *row, int32_t x, uint8_t bgr[3]) {
    int bpp = image.bitsPerPixel;
    if (bpp == 24 || bpp == 32) {
        std::memcpy(bgr, row + x * (bpp / 8), 3);
        return;
    }
    unsigned index =
        bpp == 8 ? row[x] : row[x * bpp / 8] >> (8 - bpp - x * bpp % 8) & ((1u << bpp) - 1);
    if (static_cast<int>(index) < image.palette_count()) {
        std::memcpy(bgr, &image.palette[index * 3], 3);
    } else {
        unsigned grey = index * 255 / ((1u << bpp) - 1);
        bgr[0] = bgr[1] = bgr[2] = static_cast<uint8_t>(grey);
    }
}

}  // namespace

bool is_netpbm(const std::vector<uint8_t> &bytes) {
    return bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7' &&
           std::isspace(bytes[2]);
}

bool read_netpbm(const std::vector<uint8_t> &bytes, Image *image, Image *alpha,
                 std::string *error) {
    *image = Image();
    if (alpha) *alpha = Image();
    if (!is_netpbm(bytes)) {
        *error = "not a netpbm file";
        return false;
    }
    PnmReader r{bytes, 2};
    char kind = static_cast<char>(bytes[1]);
    if (kind == '7') return read_pam(r, image, alpha, error);
    uint32_t width = 0, height = 0, maxval = 1;
    if (!r.number(&width) || !r.number(&height) || width == 0 || height == 0 ||
        ((kind != '1' && kind != '4') && (!r.number(&maxval) || maxval == 0 || maxval > 65535))) {
        *error = "bad netpbm header";
        return false;
    }
    image->width = static_cast<int32_t>(width);
    image->height = static_cast<int32_t>(height);
    bool plain = kind <= '3';
    if (!plain) ++r.pos;  // the single blank after the header
    bool ok;
    if (kind == '1' || kind == '4') {
        ok = read_bitmap(r, plain, image);
    } else {
        SampleSource s{r, plain, maxval};
        ok = read_samples(s, kind == '2' || kind == '5' ? 1 : 3, false, image, nullptr);
    }
    if (!ok) *error = "netpbm data too short";
    return ok;
}

std::vector<uint8_t> write_netpbm(const Image &image) {
    std::vector<uint8_t> out;
    auto header = [&](const char *magic, bool with_maxval) {
        std::string h = std::string(magic) + "\n" + std::to_string(image.width) + " " +
                        std::to_string(image.height) + "\n" + (with_maxval ? "255\n" : "");
        out.insert(out.end(), h.begin(), h.end());
    };
    const auto &p = image.palette;
    bool bilevel =
        image.bitsPerPixel == 1 && p.size() == 6 &&
        ((p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 255 && p[4] == 255 && p[5] == 255) ||
         (p[0] == 255 && p[1] == 255 && p[2] == 255 && p[3] == 0 && p[4] == 0 && p[5] == 0));
    if (bilevel) {
        header("P4", false);
        bool zero_is_black = p[0] == 0;
        for (int32_t y = 0; y < image.height; ++y) {
            const uint8_t *row = image.row(y);
            for (size_t i = 0; i < image.row_bytes(); ++i)
                out.push_back(zero_is_black ? static_cast<uint8_t>(~row[i]) : row[i]);
            int tail = image.width % 8;
            if (tail) out.back() &= static_cast<uint8_t>(0xFF << (8 - tail));
        }
        return out;
    }
    if (image.bitsPerPixel == 8 && palette_is_grey_ramp(image) && image.palette_count() == 256) {
        header("P5", true);
        for (int32_t y = 0; y < image.height; ++y)
            out.insert(out.end(), image.row(y), image.row(y) + image.width);
        return out;
    }
    header("P6", true);
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t *row = image.row(y);
        for (int32_t x = 0; x < image.width; ++x) {
            uint8_t bgr[3];
            pixel_bgr(image, row, x, bgr);
            out.push_back(bgr[2]);
            out.push_back(bgr[1]);
            out.push_back(bgr[0]);
        }
    }
    return out;
}

bool read_file(const std::string &path, std::vector<uint8_t> *bytes) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes->clear();
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace host
