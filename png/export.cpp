// pngxchg export: the PNG file written front to back through dataProc, with
// the colour plane and an alpha plane merged over two FE_EXPORT calls.
#include "export.h"

#include <cstring>

#include "codec/idat_stream.h"
#include "codec/png_header.h"
#include "codec/scanline.h"
#include "common/delivery.h"
#include "common/heap.h"
#include "common/muldiv.h"
#include "export_rows.h"
#include "export_state.h"

namespace png {
namespace {

uint32_t write(FilterRecord *record, const void *bytes, size_t count, int32_t percent) {
    if (flt::write_bytes(record, bytes, count, percent)) return 0;
    return flt::refusal_code(record, FERR_TRANSFER);
}

void describe(ChunkDescriptor *chunk, const char *type, const uint8_t *data, size_t size) {
    chunk->length = static_cast<uint32_t>(size);
    std::memcpy(chunk->type, type, 4);
    chunk->data = data;
}

// Length and type, the data, the CRC: three writes with one progress value.
uint32_t write_chunk(FilterRecord *record, const ChunkDescriptor &chunk, int32_t percent) {
    uint32_t length = chunk.length;
    uint8_t head[kChunkHeaderSize], crc[kChunkCrcSize];
    store_be32(head, length);
    std::memcpy(head + 4, chunk.type, 4);
    uint32_t code = write(record, head, sizeof head, percent);
    if (code == 0 && length != 0) code = write(record, chunk.data, length, percent);
    if (code != 0) return code;
    store_be32(crc, chunk_crc(chunk.type, chunk.data, length));
    return write(record, crc, sizeof crc, percent);
}

// Where the IDAT pieces go: each becomes one chunk with the current progress.
struct IdatWriter {
    FilterRecord *record;
    ChunkDescriptor *chunk;
    int32_t percent;
    uint32_t code;
    bool wroteChunk;
    int32_t lastPercent;  // of the last chunk written
};

bool idat_sink(void *context, const uint8_t *data, size_t size) {
    auto *w = static_cast<IdatWriter *>(context);
    describe(w->chunk, "IDAT", data, size);
    w->code = write_chunk(w->record, *w->chunk, w->percent);
    w->wroteChunk = true;
    w->lastPercent = w->percent;
    return w->code == 0;
}

uint32_t stream_code(StreamStatus s, const IdatWriter &w) {
    switch (s) {
        case StreamStatus::kOk:
            return 0;
        case StreamStatus::kNoMemory:
            return FERR_NO_MEMORY;
        case StreamStatus::kDeflateError:
            return FERR_BAD_IMAGE;
        case StreamStatus::kSinkRefused:
            return w.code;
    }
    return FERR_BAD_IMAGE;
}

uint32_t sequential_stream(FilterRecord *record, ExportState *state, IdatStream &z, IdatWriter &w) {
    ScanlineSource source(record, *state);
    uint32_t code = source.open();
    uint32_t height = static_cast<uint32_t>(record->height);
    for (uint32_t r = 0; code == 0 && r < height; ++r) {
        const uint8_t *line = source.row(r);
        w.percent = flt::MulDiv(static_cast<int32_t>(r + 1), 100, record->height);
        code = stream_code(z.write(line, source.scanline_bytes()), w);
    }
    if (code != 0) return code;
    // The closing chunks keep the value of the last full chunk.
    w.percent = w.wroteChunk ? w.lastPercent : 100;
    return stream_code(z.finish(), w);
}

uint32_t interlaced_stream(FilterRecord *record, ExportState *state, IdatStream &z, IdatWriter &w) {
    ScanlineSource source(record, *state);
    for (int pass = 0; pass < kAdam7Passes; ++pass) {
        flt::HeapBlock image;
        size_t size = 0;
        uint32_t code = source.pass_image(pass, &image, &size);
        if (code != 0) return code;
        w.percent = flt::MulDiv(pass + 1, 100, kAdam7Passes);
        // Each pass is freed once deflate has taken it.
        if (size != 0) code = stream_code(z.write(image.get(), size), w);
        if (code != 0) return code;
    }
    w.percent = 100;
    return stream_code(z.finish(), w);
}

uint32_t write_image_data(FilterRecord *record, ExportState *state) {
    ChunkDescriptor *chunk = &state->chunks->chunk[kIDAT];
    IdatWriter w{record, chunk, 0, 0, false, 0};
    IdatStream z(idat_sink, &w);
    uint32_t code = stream_code(z.open(), w);
    if (code != 0) return code;
    describe(chunk, "IDAT", z.buffer(), 0);
    if (state->header[kHeaderInterlace] != 0) return interlaced_stream(record, state, z, w);
    return sequential_stream(record, state, z, w);
}

uint32_t write_comment(FilterRecord *record, ExportState *state) {
    size_t length = std::strlen(record->comment);
    size_t bytes = comment_bytes(length);
    if (bytes == 0) return FERR_BAD_REQUEST;
    flt::HeapBlock data(bytes);
    if (!data) return FERR_NO_MEMORY;
    fill_comment(record->comment, length, data.get());
    describe(&state->chunks->chunk[ktEXt], "tEXt", data.get(), bytes);
    uint32_t code = write_chunk(record, state->chunks->chunk[ktEXt], 0);
    state->chunks->chunk[ktEXt].data = nullptr;
    return code;
}

// Signature, IHDR, PLTE (palette images), pHYs, tEXt (with a comment).
uint32_t write_headers(FilterRecord *record, ExportState *state) {
    ChunkDescriptor *chunks = state->chunks->chunk;
    uint32_t code = write(record, kSignature, 4, 0);
    if (code == 0) code = write(record, kSignature + 4, 4, 0);
    if (code == 0) code = write_chunk(record, chunks[kIHDR], 0);
    if (code == 0 && state->header[kHeaderColorType] == kColorPalette)
        code = write_chunk(record, chunks[kPLTE], 0);
    uint8_t phys[kPhysLength];
    fill_phys(record->xResolution, record->yResolution, phys);
    describe(&chunks[kpHYs], "pHYs", phys, sizeof phys);
    if (code == 0) code = write_chunk(record, chunks[kpHYs], 0);
    chunks[kpHYs].data = nullptr;
    if (code == 0 && record->comment) code = write_comment(record, state);
    return code;
}

// Fills IHDR (and PLTE) from the description. Refuses, before anything is
// written, what PNG cannot hold: depths other than 1, 4, 8, 24, empty sizes,
// an alpha plane for a palette image or for 1- and 4-bit rows.
uint32_t build_header(FilterRecord *record, ExportState *state, int32_t planes) {
    if (record->width <= 0 || record->height <= 0) return FERR_BAD_REQUEST;
    ColourChoice choice;
    if (choose_colour(record->bitsPerPixel, planes, record->palette, record->paletteCount,
                      &choice) != ColourStatus::kOk)
        return FERR_BAD_REQUEST;
    fill_ihdr(state->header, static_cast<uint32_t>(record->width),
              static_cast<uint32_t>(record->height), choice.bitDepth, choice.colourType);
    // Only Adam7 exists besides no interlace: any other stored value means Adam7.
    if (state->header[kHeaderInterlace] != 0) state->header[kHeaderInterlace] = 1;
    describe(&state->chunks->chunk[kIHDR], "IHDR", state->header, kHeaderLength);
    state->mapGrey = choice.mapGrey;
    std::memcpy(state->greyMap, choice.greyMap, sizeof state->greyMap);
    if (choice.colourType != kColorPalette) return 0;
    flt::heap_release(state->plteData);
    state->plteData = static_cast<uint8_t *>(flt::heap_alloc(choice.paletteEntries * 3));
    if (!state->plteData) return FERR_NO_MEMORY;
    fill_plte(record->palette, choice.paletteEntries, state->plteData);
    describe(&state->chunks->chunk[kPLTE], "PLTE", state->plteData, choice.paletteEntries * 3);
    return 0;
}

uint32_t write_end(FilterRecord *record, ExportState *state) {
    describe(&state->chunks->chunk[kIEND], "IEND", nullptr, 0);
    return write_chunk(record, state->chunks->chunk[kIEND], 100);
}

uint32_t export_colour_plane(FilterRecord *record, ExportState *state, int32_t planes) {
    uint32_t code = build_header(record, state, planes);
    if (code == 0) code = write_headers(record, state);
    if (code != 0) return code;
    if (planes == 2) return store_first_plane(record, state);
    code = write_image_data(record, state);
    return code == 0 ? write_end(record, state) : code;
}

// The alpha plane must match the stored colour plane that it completes.
uint32_t export_alpha_plane(FilterRecord *record, ExportState *state) {
    if (!state->firstPlane || record->bitsPerPixel != 8 ||
        record->width != state->firstPlaneWidth || record->height != state->firstPlaneHeight)
        return FERR_BAD_REQUEST;
    uint32_t code = write_image_data(record, state);
    return code == 0 ? write_end(record, state) : code;
}

uint32_t run_export(FilterRecord *record, ExportState *state) {
    // A host that leaves imageCount or imageIndex at 0 means one plane, plane 1.
    int32_t planes = record->imageCount == 0 ? 1 : record->imageCount;
    int32_t index = record->imageIndex == 0 ? 1 : record->imageIndex;
    if (planes < 1 || planes > 2 || index < 1 || index > planes) return FERR_BAD_REQUEST;
    return index == 1 ? export_colour_plane(record, state, planes)
                      : export_alpha_plane(record, state);
}

}  // namespace

int32_t PngExport(FilterRecord *record) {
    ExportState *state = export_state_of(record);
    if (!state) return flt::fail(record, FERR_NO_MEMORY);
    uint32_t code = run_export(record, state);
    if (code == 0) return 1;
    export_state_drop(record);
    return flt::fail(record, code);
}

int32_t PngEndExport(FilterRecord *record) {
    export_state_drop(record);
    return 1;
}

}  // namespace png
