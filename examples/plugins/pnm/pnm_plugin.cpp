// A Netpbm file-format plug-in: reads PBM, PGM, PPM (raw and plain) and PAM,
// writes raw PBM, PGM and PPM. It reads and writes the file the host opened
// (dataFork), takes all its memory from the host's buffer suite, hands rows
// over in chunks of at most maxData bytes through advanceState, reports
// progress and stops when the host asks it to abort.
#include <cstring>
#include <new>

#include "file_io.h"
#include "format_record.h"
#include "pnm_format.h"

#if defined(_WIN32)
#define PNM_EXPORT extern "C" __declspec(dllexport)
#else
#define PNM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

constexpr int16_t kIoError = -36;
constexpr size_t kInputWindow = 65536;
constexpr PIFixed k72Dpi = 72 << 16;

// Everything the plug-in keeps between selectors; its address lives in the
// plug-in's data word.
struct State {
    PIBufferID self;
    PIBufferID window;  // input window of kInputWindow bytes
    PIBufferID rows;    // one chunk of rows in the interface's layout
    int32_t chunkRows;
    int32_t rowBytes;
    pnm::Header header;
    uint64_t rasterOffset;
    pnm::Kind outKind;
    int32_t outRowBytes;
};

PIBufferID allocate(FormatRecord *record, int32_t size) {
    PIBufferID id = nullptr;
    if (!record->bufferProcs || size < 0) return nullptr;
    if (record->bufferProcs->allocateProc(size, &id) != 0) return nullptr;
    return id;
}

void release(FormatRecord *record, PIBufferID id) {
    if (id && record->bufferProcs) record->bufferProcs->freeProc(id);
}

State *state_of(intptr_t *data) {
    return reinterpret_cast<State *>(*data);
}

void free_state(FormatRecord *record, intptr_t *data) {
    State *s = state_of(data);
    if (!s) return;
    release(record, s->window);
    release(record, s->rows);
    release(record, s->self);
    *data = 0;
}

State *new_state(FormatRecord *record, intptr_t *data) {
    free_state(record, data);
    PIBufferID self = allocate(record, static_cast<int32_t>(sizeof(State)));
    if (!self) return nullptr;
    State *s = new (self) State();
    s->self = self;
    *data = reinterpret_cast<intptr_t>(s);
    return s;
}

size_t fill_from_file(void *context, uint8_t *buffer, size_t size) {
    return pnm::file_read(*static_cast<intptr_t *>(context), buffer, size);
}

// Rows per chunk so that a chunk stays within the host's maxData.
int32_t chunk_rows(const FormatRecord *record, int32_t rowBytes, int32_t height) {
    int32_t limit = record->maxData > 0 ? record->maxData : 1000000;
    int32_t rows = rowBytes > 0 ? limit / rowBytes : height;
    if (rows < 1) rows = 1;
    return rows < height ? rows : height;
}

// Reports progress and tells whether the host wants to stop.
bool aborted(FormatRecord *record, int32_t done, int32_t total) {
    if (record->progressProc) record->progressProc(done, total);
    return record->abortProc && record->abortProc();
}

void filter_file(FormatRecord *record, int16_t *result) {
    uint8_t magic[2] = {};
    if (!pnm::file_seek(record->dataFork, 0) || pnm::file_read(record->dataFork, magic, 2) != 2 ||
        !pnm::is_magic(magic))
        *result = formatCannotRead;
}

void read_start(FormatRecord *record, intptr_t *data, int16_t *result) {
    State *s = new_state(record, data);
    if (!s || !(s->window = allocate(record, kInputWindow))) {
        free_state(record, data);
        *result = piMemFullErr;
        return;
    }
    pnm::Input in(fill_from_file, &record->dataFork, reinterpret_cast<uint8_t *>(s->window),
                  kInputWindow);
    if (!pnm::file_seek(record->dataFork, 0) || !pnm::read_header(in, &s->header)) {
        free_state(record, data);
        *result = formatCannotRead;
        return;
    }
    const pnm::Header &h = s->header;
    s->rasterOffset = in.offset();
    s->rowBytes = static_cast<int32_t>(pnm::interface_row_bytes(h));
    record->imageMode = h.kind == pnm::Kind::Bitmap ? plugInModeBitmap
                        : h.kind == pnm::Kind::Gray ? plugInModeGrayScale
                                                    : plugInModeRGBColor;
    record->imageSize.h = static_cast<int16_t>(h.width);
    record->imageSize.v = static_cast<int16_t>(h.height);
    record->depth = h.kind == pnm::Kind::Bitmap ? 1 : 8;
    record->planes = h.kind == pnm::Kind::Rgb ? 3 : 1;
    // Netpbm files carry no resolution.
    record->imageHRes = record->imageVRes = k72Dpi;
    record->data = nullptr;
}

