#include "codec/inflate.h"

#include "common/checked.h"
#include "common/heap.h"

namespace png {

void *zlib_alloc(void *, unsigned items, unsigned size) {
    size_t bytes = 0;
    if (!flt::checked_mul(items, size, &bytes)) return Z_NULL;
    return flt::heap_alloc(bytes);
}

void zlib_free(void *, void *block) {
    flt::heap_free(block);
}

IdatInflater::IdatInflater(const ChunkDescriptor &first)
    : chunk_(first.present ? &first : nullptr) {
    stream_.zalloc = zlib_alloc;
    stream_.zfree = zlib_free;
    stream_.opaque = Z_NULL;
}

IdatInflater::~IdatInflater() {
    if (started_) inflateEnd(&stream_);
}

bool IdatInflater::init() {
    started_ = inflateInit(&stream_) == Z_OK;
    if (started_) next_input();
    return started_;
}

// Points the stream at the current chunk, skipping chunks without data.
bool IdatInflater::next_input() {
    while (chunk_ && chunk_->length == 0) chunk_ = chunk_->next;
    if (!chunk_) return false;
    stream_.next_in = const_cast<Bytef *>(chunk_->data);
    stream_.avail_in = chunk_->length;
    had_input_ = true;
    chunk_ = chunk_->next;
    return true;
}

IdatInflater::Status IdatInflater::fill(uint8_t *out, size_t size, size_t *produced) {
    *produced = 0;
    if (final_ != Status::kFull) return final_;
    while (*produced < size) {
        // With no chunk left inflate still runs once more: it may hold output
        // that did not fit last time; without any it reports Z_BUF_ERROR.
        if (stream_.avail_in == 0) next_input();
        const size_t want = size - *produced;
        stream_.next_out = out + *produced;
        stream_.avail_out = static_cast<uInt>(want < UINT32_MAX ? want : UINT32_MAX);
        const uInt before = stream_.avail_out;
        const int ret = inflate(&stream_, Z_PARTIAL_FLUSH);
        *produced += before - stream_.avail_out;
        if (ret == Z_STREAM_END) {
            final_ = Status::kEnded;
            return *produced == size ? Status::kFull : Status::kEnded;
        }
        if (ret == Z_BUF_ERROR && stream_.avail_in == 0) return final_ = Status::kExhausted;
        // zlib allocates its window on the first call: a failure there is
        // memory, not damaged data.
        if (ret == Z_MEM_ERROR) return final_ = Status::kNoMemory;
        if (ret != Z_OK) return final_ = Status::kError;
    }
    return Status::kFull;
}

}  // namespace png
