// Test hook of the POSIX library loader: a library linked into the program
// under a made-up path. While one is linked, loading that path returns a
// handle of its own without touching the disk, the handle's one symbol
// resolves to the given address, and freeing it only counts. A fuzz target
// uses it to host a plug-in in process, without a dlopen per input.
#pragma once

namespace flt {

// Links `address` as export `symbol` of the library `path` (both strings must
// outlive the link); a null path removes the link.
void library_link(const char *path, const char *symbol, void *address);
// Loads of the linked library that were not freed yet.
int library_link_loads();

}  // namespace flt
