#include "codec/idat_stream.h"

#include <zlib.h>

#include <climits>

#include "common/checked.h"
#include "common/heap.h"

namespace png {
namespace {

voidpf heap_zalloc(voidpf, uInt items, uInt size) {
    size_t bytes = 0;
    if (!flt::checked_mul(items, size, &bytes)) return Z_NULL;
    return flt::heap_alloc(bytes);
}

void heap_zfree(voidpf, voidpf block) {
    flt::heap_free(block);
}

z_stream *zs(void *p) {
    return static_cast<z_stream *>(p);
}

}  // namespace

IdatStream::~IdatStream() {
    if (initialised_) deflateEnd(zs(stream_));
    flt::heap_free(stream_);
    flt::heap_free(buffer_);
}

StreamStatus IdatStream::open() {
    buffer_ = static_cast<uint8_t *>(flt::heap_alloc(kBufferSize));
    stream_ = flt::heap_alloc_zero(sizeof(z_stream));
    if (!buffer_ || !stream_) return StreamStatus::kNoMemory;
    z_stream *z = zs(stream_);
    z->zalloc = heap_zalloc;
    z->zfree = heap_zfree;
    z->opaque = Z_NULL;
    // deflateInit fails for want of memory only: the parameters are zlib's defaults.
    if (deflateInit(z, Z_DEFAULT_COMPRESSION) != Z_OK) return StreamStatus::kNoMemory;
    initialised_ = true;
    z->next_out = buffer_;
    z->avail_out = kBufferSize;
    return StreamStatus::kOk;
}

StreamStatus IdatStream::emit(size_t size) {
    z_stream *z = zs(stream_);
    z->next_out = buffer_;
    z->avail_out = kBufferSize;
    if (size == 0) return StreamStatus::kOk;
    return sink_(context_, buffer_, size) ? StreamStatus::kOk : StreamStatus::kSinkRefused;
}

// Runs deflate until the input is consumed (Z_NO_FLUSH) or the stream has
// ended (Z_FINISH), handing every full buffer to the sink.
StreamStatus IdatStream::run(int flush, bool *ended) {
    z_stream *z = zs(stream_);
    for (;;) {
        int rc = deflate(z, flush);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            return StreamStatus::kDeflateError;
        if (z->avail_out == 0) {
            StreamStatus s = emit(kBufferSize);
            if (s != StreamStatus::kOk) return s;
        }
        if (rc == Z_STREAM_END) {
            *ended = true;
            return StreamStatus::kOk;
        }
        // Z_BUF_ERROR: no progress was possible although there was room.
        if (rc == Z_BUF_ERROR && z->avail_out != 0 && (flush == Z_FINISH || z->avail_in != 0))
            return StreamStatus::kDeflateError;
        if (flush == Z_NO_FLUSH && z->avail_in == 0) return StreamStatus::kOk;
    }
}

StreamStatus IdatStream::write(const uint8_t *data, size_t size) {
    if (!initialised_) return StreamStatus::kDeflateError;
    z_stream *z = zs(stream_);
    bool ended = false;
    while (size > 0) {
        uInt piece = size > UINT_MAX ? UINT_MAX : static_cast<uInt>(size);
        z->next_in = const_cast<Bytef *>(data);
        z->avail_in = piece;
        StreamStatus s = run(Z_NO_FLUSH, &ended);
        if (s != StreamStatus::kOk) return s;
        data += piece;
        size -= piece;
    }
    return StreamStatus::kOk;
}

StreamStatus IdatStream::finish() {
    if (!initialised_) return StreamStatus::kDeflateError;
    z_stream *z = zs(stream_);
    z->next_in = Z_NULL;
    z->avail_in = 0;
    bool ended = false;
    StreamStatus s = run(Z_FINISH, &ended);
    if (s != StreamStatus::kOk) return s;
    if (!ended) return StreamStatus::kDeflateError;
    return emit(kBufferSize - z->avail_out);
}

}  // namespace png
