// Blocks that a module hangs in a FilterRecord (palette, names, state) stay
// the module's. A block is freed only if this module handed it out: a host
// that reuses a record across modules, or leaves its own palette, comment or
// name in it, never has a foreign block released by us, nor its pointer
// cleared by an end or failure path.
#pragma once

namespace flt {

// Remembers that `block` (from heap_alloc) now hangs in a record.
void hand_over(void *block);
// Frees `block` when it was handed over by this module and forgets it;
// returns whether it did. nullptr and foreign blocks are left alone.
bool take_back(void *block);

template <typename T>
struct NoDeduce {
    using type = T;
};

// Replaces *slot with `fresh` (nullptr: the field holds nothing), taking the
// old block back. Identify uses it for every field it describes, so that
// nothing of an earlier description, ours or not, stays in the record.
template <typename T>
void replace_block(T **slot, typename NoDeduce<T>::type *fresh) {
    take_back(const_cast<void *>(static_cast<const void *>(*slot)));
    *slot = fresh;
    hand_over(const_cast<void *>(static_cast<const void *>(fresh)));
}

// The release of the end operations and failure paths: frees *slot and clears
// it when the block is this module's; a block the host put in the record
// stays where it is. Returns whether it released anything.
template <typename T>
bool release_block(T **slot) {
    if (!take_back(const_cast<void *>(static_cast<const void *>(*slot)))) return false;
    *slot = nullptr;
    return true;
}

}  // namespace flt
