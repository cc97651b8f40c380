// Shared helpers of the PNG export tests: host images of every depth and
// palette class, exports through the linked FilterEntry, the chunks of a
// written file, and libpng as the reference decoder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/filter.h"
#include "host/host.h"

namespace png_export_test {

// The depth/palette classes the writer distinguishes.
enum class Kind {
    kGrey1,
    kPalette1,
    kGrey4,
    kPalette4,
    kGrey8,
    kPalette8,
    kRgb,
    kGreyAlpha,
    kRgba
};
const char *kind_name(Kind kind);
std::vector<Kind> all_kinds();
bool has_alpha(Kind kind);

// A host image of the kind with pseudo-random pixels (same seed, same image),
// and for the alpha kinds its 8-bit alpha plane.
struct HostPicture {
    host::Image colour;
    host::Image alpha;  // empty unless has_alpha
};
HostPicture make_picture(Kind kind, int32_t width, int32_t height, uint32_t seed = 1);

// A session on the linked pngxchg core, or on `module`.
std::unique_ptr<host::Session> new_session(const host::Module *module = nullptr);

// Exports the picture (one or two planes); the session keeps the output.
// With `interlace` FE_OPTIONS first reads "Interlace=1" from a settings file.
bool export_picture(host::Session &s, const HostPicture &p, bool interlace = false);
// As export_picture, in a fresh session; the file bytes, empty on failure.
std::vector<uint8_t> export_bytes(const HostPicture &p, bool interlace = false,
                                  const host::Module *module = nullptr);

// The chunks of a PNG file (signature checked), in file order.
struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
    bool crcOk;
};
std::vector<Chunk> chunks_of(const std::vector<uint8_t> &file);
uint32_t be32(const uint8_t *p);

// What libpng reads from the bytes, rows deinterlaced at the file's depth.
struct Decoded {
    bool ok = false;
    std::string error;
    int warnings = 0;
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = -1, interlace = -1, channels = 0;
    std::vector<uint8_t> palette;  // red, green, blue
    std::vector<std::vector<uint8_t>> rows;
};
// In export_libpng.cpp, which only builds where libpng is.
Decoded decode_with_libpng(const std::vector<uint8_t> &file);

// The samples of each row (one value per channel and pixel), from the
// decoded file and the ones the host pixels must give.
std::vector<std::vector<uint32_t>> decoded_samples(const Decoded &d);
std::vector<std::vector<uint32_t>> expected_samples(const HostPicture &p);

// The pixel values of a host image, row by row (padding bits left out).
std::vector<uint32_t> pixel_values(const host::Image &image);

}  // namespace png_export_test
