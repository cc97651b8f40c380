// One zlib inflate stream over the IDAT chain, read in place from the file:
// when one chunk's data is used up the stream moves on to the next.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>

#include "codec/chunk.h"

namespace png {

// zlib's allocator routed to the module heap.
void *zlib_alloc(void *opaque, unsigned items, unsigned size);
void zlib_free(void *opaque, void *block);

class IdatInflater {
  public:
    enum class Status {
        kFull,       // the output was filled completely
        kEnded,      // the stream ended; *produced bytes came first
        kExhausted,  // the IDAT data ran out before the stream ended
        kError,      // inflate reported damaged data
        kNoMemory    // inflate could not allocate its window
    };

    // `first` is the chain's table entry (not present: no data at all).
    explicit IdatInflater(const ChunkDescriptor &first);
    ~IdatInflater();
    IdatInflater(const IdatInflater &) = delete;
    IdatInflater &operator=(const IdatInflater &) = delete;

    // inflateInit with the default window; false when it fails (no memory).
    [[nodiscard]] bool init();
    // Inflates into out[0, size). After kEnded, kExhausted or kError nothing
    // more comes.
    Status fill(uint8_t *out, size_t size, size_t *produced);
    // Whether any IDAT byte was handed to inflate.
    bool had_input() const { return had_input_; }

  private:
    bool next_input();

    z_stream stream_{};
    const ChunkDescriptor *chunk_ = nullptr;
    bool started_ = false;
    bool had_input_ = false;
    Status final_ = Status::kFull;
};

}  // namespace png
