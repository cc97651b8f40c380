// Netpbm files (PBM, PGM, PPM in their raw and plain forms, and PAM) as the
// example plug-in reads and writes them: header parsing and row conversion
// over a byte source, independent of the plug-in interface.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pnm {

// Sequential input with a one-byte look-ahead; `fill` refills the window
// and returns the number of bytes it placed there (0 at the end).
class Input {
  public:
    using Fill = size_t (*)(void *context, uint8_t *buffer, size_t size);
    Input(Fill fill, void *context, uint8_t *buffer, size_t size)
        : fill_(fill), context_(context), buffer_(buffer), capacity_(size) {}
    // The next byte, or -1 at the end of the input.
    int peek();
    int get();
    bool read(uint8_t *out, size_t count);
    // Forgets the window (the source was repositioned).
    void reset(uint64_t offset) {
        pos_ = length_ = 0;
        offset_ = offset;
    }
    // Offset in the source of the next byte get() returns.
    uint64_t offset() const { return offset_; }

  private:
    Fill fill_;
    void *context_;
    uint8_t *buffer_;
    size_t capacity_;
    size_t pos_ = 0, length_ = 0;
    uint64_t offset_ = 0;
};

enum class Kind { Bitmap, Gray, Rgb };

struct Header {
    char magic = 0;  // '1' .. '7'
    bool plain = false;
    Kind kind = Kind::Gray;
    int32_t width = 0, height = 0;
    uint32_t maxval = 1;
    int32_t depth = 1;  // samples per pixel in the file (PAM may carry alpha)
};

// Largest width and height the plug-in accepts (the record holds 16 bits).
constexpr int32_t kMaxSide = 32767;

// Whether the first two bytes are a Netpbm magic number.
bool is_magic(const uint8_t bytes[2]);
// Reads the header up to the first byte of the raster. false when the
// header is malformed or describes an image the plug-in cannot read.
bool read_header(Input &in, Header *header);

// Bytes of one row of the plug-in interface for the header's kind: 1 bit a
// pixel (0 black) for Bitmap, 1 byte for Gray, 3 bytes (R, G, B) for Rgb.
size_t interface_row_bytes(const Header &header);
// Reads one raster row into the interface's layout, scaling samples to 0..255
// as netpbm's depth converter does and dropping an alpha channel.
bool read_row(Input &in, const Header &header, uint8_t *row);

// Appends the header of a raw PBM (P4), PGM (P5) or PPM (P6) to out (at
// least 64 bytes); returns its length.
size_t write_header(Kind kind, int32_t width, int32_t height, char *out, size_t size);

}  // namespace pnm
