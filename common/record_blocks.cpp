#include "common/record_blocks.h"

#include <cstddef>

#include "common/heap.h"

namespace flt {
namespace {
// A record holds at most a handful of module blocks at a time; when the table
// is full the oldest entry is forgotten (a leak of one block, never a
// release of a block that is not ours).
constexpr size_t kSlots = 16;
void *g_blocks[kSlots];
size_t g_next = 0;
}  // namespace

void hand_over(void *block) {
    if (!block) return;
    // A free slot first, so that blocks still hanging in a record are not
    // forgotten while others come and go.
    for (void *&slot : g_blocks) {
        if (slot) continue;
        slot = block;
        return;
    }
    g_blocks[g_next] = block;
    g_next = (g_next + 1) % kSlots;
}

bool take_back(void *block) {
    if (!block) return false;
    for (void *&slot : g_blocks) {
        if (slot != block) continue;
        slot = nullptr;
        heap_free(block);
        return true;
    }
    return false;
}

}  // namespace flt
