#include "common/module_strings.h"

#include <cstring>

#include "common/heap.h"
#include "common/platform.h"
#include "common/record_blocks.h"

namespace flt {

char *load_string_copy(uint32_t id, int buffer_size, bool *out_of_memory) {
    *out_of_memory = false;
    char stack_buffer[1024];
    if (buffer_size > static_cast<int>(sizeof stack_buffer)) buffer_size = sizeof stack_buffer;
    int length = platform_load_string(id, stack_buffer, buffer_size);
    if (length <= 0) return nullptr;
    char *copy = static_cast<char *>(heap_alloc(static_cast<size_t>(length) + 1));
    if (!copy) {
        *out_of_memory = true;
        return nullptr;
    }
    std::memcpy(copy, stack_buffer, static_cast<size_t>(length));
    copy[length] = '\0';
    return copy;
}

bool replace_compression_name(char **slot, int buffer_size) {
    bool out_of_memory = false;
    char *name = load_string_copy(1, buffer_size, &out_of_memory);
    if (!name) return !out_of_memory;
    replace_block(slot, name);
    return true;
}

}  // namespace flt
