// A module's string resources as data. The Windows build carries the same
// strings in its STRINGTABLE; the POSIX build serves LoadStringA from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flt {

struct ModuleString {
    uint32_t id;
    const char *text;
};

// Defined once per module (in <module>/strings.cpp).
extern const ModuleString kModuleStrings[];
extern const size_t kModuleStringCount;

// Loads string `id` into a buffer of buffer_size bytes and returns a heap copy
// of exactly its length plus the NUL; nullptr when the string is missing or
// the copy cannot be allocated (*out_of_memory tells which).
char *load_string_copy(uint32_t id, int buffer_size, bool *out_of_memory);

// Replaces *slot with a fresh copy of string 1, taking the old block back; keeps
// *slot when the string cannot be loaded. Returns false only when out of memory.
bool replace_compression_name(char **slot, int buffer_size);

}  // namespace flt
