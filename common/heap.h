// The module heap: every allocation a module makes goes through here, so that
// a test can make the N-th request fail and count the blocks still alive.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flt {

// Returns nullptr on failure (or when the test hook says so). Size 0 is served.
void *heap_alloc(size_t size);
// As heap_alloc, with the block zero-filled.
void *heap_alloc_zero(size_t size);
// Resizes a block from heap_alloc; on failure the old block stays valid.
void *heap_realloc(void *block, size_t size);
// Releases a block from heap_alloc; nullptr is ignored.
void heap_free(void *block);

// Test hooks. heap_fail_at(n) makes the n-th request from now (1-based) fail,
// and every later one too when `sticky`; 0 switches the hook off.
void heap_fail_at(long n, bool sticky = false);
// Requests served or refused since the last heap_fail_at / heap_reset_counters.
long heap_request_count();
// Blocks handed out and not yet released.
long heap_live_blocks();
void heap_reset_counters();

// Typed helpers for arrays sized from checked arithmetic.
template <typename T>
T *heap_new_array(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) return nullptr;
    return static_cast<T *>(heap_alloc_zero(count * sizeof(T)));
}

// Frees a block and clears the pointer that held it.
template <typename T>
void heap_release(T *&block) {
    heap_free(const_cast<void *>(static_cast<const void *>(block)));
    block = nullptr;
}

// Owns one heap block for the length of a call.
class HeapBlock {
  public:
    HeapBlock() = default;
    explicit HeapBlock(size_t size) : data_(static_cast<uint8_t *>(heap_alloc_zero(size))) {}
    ~HeapBlock() { heap_free(data_); }
    HeapBlock(const HeapBlock &) = delete;
    HeapBlock &operator=(const HeapBlock &) = delete;
    HeapBlock(HeapBlock &&other) noexcept : data_(other.release()) {}
    HeapBlock &operator=(HeapBlock &&other) noexcept {
        if (this != &other) {
            heap_free(data_);
            data_ = other.release();
        }
        return *this;
    }
    uint8_t *get() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }
    uint8_t *release() {
        uint8_t *d = data_;
        data_ = nullptr;
        return d;
    }

  private:
    uint8_t *data_ = nullptr;
};

}  // namespace flt
