#include "codec/rle.h"

#include <algorithm>
#include <cstring>

#include "common/checked.h"

namespace rsrc {
namespace {

class RowWriter {
  public:
    RowWriter(uint8_t *row, int bits) : row_(row), bits_(bits) {}
    void put(int32_t x, uint8_t v) {
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

// After a row filled by data: skips encoded runs that only cover that row's
// padding when an escape code follows them (a run or literal after them means
// they belong to this row).
void skip_padding_runs(Cursor *c, int32_t padding) {
    size_t p = c->pos;
    int32_t covered = 0;
    while (padding - covered > 0 && c->size - p >= 2 && c->data[p] != 0 &&
           c->data[p] <= padding - covered) {
        covered += c->data[p];
        p += 2;
    }
    if (p != c->pos && c->size - p >= 2 && c->data[p] == 0 && c->data[p + 1] <= 2) c->pos = p;
}

int32_t padded_pixels(int32_t width, int bits) {
    return static_cast<int32_t>(flt::row_bytes_dword(width, bits) * 8 /
                                static_cast<unsigned>(bits));
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
    RowWriter out(row, bits);
    int32_t x = std::min(s->resumeColumn, width);
    s->resumeColumn = 0;
    if (s->lineClosed && s->paddingLeft > 0 && s->pendingLiteral == 0 && x == 0)
        skip_padding_runs(&c, s->paddingLeft);
    s->paddingLeft = padded_pixels(width, bits) - width;
    // Only an end of line that comes first in a row can close the row before.
    bool may_close = s->lineClosed && s->pendingLiteral == 0 && x == 0;
    bool filled = true;
    while (x < width) {
        if (s->pendingLiteral != 0) {
            if (!copy_literal(&c, s, bits, &out, &x, width - x)) return RleResult::kTruncated;
            continue;
        }
        if (!c.has(2)) return RleResult::kTruncated;
        const uint8_t count = c.data[c.pos], value = c.data[c.pos + 1];
        c.pos += 2;
        const bool first = may_close;
        may_close = false;
        if (count > 0) {
            if (count > width - x + s->paddingLeft) return RleResult::kRunTooLong;
            const int32_t visible = std::min<int32_t>(count, width - x);
            s->paddingLeft -= count - visible;
            // RLE4 runs alternate the value's high and low nibble, high first.
            for (int32_t i = 0; i < visible; ++i)
                out.put(x++, bits == 8 || i % 2 ? value : static_cast<uint8_t>(value >> 4));
            continue;
        }
        if (value >= 3) {
            start_literal(s, bits, value);
            continue;
        }
        if (value == 0 && first) continue;
        Escape e = escape(&c, s, value, &x, width);
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
