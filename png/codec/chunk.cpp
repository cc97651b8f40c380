#include "codec/chunk.h"

#include "common/heap.h"

namespace png {

void release_chunk_chains(ChunkTable *table) {
    for (int kind = 0; kind < kChunkKindCount; ++kind) {
        ChunkDescriptor &entry = table->chunk[kind];
        ChunkDescriptor *d = entry.next;
        while (d) {
            ChunkDescriptor *next = d->next;
            flt::heap_free(d);
            d = next;
        }
        entry.next = nullptr;
    }
}

uint64_t chain_length(const ChunkDescriptor &first) {
    if (!first.present) return 0;
    uint64_t total = 0;
    for (const ChunkDescriptor *d = &first; d; d = d->next) total += d->length;
    return total;
}

}  // namespace png