void read_continue(FormatRecord *record, intptr_t *data, int16_t *result) {
    State *s = state_of(data);
    record->data = nullptr;
    if (!s) {
        *result = formatBadParameters;
        return;
    }
    const pnm::Header &h = s->header;
    s->chunkRows = chunk_rows(record, s->rowBytes, h.height);
    if (!s->rows) s->rows = allocate(record, s->chunkRows * s->rowBytes);
    if (!s->rows) {
        *result = piMemFullErr;
        return;
    }
    // Every import starts from the first row, so the host may import again.
    pnm::Input in(fill_from_file, &record->dataFork, reinterpret_cast<uint8_t *>(s->window),
                  kInputWindow);
    in.reset(s->rasterOffset);
    if (!pnm::file_seek(record->dataFork, static_cast<int64_t>(s->rasterOffset))) {
        *result = formatCannotRead;
        return;
    }
    for (int32_t top = 0; top < h.height; top += s->chunkRows) {
        int32_t n = h.height - top < s->chunkRows ? h.height - top : s->chunkRows;
        uint8_t *rows = reinterpret_cast<uint8_t *>(s->rows);
        for (int32_t i = 0; i < n; ++i) {
            if (!pnm::read_row(in, h, rows + static_cast<size_t>(i) * s->rowBytes)) {
                *result = formatCannotRead;
                return;
            }
        }
        record->data = rows;
        record->rowBytes = s->rowBytes;
        record->theRect = {static_cast<int16_t>(top), 0, static_cast<int16_t>(top + n),
                           static_cast<int16_t>(h.width)};
        record->loPlane = 0;
        record->hiPlane = static_cast<int16_t>(record->planes - 1);
        record->colBytes = static_cast<int16_t>(record->planes);
        record->planeBytes = 1;
        int16_t taken = record->advanceState();
        record->data = nullptr;
        if (taken != 0) {
            *result = taken;
            return;
        }
        if (aborted(record, top + n, h.height)) {
            *result = piUserCanceledErr;
            return;
        }
    }
}

// The planes Netpbm keeps: an alpha plane after them (planes 4 for RGB) is
// left out of the file.
int16_t colour_planes(const FormatRecord *record) {
    return record->imageMode == plugInModeRGBColor ? 3 : 1;
}

bool write_start(FormatRecord *record, intptr_t *data, int16_t *result) {
    pnm::Kind kind;
    switch (record->imageMode) {
        case plugInModeBitmap:
            kind = pnm::Kind::Bitmap;
            break;
        case plugInModeGrayScale:
            kind = pnm::Kind::Gray;
            break;
        case plugInModeIndexedColor:
        case plugInModeRGBColor:
            kind = pnm::Kind::Rgb;
            break;
        default:
            *result = formatBadParameters;
            return false;
    }
    int32_t w = record->imageSize.h, h = record->imageSize.v;
    int32_t bits = record->depth * colour_planes(record);
    if (w <= 0 || h <= 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24)) {
        *result = formatBadParameters;
        return false;
    }
    State *s = new_state(record, data);
    if (!s) {
        *result = piMemFullErr;
        return false;
    }
    s->outKind = kind;
    s->header.width = w;
    s->header.height = h;
    s->rowBytes = static_cast<int32_t>((static_cast<int64_t>(w) * bits + 7) / 8);
    s->outRowBytes = kind == pnm::Kind::Bitmap ? (w + 7) / 8 : kind == pnm::Kind::Gray ? w : 3 * w;
    s->chunkRows = chunk_rows(record, s->rowBytes, h);
    s->rows = allocate(record, s->chunkRows * s->rowBytes);
    s->window = allocate(record, s->outRowBytes);
    char text[64];
    size_t length = pnm::write_header(kind, w, h, text, sizeof text);
    if (!s->rows || !s->window) {
        *result = piMemFullErr;
    } else if (!pnm::file_write(record->dataFork, text, length)) {
        *result = kIoError;
    } else {
        record->data = s->rows;  // asks for the continue selector
        return true;
    }
    free_state(record, data);
    return false;
}

