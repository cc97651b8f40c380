// libpng as the reference decoder of the export tests (not in the Windows
// build, which has no libpng).
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "export_fixtures.h"

namespace png_export_test {
namespace {

struct ReadSource {
    const std::vector<uint8_t> *bytes;
    size_t pos;
};

void read_bytes_fn(png_structp png, png_bytep out, png_size_t count) {
    auto *src = static_cast<ReadSource *>(png_get_io_ptr(png));
    if (src->pos + count > src->bytes->size()) png_error(png, "read past the end");
    std::memcpy(out, src->bytes->data() + src->pos, count);
    src->pos += count;
}

void error_fn(png_structp png, png_const_charp message) {
    static_cast<Decoded *>(png_get_error_ptr(png))->error = message;
    png_longjmp(png, 1);
}

void warning_fn(png_structp png, png_const_charp message) {
    auto *d = static_cast<Decoded *>(png_get_error_ptr(png));
    ++d->warnings;
    d->error += std::string("warning: ") + message + "; ";
}

}  // namespace

Decoded decode_with_libpng(const std::vector<uint8_t> &file) {
    Decoded d;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, error_fn, warning_fn);
    png_infop info = png_create_info_struct(png);
    ReadSource src{&file, 0};
    std::vector<png_bytep> pointers;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        d.ok = false;
        return d;
    }
    png_set_read_fn(png, &src, read_bytes_fn);
    png_read_info(png, info);
    d.width = png_get_image_width(png, info);
    d.height = png_get_image_height(png, info);
    d.bitDepth = png_get_bit_depth(png, info);
    d.colourType = png_get_color_type(png, info);
    d.interlace = png_get_interlace_type(png, info);
    d.channels = png_get_channels(png, info);
    png_colorp plte = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &plte, &entries))
        for (int i = 0; i < entries; ++i)
            d.palette.insert(d.palette.end(), {plte[i].red, plte[i].green, plte[i].blue});
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    size_t rowbytes = png_get_rowbytes(png, info);
    d.rows.assign(d.height, std::vector<uint8_t>(rowbytes));
    for (auto &r : d.rows) pointers.push_back(r.data());
    png_read_image(png, pointers.data());
    png_read_end(png, info);
    png_destroy_read_struct(&png, &info, nullptr);
    d.ok = true;
    return d;
}

}  // namespace png_export_test
