#include "pnm_format.h"

#include <cstdio>
#include <cstring>

namespace pnm {

int Input::peek() {
    if (pos_ == length_) {
        pos_ = 0;
        length_ = fill_(context_, buffer_, capacity_);
        if (length_ == 0) return -1;
    }
    return buffer_[pos_];
}

int Input::get() {
    int c = peek();
    if (c >= 0) {
        ++pos_;
        ++offset_;
    }
    return c;
}

bool Input::read(uint8_t *out, size_t count) {
    while (count > 0) {
        if (peek() < 0) return false;
        size_t n = length_ - pos_ < count ? length_ - pos_ : count;
        std::memcpy(out, buffer_ + pos_, n);
        pos_ += n;
        offset_ += n;
        out += n;
        count -= n;
    }
    return true;
}

namespace {

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Skips blanks and '#' comments.
void skip_blanks(Input &in) {
    for (;;) {
        int c = in.peek();
        if (c == '#') {
            while (c >= 0 && c != '\n' && c != '\r') c = in.get();
        } else if (is_space(c)) {
            in.get();
        } else {
            return;
        }
    }
}

bool read_number(Input &in, uint32_t *value) {
    skip_blanks(in);
    int c = in.peek();
    if (c < '0' || c > '9') return false;
    uint64_t v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > UINT32_MAX) return false;
        in.get();
        c = in.peek();
    }
    *value = static_cast<uint32_t>(v);
    return true;
}

// One PAM header line into `line` (without the newline); false at the end.
bool read_line(Input &in, char *line, size_t size) {
    size_t n = 0;
    int c;
    while ((c = in.get()) >= 0 && c != '\n') {
        if (n + 1 < size) line[n++] = static_cast<char>(c);
    }
    line[n] = '\0';
    return c >= 0 || n > 0;
}

bool read_pam_header(Input &in, Header *h) {
    char line[256];
    uint32_t width = 0, height = 0, depth = 0, maxval = 0;
    bool end = false;
    while (!end && read_line(in, line, sizeof line)) {
        char key[32] = {};
        unsigned long value = 0;
        if (line[0] == '#' || line[0] == '\0') continue;
        if (std::strncmp(line, "ENDHDR", 6) == 0) end = true;
        if (std::sscanf(line, "%31s %lu", key, &value) != 2) continue;
        if (value > UINT32_MAX) return false;
        uint32_t v = static_cast<uint32_t>(value);
        if (!std::strcmp(key, "WIDTH")) width = v;
        if (!std::strcmp(key, "HEIGHT")) height = v;
        if (!std::strcmp(key, "DEPTH")) depth = v;
        if (!std::strcmp(key, "MAXVAL")) maxval = v;
    }
    if (!end || depth < 1 || depth > 4) return false;
    h->width = static_cast<int32_t>(width > INT32_MAX ? 0 : width);
    h->height = static_cast<int32_t>(height > INT32_MAX ? 0 : height);
    h->depth = static_cast<int32_t>(depth);
    h->maxval = maxval;
    h->kind = depth >= 3 ? Kind::Rgb : maxval == 1 ? Kind::Bitmap : Kind::Gray;
    return true;
}

uint8_t scale(uint32_t v, uint32_t maxval) {
    if (v > maxval) v = maxval;
    if (maxval == 255) return static_cast<uint8_t>(v);
    return static_cast<uint8_t>((static_cast<uint64_t>(v) * 255 + maxval / 2) / maxval);
}

// One sample of a raw or plain raster (not PBM).
bool read_sample(Input &in, const Header &h, uint32_t *v) {
    if (h.plain) return read_number(in, v);
    uint8_t b[2];
    if (h.maxval < 256) {
        if (!in.read(b, 1)) return false;
        *v = b[0];
    } else {
        if (!in.read(b, 2)) return false;
        *v = static_cast<uint32_t>(b[0]) << 8 | b[1];
    }
    return true;
}

bool read_pbm_row(Input &in, const Header &h, uint8_t *row) {
    size_t bytes = interface_row_bytes(h);
    if (h.magic == '4') {
        if (!in.read(row, bytes)) return false;
        for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
    } else {
        std::memset(row, 0, bytes);
        for (int32_t x = 0; x < h.width; ++x) {
            skip_blanks(in);
            int c = in.get();
            if (c != '0' && c != '1') return false;
            if (c == '0') row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    if (h.width % 8) row[bytes - 1] &= static_cast<uint8_t>(0xFF << (8 - h.width % 8));
    return true;
}

}  // namespace

bool is_magic(const uint8_t bytes[2]) {
    return bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7';
}

bool read_header(Input &in, Header *h) {
    uint8_t magic[2];
    if (!in.read(magic, 2) || !is_magic(magic)) return false;
    *h = Header();
    h->magic = static_cast<char>(magic[1]);
    h->plain = h->magic <= '3';
    if (h->magic == '7') {
        if (in.get() != '\n' || !read_pam_header(in, h)) return false;
    } else {
        uint32_t w = 0, ht = 0, maxval = 1;
        if (!read_number(in, &w) || !read_number(in, &ht)) return false;
        bool bitmap = h->magic == '1' || h->magic == '4';
        if (!bitmap && !read_number(in, &maxval)) return false;
        // Exactly one blank separates the header from a raw raster.
        if (!is_space(in.get())) return false;
        h->width = static_cast<int32_t>(w > INT32_MAX ? 0 : w);
        h->height = static_cast<int32_t>(ht > INT32_MAX ? 0 : ht);
        h->maxval = maxval;
        bool rgb = h->magic == '3' || h->magic == '6';
        h->kind = bitmap ? Kind::Bitmap : rgb ? Kind::Rgb : Kind::Gray;
        h->depth = rgb ? 3 : 1;
    }
    return h->width >= 1 && h->width <= kMaxSide && h->height >= 1 && h->height <= kMaxSide &&
           h->maxval >= 1 && h->maxval <= 65535;
}

size_t interface_row_bytes(const Header &h) {
    size_t w = static_cast<size_t>(h.width);
    switch (h.kind) {
        case Kind::Bitmap:
            return (w + 7) / 8;
        case Kind::Gray:
            return w;
        case Kind::Rgb:
            return 3 * w;
    }
    return 0;
}

bool read_row(Input &in, const Header &h, uint8_t *row) {
    if (h.magic == '1' || h.magic == '4') return read_pbm_row(in, h, row);
    int32_t keep = h.kind == Kind::Rgb ? 3 : 1;
    if (h.kind == Kind::Bitmap) std::memset(row, 0, interface_row_bytes(h));
    for (int32_t x = 0; x < h.width; ++x) {
        for (int32_t s = 0; s < h.depth; ++s) {
            uint32_t v;
            if (!read_sample(in, h, &v)) return false;
            if (s >= keep) continue;
            if (h.kind == Kind::Bitmap) {
                if (v) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            } else {
                row[static_cast<size_t>(x) * keep + s] = scale(v, h.maxval);
            }
        }
    }
    return true;
}

size_t write_header(Kind kind, int32_t width, int32_t height, char *out, size_t size) {
    const char *magic = kind == Kind::Bitmap ? "P4" : kind == Kind::Gray ? "P5" : "P6";
    int n = kind == Kind::Bitmap
                ? std::snprintf(out, size, "%s\n%d %d\n", magic, width, height)
                : std::snprintf(out, size, "%s\n%d %d\n255\n", magic, width, height);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

}  // namespace pnm
