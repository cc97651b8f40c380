// POSIX implementation of the plug-in hosting services. A global block
// carries its size in a header in front of the address handed out, which is
// what GlobalSize reports on Windows.
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "common/platform_plugin.h"

namespace flt {
namespace {

struct GlobalHeader {
    size_t size;
    size_t magic;
    // Keeps the block behind the header aligned as malloc's blocks are.
    alignas(std::max_align_t) unsigned char payload[1];
};
constexpr size_t kHeaderSize = offsetof(GlobalHeader, payload);
constexpr size_t kMagic = 0x476c6f62u;  // tells our blocks from stray pointers
// Blocks above this size are refused, as a 32-bit global heap would.
constexpr size_t kMaxGlobalBlock = size_t{1} << 31;

GlobalHeader *header_of(const void *block) {
    auto *bytes = static_cast<unsigned char *>(const_cast<void *>(block));
    return reinterpret_cast<GlobalHeader *>(bytes - kHeaderSize);
}

}  // namespace

void *platform_global_alloc(size_t size) {
    if (size > kMaxGlobalBlock) return nullptr;
    auto *h = static_cast<GlobalHeader *>(std::calloc(1, kHeaderSize + size));
    if (!h) return nullptr;
    h->size = size;
    h->magic = kMagic;
    return h->payload;
}

void *platform_global_realloc(void *block, size_t size) {
    if (!block || size > kMaxGlobalBlock) return nullptr;
    GlobalHeader *old = header_of(block);
    if (old->magic != kMagic) return nullptr;
    size_t old_size = old->size;
    auto *h = static_cast<GlobalHeader *>(std::realloc(old, kHeaderSize + size));
    if (!h) return nullptr;
    if (size > old_size) std::memset(h->payload + old_size, 0, size - old_size);
    h->size = size;
    return h->payload;
}

void platform_global_free(void *block) {
    if (!block) return;
    GlobalHeader *h = header_of(block);
    if (h->magic != kMagic) return;
    h->magic = 0;
    std::free(h);
}

size_t platform_global_size(const void *block) {
    if (!block) return 0;
    const GlobalHeader *h = header_of(block);
    return h->magic == kMagic ? h->size : 0;
}

// Stands for the free part of the process's address space that Windows
// reports: the address-space limit, or the user half of a 48-bit address
// space when there is none. Free physical memory would change from call to
// call with whatever else the machine does, and neither a plug-in's run nor a
// fuzz run should.
uint64_t platform_available_virtual() {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return static_cast<uint64_t>(limit.rlim_cur);
    return uint64_t{1} << 47;
}

bool platform_unmap_view(const void *view, size_t size) {
    long page = sysconf(_SC_PAGESIZE);
    if (!view || size == 0 || page <= 0) return false;
    if (reinterpret_cast<uintptr_t>(view) % static_cast<uintptr_t>(page) != 0) return false;
    return munmap(const_cast<void *>(view), size) == 0;
}

bool platform_file_rewind(uint32_t handle) {
    return lseek(static_cast<int>(handle), 0, SEEK_SET) == 0;
}

}  // namespace flt
