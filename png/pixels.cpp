// The pixel path of an import: inflate the IDAT chain, undo the row filters
// (and Adam7), convert each scanline and hand it to the delivery mode.
#include <cstring>

#include "codec/convert.h"
#include "codec/deinterlace.h"
#include "codec/inflate.h"
#include "codec/unfilter.h"
#include "common/checked.h"
#include "common/heap.h"
#include "deliver.h"
#include "import_state.h"

namespace png {
namespace {

// Deflate turns one input byte into at most 1032 output bytes (a 258-byte
// match in two bits); the slack covers the stream's header and first block.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 1024;

uint64_t max_inflated(const ChunkTable &table) {
    return chain_length(table.chunk[kIDAT]) * kMaxInflateRatio + kInflateSlack;
}

uint32_t inflate_code(IdatInflater::Status s) {
    if (s == IdatInflater::Status::kNoMemory) return FERR_NO_MEMORY;
    return s == IdatInflater::Status::kError ? FERR_DECODE : 0;
}

// Runs the stream to its end without keeping anything: the IDAT data cannot
// fill a single scanline, so no row is delivered, but damaged data is still
// reported.
uint32_t drain(IdatInflater &z) {
    uint8_t sink[4096];
    size_t got = 0;
    IdatInflater::Status s;
    while ((s = z.fill(sink, sizeof sink, &got)) == IdatInflater::Status::kFull) {
    }
    return inflate_code(s);
}

// The converted-row buffer, when the conversion is not the identity: the
// row's bytes plus the spare byte the crop shift reads.
uint32_t conversion_buffer(const Conversion &c, const ImportState &s, flt::HeapBlock *out) {
    if (c.kind == ConversionKind::kNone) return 0;
    *out = flt::HeapBlock(static_cast<size_t>(s.rowBytes) + 1);
    return *out ? 0 : FERR_NO_MEMORY;
}

uint32_t run_sequential(const ImportState &s, IdatInflater &z, RowDelivery &out) {
    const size_t raw = static_cast<size_t>(s.rawRowBytes);
    if (raw + 1 > max_inflated(*s.table)) return drain(z);
    const PngHeader &h = *s.header;
    const Conversion conv = plan_conversion(h, s.layout);
    // Two scanlines with their filter bytes, then the spare byte.
    flt::HeapBlock window(2 * (raw + 1) + 1);
    if (!window) return FERR_NO_MEMORY;
    flt::HeapBlock converted;
    if (uint32_t e = conversion_buffer(conv, s, &converted)) return e;
    const int depth = sample_depth(h);
    const size_t bpp = filter_bpp(depth, s.layout.channels);
    const bool fuse = converted && converts_to_bgr(conv);
    uint8_t *line = window.get(), *prior = window.get() + raw + 1;
    for (int32_t n = 0; n < static_cast<int32_t>(h.height) && out.next_wanted() >= 0; ++n) {
        size_t got = 0;
        const IdatInflater::Status st = z.fill(line, raw + 1, &got);
        if (st != IdatInflater::Status::kFull) return inflate_code(st);
        const bool wanted = n == out.next_wanted();
        // The pixel-by-pixel filters can write the 24-bit row on the way.
        uint8_t *bgr = wanted && fuse ? converted.get() : nullptr;
        const UnfilterResult done = unfilter_row_bgr(line[0], line + 1, prior + 1, raw, bpp, bgr);
        if (wanted) {
            const uint8_t *row = line + 1;
            if (converted) {
                if (done != UnfilterResult::kRowAndBgr)
                    convert_row(conv, line + 1, converted.get(), h.width);
                row = converted.get();
            }
            if (uint32_t e = out.take(n, row)) return e;
        }
        uint8_t *t = line;  // this scanline is the next one's prior row
        line = prior;
        prior = t;
    }
    return 0;
}

// Inflates and unfilters the seven pass images into one zeroed block.
uint32_t read_passes(const ImportState &s, IdatInflater &z, PassImage passes[kAdam7Passes],
                     int depth, flt::HeapBlock *block) {
    const PngHeader &h = *s.header;
    uint64_t total = 0;
    for (int p = 0; p < kAdam7Passes; ++p) {
        passes[p] = pass_geometry(p, h.width, h.height, depth, s.layout.channels);
        total += pass_image_bytes(passes[p]);
    }
    // The whole image is held here: refuse one the IDAT data could not fill.
    if (total > max_inflated(*s.table) || total > SIZE_MAX - 1) return FERR_DECODE;
    flt::HeapBlock zero(static_cast<size_t>(s.rawRowBytes) + 1);
    *block = flt::HeapBlock(static_cast<size_t>(total) + 1);
    if (!*block || !zero) return FERR_NO_MEMORY;
    const size_t bpp = filter_bpp(depth, s.layout.channels);
    uint8_t *at = block->get();
    for (int p = 0; p < kAdam7Passes; ++p) {
        PassImage &pass = passes[p];
        if (pass.width == 0) continue;
        pass.pixels = at;
        const size_t bytes = static_cast<size_t>(pass_image_bytes(pass));
        at += bytes;
        size_t got = 0;
        if (uint32_t e = inflate_code(z.fill(pass.pixels, bytes, &got))) return e;
        // As in the sequential path, data that does not complete the first
        // scanline holds no pixel: all-zero rows would pass for an image.
        if (p == 0 && got < pass.rowBytes + 1) return FERR_DECODE;
        const uint8_t *prior = zero.get();
        for (uint32_t r = 0; r < pass.height; ++r) {
            uint8_t *row = pass.pixels + r * (pass.rowBytes + 1);
            unfilter_row(row[0], row + 1, prior, pass.rowBytes, bpp);
            prior = row + 1;
        }
    }
    return 0;
}

uint32_t run_interlaced(const ImportState &s, IdatInflater &z, RowDelivery &out) {
    const PngHeader &h = *s.header;
    const int depth = sample_depth(h);
    PassImage passes[kAdam7Passes];
    flt::HeapBlock block;
    if (uint32_t e = read_passes(s, z, passes, depth, &block)) return e;
    const Conversion conv = plan_conversion(h, s.layout);
    const size_t raw = static_cast<size_t>(s.rawRowBytes);
    flt::HeapBlock assembled(raw + 2);  // filter byte, row, spare byte
    if (!assembled) return FERR_NO_MEMORY;
    flt::HeapBlock converted;
    if (uint32_t e = conversion_buffer(conv, s, &converted)) return e;
    for (int32_t r = out.next_wanted(); r >= 0; r = out.next_wanted()) {
        // Odd rows are delivered (or converted) straight from the last pass.
        const uint8_t *line = whole_pass_row(passes, static_cast<uint32_t>(r));
        if (!line) {
            assemble_row(passes, static_cast<uint32_t>(r), depth, s.layout.channels,
                         assembled.get() + 1, raw);
            line = assembled.get() + 1;
        }
        const uint8_t *row = line;
        if (converted) {
            convert_row(conv, line, converted.get(), h.width);
            row = converted.get();
        }
        if (uint32_t e = out.take(r, row)) return e;
    }
    return 0;
}

}  // namespace

uint32_t run_pixel_path(const ImportState &s, RowDelivery &out) {
    // Without any IDAT data inflate has no input at all.
    if (chain_length(s.table->chunk[kIDAT]) == 0) return FERR_DECODE;
    if (uint32_t e = out.prepare()) return e;
    IdatInflater z(s.table->chunk[kIDAT]);
    if (!z.init()) return FERR_NO_MEMORY;
    const uint32_t e = s.header->interlace ? run_interlaced(s, z, out) : run_sequential(s, z, out);
    // A stream that ends before the first wanted row is complete leaves the
    // host with no image at all: that is not a success.
    if (e == 0 && out.delivered() == 0) return FERR_DECODE;
    return e;
}

}  // namespace png
