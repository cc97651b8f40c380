// Built into a copy of each module (probes/heapprobe_<module>.so), so that one
// test program can load all five and count the blocks alive in each heap.
#include "common/filter.h"
#include "common/heap.h"

extern "C" FE_API long FilterProbeLiveBlocks() {
    return flt::heap_live_blocks();
}
