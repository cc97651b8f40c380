// One zlib stream (default level, 15-bit window) cut into image-data chunks:
// every time the 8192-byte output buffer is full it goes to the sink, and
// what is left when the stream ends goes out as a last, shorter piece. zlib's
// memory comes from the module heap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace png {

enum class StreamStatus { kOk, kNoMemory, kDeflateError, kSinkRefused };

// Takes one piece of output (never empty); false stops the stream.
typedef bool (*StreamSink)(void *context, const uint8_t *data, size_t size);

class IdatStream {
  public:
    static constexpr size_t kBufferSize = 8192;

    IdatStream(StreamSink sink, void *context) : sink_(sink), context_(context) {}
    // Ends the stream (deflateEnd) and frees the buffer in every case.
    ~IdatStream();
    IdatStream(const IdatStream &) = delete;
    IdatStream &operator=(const IdatStream &) = delete;

    // Allocates the output buffer and initialises deflate.
    [[nodiscard]] StreamStatus open();
    // Compresses `size` bytes without flushing; full buffers go to the sink.
    [[nodiscard]] StreamStatus write(const uint8_t *data, size_t size);
    // Finishes the stream; full buffers and then the rest go to the sink.
    [[nodiscard]] StreamStatus finish();

    // The output buffer (for describing the chunk it becomes).
    const uint8_t *buffer() const { return buffer_; }

  private:
    StreamStatus run(int flush, bool *ended);
    StreamStatus emit(size_t size);

    StreamSink sink_;
    void *context_;
    uint8_t *buffer_ = nullptr;
    void *stream_ = nullptr;  // z_stream, kept out of this header
    bool initialised_ = false;
};

}  // namespace png
