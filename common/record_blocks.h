// Blocks that a module hangs in a FilterRecord (palette, names, state) stay
// the module's. When identify replaces such a pointer, the old block is freed
// only if this module handed it out: a host that reuses a record across
// modules, or leaves its own export palette in it, never has a foreign block
// released by us.
#pragma once

namespace flt {

// Remembers that `block` (from heap_alloc) now hangs in a record.
void hand_over(void *block);
// Frees `block` when it was handed over by this module and forgets it;
// returns whether it did. nullptr and foreign blocks are left alone.
bool take_back(void *block);

// Replaces *slot with `fresh`, taking the old block back.
template <typename T>
void replace_block(T **slot, T *fresh) {
    take_back(const_cast<void *>(static_cast<const void *>(*slot)));
    *slot = fresh;
    hand_over(const_cast<void *>(static_cast<const void *>(fresh)));
}

// Takes *slot back and clears it.
template <typename T>
void release_block(T **slot) {
    take_back(const_cast<void *>(static_cast<const void *>(*slot)));
    *slot = nullptr;
}

// Takes *slot back and clears it only when the block is this module's: a
// palette or comment the host put in the record stays where it is.
template <typename T>
void release_own_block(T **slot) {
    if (take_back(const_cast<void *>(static_cast<const void *>(*slot)))) *slot = nullptr;
}

}  // namespace flt
