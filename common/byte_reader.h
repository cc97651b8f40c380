// A bounded reader over untrusted bytes: every read fails instead of going past
// the end, and a failed read leaves the position where it was.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flt {

class ByteReader {
  public:
    ByteReader() = default;
    ByteReader(const uint8_t *data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t size() const { return size_; }
    size_t pos() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    const uint8_t *data() const { return data_; }
    const uint8_t *cursor() const { return data_ + pos_; }
    bool has(size_t n) const { return n <= remaining(); }

    [[nodiscard]] bool seek(size_t pos) {
        if (pos > size_) return false;
        pos_ = pos;
        return true;
    }
    [[nodiscard]] bool skip(size_t n) {
        if (!has(n)) return false;
        pos_ += n;
        return true;
    }
    [[nodiscard]] bool u8(uint8_t *v) {
        if (!has(1)) return false;
        *v = data_[pos_++];
        return true;
    }
    [[nodiscard]] bool u16be(uint16_t *v) { return read_uint(v, 2, true); }
    [[nodiscard]] bool u16le(uint16_t *v) { return read_uint(v, 2, false); }
    [[nodiscard]] bool u32be(uint32_t *v) { return read_uint(v, 4, true); }
    [[nodiscard]] bool u32le(uint32_t *v) { return read_uint(v, 4, false); }
    [[nodiscard]] bool bytes(const uint8_t **p, size_t n) {
        if (!has(n)) return false;
        *p = data_ + pos_;
        pos_ += n;
        return true;
    }
    // A reader over the next n bytes; this reader moves past them.
    [[nodiscard]] bool sub(size_t n, ByteReader *out) {
        const uint8_t *p = nullptr;
        if (!bytes(&p, n)) return false;
        *out = ByteReader(p, n);
        return true;
    }
    // Reads at an absolute offset without moving.
    [[nodiscard]] bool peek_at(size_t offset, size_t n, const uint8_t **p) const {
        if (offset > size_ || n > size_ - offset) return false;
        *p = data_ + offset;
        return true;
    }

  private:
    template <typename T>
    bool read_uint(T *v, int n, bool big_endian) {
        if (!has(static_cast<size_t>(n))) return false;
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            int shift = big_endian ? 8 * (n - 1 - i) : 8 * i;
            value |= static_cast<uint32_t>(data_[pos_ + i]) << shift;
        }
        pos_ += n;
        *v = static_cast<T>(value);
        return true;
    }

    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
};

inline uint16_t load_u16be(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline uint16_t load_u16le(const uint8_t *p) {
    return static_cast<uint16_t>(p[1] << 8 | p[0]);
}
inline uint32_t load_u32be(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}
inline uint32_t load_u32le(const uint8_t *p) {
    return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[1]) << 8 | p[0];
}
inline void store_u16be(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void store_u32be(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

}  // namespace flt
