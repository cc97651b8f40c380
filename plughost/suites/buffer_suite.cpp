// The buffer suite: plain blocks of memory from the module heap. A block
// carries its size in a header in front of the address handed out, so that
// GetSize can answer, and a mark that tells a block of this suite from any
// other address a plug-in might pass.
#include <cstring>

#include "common/heap.h"
#include "services.h"
#include "suites/registry.h"

namespace plug {
namespace {

// Sixteen bytes, so that the block after it keeps the heap's alignment.
struct BlockHeader {
    uint64_t size;
    uint64_t mark;
};
constexpr uint64_t kBlockMark = 0x9E3779B97F4A7C15;  // an arbitrary, unlikely word
// More than any machine this runs on can give; a larger request is refused
// before it reaches the heap.
constexpr uint64_t kMaxBlock = uint64_t{1} << 40;

char *AllocateBlock(uint64_t size) {
    if (size > kMaxBlock || size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    // Zero-filled, so that what a plug-in writes out unset is the same on
    // every run.
    auto *header = static_cast<BlockHeader *>(
        flt::heap_alloc_zero(sizeof(BlockHeader) + static_cast<size_t>(size)));
    if (!header) return nullptr;
    header->size = size;
    header->mark = kBlockMark;
    return reinterpret_cast<char *>(header + 1);
}

// The header of a block of this suite, or null.
BlockHeader *HeaderOf(char *buffer) {
    if (!buffer) return nullptr;
    auto *header = reinterpret_cast<BlockHeader *>(buffer) - 1;
    return header->mark == kBlockMark ? header : nullptr;
}

// The request is the larger of the two sizes; when it cannot be had the
// minimum is tried. The granted size is written back, 0 when nothing was.
char *PI_CDECL BufferNew64(uint64_t *inOutSize, uint64_t minSize) {
    uint64_t size = inOutSize && *inOutSize > minSize ? *inOutSize : minSize;
    char *block = AllocateBlock(size);
    if (!block && size > minSize) block = AllocateBlock(size = minSize);
    if (inOutSize) *inOutSize = block ? size : 0;
    return block;
}

char *PI_CDECL BufferNew(uint32_t *inOutSize, uint32_t minSize) {
    uint64_t size = inOutSize ? *inOutSize : minSize;
    char *block = BufferNew64(&size, minSize);
    if (inOutSize) *inOutSize = static_cast<uint32_t>(size);
    return block;
}

// An address that is no block of this suite is not freed (it belongs to
// another heap); the plug-in's pointer is cleared either way.
void PI_CDECL BufferDispose(char **buffer) {
    if (!buffer) return;
    if (BlockHeader *header = HeaderOf(*buffer)) {
        header->mark = 0;
        flt::heap_free(header);
    }
    *buffer = nullptr;
}

uint64_t PI_CDECL BufferGetSize64(char *buffer) {
    const BlockHeader *header = HeaderOf(buffer);
    return header ? header->size : 0;
}

uint32_t PI_CDECL BufferGetSize(char *buffer) {
    uint64_t size = BufferGetSize64(buffer);
    return size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
}

uint64_t PI_CDECL BufferGetSpace64() {
    return static_cast<uint64_t>(BufferSpace64());
}

uint32_t PI_CDECL BufferGetSpace() {
    uint64_t space = BufferGetSpace64();
    return space > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(space);
}

}  // namespace

const PSBufferSuite2 kBufferSuite = {BufferNew,   BufferDispose,   BufferGetSize,   BufferGetSpace,
                                     BufferNew64, BufferGetSize64, BufferGetSpace64};

}  // namespace plug