// One host row (interface layout at the record's depth) as a Netpbm row.
void encode_row(const FormatRecord *record, const State *s, const uint8_t *in, uint8_t *out) {
    int32_t w = s->header.width;
    if (s->outKind == pnm::Kind::Bitmap) {
        for (int32_t i = 0; i < s->outRowBytes; ++i) out[i] = static_cast<uint8_t>(~in[i]);
        if (w % 8) out[s->outRowBytes - 1] &= static_cast<uint8_t>(0xFF << (8 - w % 8));
    } else if (s->outKind == pnm::Kind::Gray || record->imageMode == plugInModeRGBColor) {
        std::memcpy(out, in, static_cast<size_t>(s->outRowBytes));
    } else {
        for (int32_t x = 0; x < w; ++x) {
            unsigned index = record->depth == 4 ? (in[x / 2] >> (x % 2 ? 0 : 4)) & 0xF : in[x];
            out[3 * x] = record->redLUT[index];
            out[3 * x + 1] = record->greenLUT[index];
            out[3 * x + 2] = record->blueLUT[index];
        }
    }
}

void write_continue(FormatRecord *record, intptr_t *data, int16_t *result) {
    State *s = state_of(data);
    record->data = nullptr;
    if (!s) {
        *result = formatBadParameters;
        return;
    }
    int32_t h = s->header.height;
    for (int32_t top = 0; top < h; top += s->chunkRows) {
        int32_t n = h - top < s->chunkRows ? h - top : s->chunkRows;
        record->data = s->rows;
        record->rowBytes = s->rowBytes;
        record->theRect = {static_cast<int16_t>(top), 0, static_cast<int16_t>(top + n),
                           static_cast<int16_t>(s->header.width)};
        record->loPlane = 0;
        record->hiPlane = static_cast<int16_t>(colour_planes(record) - 1);
        record->colBytes = colour_planes(record);
        record->planeBytes = 1;
        int16_t taken = record->advanceState();
        record->data = nullptr;
        if (taken != 0) {
            *result = taken;
            return;
        }
        auto *out = reinterpret_cast<uint8_t *>(s->window);
        for (int32_t i = 0; i < n; ++i) {
            encode_row(record, s, reinterpret_cast<uint8_t *>(s->rows) + i * s->rowBytes, out);
            if (!pnm::file_write(record->dataFork, out, static_cast<size_t>(s->outRowBytes))) {
                *result = kIoError;
                return;
            }
        }
        if (aborted(record, top + n, h)) {
            *result = piUserCanceledErr;
            return;
        }
    }
}

}  // namespace

PNM_EXPORT void ENTRYPOINT(int16_t selector, FormatRecord *record, intptr_t *data,
                           int16_t *result) {
    *result = piNoErr;
    switch (selector) {
        case formatSelectorFilterFile:
            filter_file(record, result);
            break;
        case formatSelectorReadStart:
            read_start(record, data, result);
            break;
        case formatSelectorReadContinue:
            read_continue(record, data, result);
            break;
        case formatSelectorReadFinish:
        case formatSelectorWriteFinish:
            free_state(record, data);
            break;
        case formatSelectorWriteStart:
            write_start(record, data, result);
            break;
        case formatSelectorWriteContinue:
            write_continue(record, data, result);
            break;
        case formatSelectorWritePrepare:
            if (record->imageMode == plugInModeCMYKColor || record->imageMode == plugInModeLabColor)
                *result = formatBadParameters;
            break;
        default:
            break;  // prepare and options selectors: nothing to ask or set up
    }
}
