#include "codec/rle.h"

#include <algorithm>
#include <cstring>

#include "common/checked.h"

namespace rsrc {
namespace {

// Writes pixels into the row; pixels of a coded padding, past the row's
// width, are dropped.
class RowWriter {
  public:
    RowWriter(uint8_t *row, int bits, int32_t width) : row_(row), bits_(bits), width_(width) {}
    void put(int32_t x, uint8_t v) {
        if (x >= width_) return;
        if (bits_ == 8) {
            row_[x] = v;
        } else {
            const unsigned nibble = v & 0x0Fu;
            row_[x / 2] |= static_cast<uint8_t>(x % 2 ? nibble : nibble << 4);
        }
    }

  private:
    uint8_t *row_;
    int bits_;
    int32_t width_;
};

struct Cursor {
    const uint8_t *data;
    size_t size;
    size_t pos;
    bool has(size_t n) const { return n <= size - pos; }
};

// Copies up to `room` pixels of the pending literal; false when the stream
// ends first. The literal's padding is skipped once its last pixel is copied.
bool copy_literal(Cursor *c, RleState *s, int bits, RowWriter *out, int32_t *x, int32_t room) {
    const uint32_t n = std::min<uint32_t>(s->pendingLiteral, static_cast<uint32_t>(room));
    const size_t need = bits == 8 ? n : (n + (s->literalLowNibble ? 1 : 0) + 1) / 2;
    if (!c->has(need)) return false;
    for (uint32_t i = 0; i < n; ++i) {
        if (bits == 8) {
            out->put((*x)++, c->data[c->pos++]);
        } else if (s->literalLowNibble) {
            out->put((*x)++, c->data[c->pos++] & 0x0F);
            s->literalLowNibble = false;
        } else {
            out->put((*x)++, c->data[c->pos] >> 4);
            s->literalLowNibble = true;
        }
    }
    s->pendingLiteral -= n;
    if (s->pendingLiteral == 0) {
        if (s->literalLowNibble) ++c->pos;
        if (s->literalPad && c->pos < c->size) ++c->pos;
        s->literalLowNibble = false;
        s->literalPad = false;
    }
    return true;
}

void start_literal(RleState *s, int bits, uint8_t count) {
    s->pendingLiteral = count;
    const uint32_t bytes = bits == 8 ? count : (count + 1u) / 2;
    s->literalPad = bytes % 2 != 0;
    s->literalLowNibble = false;
}

// Handles the escapes (0, v) for v = 0, 1, 2: end of line, end of bitmap, delta.
enum class Escape { kGoOn, kRowEnds, kTruncated };

Escape escape(Cursor *c, RleState *s, uint8_t v, int32_t *x, int32_t width) {
    if (v == 0) {  // end of line: the rest of the row stays 0
        return Escape::kRowEnds;
    }
    if (v == 1) {  // end of bitmap
        s->endOfBitmap = true;
        s->rowsToBlank = 1;
        return Escape::kRowEnds;
    }
    // v == 2: delta right dx, up dy; skipped pixels stay 0.
    if (!c->has(2)) return Escape::kTruncated;
    const uint8_t dx = c->data[c->pos], dy = c->data[c->pos + 1];
    c->pos += 2;
    if (dy > 0) {
        s->rowsToBlank = dy - 1;
        s->resumeColumn = static_cast<int32_t>(std::min<int64_t>(int64_t{*x} + dx, width));
        return Escape::kRowEnds;
    }
    *x += std::min<int32_t>(dx, width - *x);
    return Escape::kGoOn;
}

// The width padded to 32 bits, in pixels (the width itself if that does not
// fit 32 bits).
int32_t padded_pixels(int32_t width, int bits) {
    const uint64_t padded = flt::row_bytes_dword(width, bits) * 8 / static_cast<unsigned>(bits);
    return padded > INT32_MAX ? width : static_cast<int32_t>(padded);
}

// Some writers code every row with encoded runs out to its 32-bit padding
// and end each line there. When the stream has that shape from its start (at
// least one such row, then only such rows, up to an end of bitmap that may
// also cut a row short), it is read with rows of the padded width and the
// padding pixels are dropped. Any other code, or a row that ends short of the
// padding, means the rows are coded to the width.
bool codes_padding(const Cursor &c, int32_t width, int32_t padded) {
    if (padded == width) return false;
    int32_t covered = 0;
    bool whole_row = false;
    for (size_t p = c.pos; c.size - p >= 2; p += 2) {
        const uint8_t count = c.data[p], value = c.data[p + 1];
        if (count > 0) {
            covered += count;
            if (covered > padded) return false;
        } else if (value == 1) {
            return whole_row;
        } else if (value == 0 && covered == padded) {
            whole_row = true;
            covered = 0;
        } else {
            return false;
        }
    }
    return whole_row;
}

}  // namespace

RleResult rle_decode_row(const uint8_t *data, size_t size, size_t *pos, RleState *s, int bits,
                         uint8_t *row, int32_t width) {
    std::memset(row, 0, flt::row_bytes(width, bits));
    if (s->rowsToBlank != 0) {
        if (!s->endOfBitmap) --s->rowsToBlank;
        return RleResult::kOk;
    }
    Cursor c{data, size, std::min(*pos, size)};
    if (s->codedWidth == 0) {
        const int32_t padded = padded_pixels(width, bits);
        s->codedWidth = codes_padding(c, width, padded) ? padded : width;
    }
    const int32_t coded = s->codedWidth;
    RowWriter out(row, bits, width);
    int32_t x = std::min(s->resumeColumn, coded);
    s->resumeColumn = 0;
    // Only an end of line that comes first in a row can close the row before.
    bool may_close = s->lineClosed && s->pendingLiteral == 0 && x == 0;
    bool filled = true;
    while (x < coded) {
        if (s->pendingLiteral != 0) {
            if (!copy_literal(&c, s, bits, &out, &x, coded - x)) return RleResult::kTruncated;
            continue;
        }
        if (!c.has(2)) return RleResult::kTruncated;
        const uint8_t count = c.data[c.pos], value = c.data[c.pos + 1];
        c.pos += 2;
        const bool first = may_close;
        may_close = false;
        if (count > 0) {
            if (count > coded - x) return RleResult::kRunTooLong;
            // RLE4 runs alternate the value's high and low nibble, high first.
            for (int32_t i = 0; i < count; ++i)
                out.put(x++, bits == 8 || i % 2 ? value : static_cast<uint8_t>(value >> 4));
            continue;
        }
        if (value >= 3) {
            start_literal(s, bits, value);
            continue;
        }
        if (value == 0 && first) continue;
        Escape e = escape(&c, s, value, &x, coded);
        if (e == Escape::kTruncated) return RleResult::kTruncated;
        if (e == Escape::kRowEnds) {
            filled = false;
            break;
        }
    }
    s->lineClosed = filled;
    *pos = c.pos;
    return RleResult::kOk;
}

}  // namespace rsrc
