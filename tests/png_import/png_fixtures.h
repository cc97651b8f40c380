// PNG test files made with libpng, and libpng's decoding of them turned into
// the rows a host receives, the reference that nobody here wrote. Without
// libpng (the Windows build) png_codec.h writes and reads them instead.
#pragma once

#include <cstdint>

#ifndef PNG_REFERENCE_DECODER
#ifdef _WIN32
#define PNG_REFERENCE_DECODER 0
#else
#define PNG_REFERENCE_DECODER 1
#endif
#endif

#if PNG_REFERENCE_DECODER
#include <png.h>
#else
// The few libpng names the tests use, with libpng's values.
#define PNG_COLOR_MASK_ALPHA 4
#define PNG_COLOR_TYPE_GRAY 0
#define PNG_COLOR_TYPE_PALETTE 3
#define PNG_COLOR_TYPE_RGB 2
#define PNG_COLOR_TYPE_RGB_ALPHA 6
#define PNG_COLOR_TYPE_GRAY_ALPHA 4
#define PNG_FILTER_NONE 0x08
#define PNG_FILTER_SUB 0x10
#define PNG_FILTER_UP 0x20
#define PNG_FILTER_AVG 0x40
#define PNG_FILTER_PAETH 0x80
#define PNG_ALL_FILTERS 0xF8
typedef uint8_t png_byte;
struct png_color {
    png_byte red, green, blue;
};
#endif

#include <memory>
#include <string>
#include <vector>

#include "host/host.h"

namespace png_test {

// An image as samples: width * height * channels values of bitDepth bits.
struct Samples {
    uint32_t width = 1, height = 1;
    int colorType = PNG_COLOR_TYPE_GRAY;
    int bitDepth = 8;
    bool interlace = false;
    int filters = PNG_ALL_FILTERS;  // libpng's filter selection while writing
    std::vector<uint16_t> values;
    std::vector<png_color> palette;  // colour type 3
};

int channels_of(int colorType);

// Samples from a seed: noise, so that every filter type and bit matters.
Samples make_samples(uint32_t width, uint32_t height, int colorType, int bitDepth, bool interlace,
                     uint32_t seed);

// Encodes with libpng (in memory); empty on failure.
std::vector<uint8_t> encode(const Samples &s);

// What the host should receive for a plane (1 colour, 2 alpha), computed
// from libpng's decoding of `file`: rows, depth and palette.
struct Expected {
    bool ok = false;
    host::Image image;
};
Expected reference_decode(const std::vector<uint8_t> &file, int32_t imageIndex);

// The same through png_codec, whatever the reference is.
std::vector<uint8_t> codec_encode(const Samples &s);
Expected codec_decode(const std::vector<uint8_t> &file, int32_t imageIndex);

// Compares delivered rows with the reference, ignoring the bits after the
// last pixel of a row; "" when equal, else where they differ.
std::string compare_images(const host::Image &got, const host::Image &want);

// Chunk surgery on an encoded file.
struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};
std::vector<Chunk> split_chunks(const std::vector<uint8_t> &file);
std::vector<uint8_t> join_chunks(const std::vector<Chunk> &chunks);  // CRCs computed

// A session on the linked pngxchg holding `file`.
std::unique_ptr<host::Session> session_for(const std::vector<uint8_t> &file);

}  // namespace png_test
