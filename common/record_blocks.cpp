#include "common/record_blocks.h"

#include <cstddef>

#include "common/heap.h"
#include "common/platform.h"

namespace flt {
namespace {
// Blocks handed over and not yet taken back. Some stay in a record after its
// end operation (a compression name, a comment) until the next identify on
// that record, and a host that drops the record never brings them back; so
// the table grows instead of forgetting live blocks, whose release would then
// be skipped. It lives on the platform heap, outside the module heap's
// counts, as bookkeeping of the module rather than of one call. Only when it
// cannot grow is the oldest entry forgotten (a leak of one block, never a
// release of a block that is not ours).
constexpr size_t kFirstSlots = 16;
void *g_first[kFirstSlots];
void **g_blocks = g_first;
size_t g_slots = kFirstSlots;
size_t g_next = 0;

bool grow() {
    const size_t slots = g_slots * 2;
    void *fresh = platform_heap_alloc(slots * sizeof(void *));
    if (!fresh) return false;
    void **table = static_cast<void **>(fresh);
    for (size_t i = 0; i < slots; ++i) table[i] = i < g_slots ? g_blocks[i] : nullptr;
    if (g_blocks != g_first) platform_heap_free(g_blocks);
    g_blocks = table;
    g_slots = slots;
    return true;
}

}  // namespace

void hand_over(void *block) {
    if (!block) return;
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < g_slots; ++i) {
            if (g_blocks[i]) continue;
            g_blocks[i] = block;
            return;
        }
        if (pass == 0 && !grow()) break;
    }
    g_blocks[g_next] = block;
    g_next = (g_next + 1) % g_slots;
}

bool take_back(void *block) {
    if (!block) return false;
    for (size_t i = 0; i < g_slots; ++i) {
        if (g_blocks[i] != block) continue;
        g_blocks[i] = nullptr;
        heap_free(block);
        return true;
    }
    return false;
}

}  // namespace flt
