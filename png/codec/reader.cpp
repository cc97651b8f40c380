#include "codec/reader.h"

#include <cstring>

#include "codec/crc32.h"
#include "common/byte_reader.h"
#include "common/heap.h"

namespace png {
namespace {

void fill(ChunkDescriptor *d, uint32_t length, const uint8_t *data, uint32_t crc) {
    d->present = 1;
    d->length = length;
    d->data = data;
    d->crc = crc;
}

void read_header(const uint8_t *data, PngHeader *header) {
    header->width = flt::load_u32be(data);
    header->height = flt::load_u32be(data + 4);
    header->bitDepth = data[kHeaderBitDepth];
    header->colorType = data[kHeaderColorType];
    header->compression = data[kHeaderCompression];
    header->filter = data[kHeaderFilter];
    header->interlace = data[kHeaderInterlace];
}

// Appends a chunk of a chained kind: the first fills the table entry, each
// later one gets its own descriptor linked behind the last.
bool append(ChunkDescriptor *entry, uint32_t length, const uint8_t *data, uint32_t crc) {
    if (!entry->present) {
        fill(entry, length, data, crc);
        return true;
    }
    auto *d = static_cast<ChunkDescriptor *>(flt::heap_alloc_zero(sizeof(ChunkDescriptor)));
    if (!d) return false;
    fill(d, length, data, crc);
    ChunkDescriptor *last = entry;
    while (last->next) last = last->next;
    last->next = d;
    d->previous = last;
    return true;
}

// Bit 5 of the first type byte (a lower-case letter) marks a chunk that a
// decoder may ignore.
bool is_ancillary(const uint8_t *type) {
    return (type[0] & 0x20) != 0;
}

}  // namespace

bool has_signature(const uint8_t *data, size_t size) {
    return data && size >= kSignatureSize && std::memcmp(data, kSignature, kSignatureSize) == 0;
}

ReadStatus read_png(const uint8_t *data, size_t size, PngHeader *header, ChunkTable *table) {
    if (!has_signature(data, size)) return ReadStatus::kNotFormat;
    flt::ByteReader in(data, size);
    if (!in.skip(kSignatureSize)) return ReadStatus::kNotFormat;
    // The tail of each chain, so that appending stays linear in the chunk count.
    ChunkDescriptor *tail[kChunkKindCount] = {};
    for (;;) {
        uint32_t length = 0;
        const uint8_t *type = nullptr, *body = nullptr, *stored = nullptr;
        if (!in.u32be(&length) || !in.bytes(&type, 4)) return ReadStatus::kNotFormat;
        if (!in.bytes(&body, length) || !in.bytes(&stored, kChunkCrcSize))
            return ReadStatus::kNotFormat;
        const uint32_t crc = flt::load_u32be(stored);
        if (crc32_update(crc32_update(0, type, 4), body, length) != crc) {
            // A damaged ancillary chunk (resolution, text, colour notes) is
            // dropped: the image itself does not depend on it.
            if (is_ancillary(type)) continue;
            return ReadStatus::kCorrupt;
        }
        const ChunkKind kind = chunk_kind(type);
        if (kind == kIEND) return ReadStatus::kOk;
        if (kind == kUnknownChunk) continue;
        ChunkDescriptor *entry = &table->chunk[kind];
        if (kind == kIHDR) {
            if (length != kHeaderLength) return ReadStatus::kNotFormat;
            read_header(body, header);
        }
        if (!is_chained_kind(kind)) {
            fill(entry, length, body, crc);
            continue;
        }
        ChunkDescriptor *last = tail[kind] ? tail[kind] : entry;
        if (!append(last, length, body, crc)) return ReadStatus::kNoMemory;
        tail[kind] = last->next ? last->next : last;
    }
}

bool find_comment(const ChunkTable &table, const uint8_t **text, size_t *size) {
    const ChunkDescriptor &first = table.chunk[ktEXt];
    if (!first.present) return false;
    for (const ChunkDescriptor *d = &first; d; d = d->next) {
        if (d->length < kCommentKeywordSize) continue;
        if (std::memcmp(d->data, kCommentKeyword, kCommentKeywordSize) != 0) continue;
        *text = d->data + kCommentKeywordSize;
        *size = d->length - kCommentKeywordSize;
        return true;
    }
    return false;
}

}  // namespace png
