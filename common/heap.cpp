#include "common/heap.h"

#include <cstring>

#include "common/platform.h"

namespace flt {
namespace {

long g_fail_at = 0;
bool g_fail_sticky = false;
long g_requests = 0;
long g_live = 0;

bool request_refused() {
    ++g_requests;
    if (g_fail_at == 0) return false;
    return g_fail_sticky ? g_requests >= g_fail_at : g_requests == g_fail_at;
}

}  // namespace

void *heap_alloc(size_t size) {
    if (request_refused()) return nullptr;
    void *block = platform_heap_alloc(size == 0 ? 1 : size);
    if (block) ++g_live;
    return block;
}

void *heap_alloc_zero(size_t size) {
    void *block = heap_alloc(size);
    if (block) std::memset(block, 0, size);
    return block;
}

void *heap_realloc(void *block, size_t size) {
    if (!block) return heap_alloc(size);
    if (request_refused()) return nullptr;
    return platform_heap_realloc(block, size == 0 ? 1 : size);
}

void heap_free(void *block) {
    if (!block) return;
    --g_live;
    platform_heap_free(block);
}

void heap_fail_at(long n, bool sticky) {
    g_fail_at = n;
    g_fail_sticky = sticky;
    g_requests = 0;
}

long heap_request_count() {
    return g_requests;
}
long heap_live_blocks() {
    return g_live;
}
void heap_reset_counters() {
    g_requests = 0;
    g_fail_at = 0;
}

}  // namespace flt
