// A counting allocator for the benchmark host: malloc, calloc, realloc and
// free of the whole process are routed through glibc's own functions and,
// while a measurement runs, the bytes in use are summed and their peak kept.
// The module heap, zlib (through it) and libpng all allocate with malloc, so
// one measurement covers everything a decoder holds. Include it in exactly one
// translation unit of a program (it defines the allocator functions).
#pragma once

#include <malloc.h>

#include <cstddef>
#include <cstdint>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void __libc_free(void *block);
}

namespace heap_peak {

struct Counter {
    bool on = false;
    int64_t now = 0, peak = 0;
};

inline Counter &counter() {
    static Counter c;
    return c;
}

inline void add(void *block, int sign) {
    Counter &c = counter();
    if (!c.on || !block) return;
    c.now += sign * static_cast<int64_t>(malloc_usable_size(block));
    if (c.now > c.peak) c.peak = c.now;
}

// The peak of the bytes in use while f() runs, counted from 0 at its start.
template <typename F>
int64_t measure(F f) {
    Counter &c = counter();
    c = Counter();
    c.on = true;
    f();
    c.on = false;
    return c.peak;
}

}  // namespace heap_peak

extern "C" {
void *malloc(size_t size) noexcept {
    void *p = __libc_malloc(size);
    heap_peak::add(p, 1);
    return p;
}
void *calloc(size_t count, size_t size) noexcept {
    void *p = __libc_calloc(count, size);
    heap_peak::add(p, 1);
    return p;
}
void *realloc(void *block, size_t size) noexcept {
    heap_peak::add(block, -1);
    void *p = __libc_realloc(block, size);
    heap_peak::add(p ? p : block, 1);
    return p;
}
void free(void *block) noexcept {
    heap_peak::add(block, -1);
    __libc_free(block);
}
}
