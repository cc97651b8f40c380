// The plug-in's property list, which a host reads before loading it: kind
// (a file-format plug-in), name, entry point, the extensions it reads and
// writes, and that it can read and write. A Windows DLL carries the list as
// its "PIPL" 16000 resource (pnm.rc holds the same bytes). An ELF library has
// no resources: there the list is a section of its own, ".pipl", which a host
// finds through the section headers without loading the library.
#if !defined(_WIN32)

#include <cstdint>

namespace {

// Four-character codes are stored as little-endian 32-bit numbers.
#define PIPL_CODE(a, b, c, d) d, c, b, a
#define PIPL_INT(v) (v) & 0xff, (v) >> 8 & 0xff, 0, 0
#define PIPL_PROPERTY(a, b, c, d, length) \
    PIPL_CODE('8', 'B', 'I', 'M'), PIPL_CODE(a, b, c, d), PIPL_INT(0), PIPL_INT(length)

// The entry point is named under the key of the processor the library is
// built for; one without a published key uses 'ELFc', as the host does.
#if defined(__x86_64__)
#define PIPL_CODE_KEY PIPL_PROPERTY('8', '6', '6', '4', 12)
#elif defined(__i386__)
#define PIPL_CODE_KEY PIPL_PROPERTY('w', 'x', '8', '6', 12)
#else
#define PIPL_CODE_KEY PIPL_PROPERTY('E', 'L', 'F', 'c', 12)
#endif

// clang-format off
__attribute__((section(".pipl"), used)) const uint8_t kPropertyList[] = {
    1, 0, PIPL_INT(0), PIPL_INT(6),  // version 1, 0; six properties
    PIPL_PROPERTY('k', 'i', 'n', 'd', 4), PIPL_CODE('8', 'B', 'I', 'F'),
    PIPL_PROPERTY('n', 'a', 'm', 'e', 8), 6, 'N', 'e', 't', 'p', 'b', 'm', 0,
    PIPL_CODE_KEY, 'E', 'N', 'T', 'R', 'Y', 'P', 'O', 'I', 'N', 'T', 0, 0,
    PIPL_PROPERTY('R', 'd', 'E', 'x', 20),
    'P', 'B', 'M', ' ', 'P', 'G', 'M', ' ', 'P', 'P', 'M', ' ', 'P', 'N', 'M', ' ', 'P', 'A', 'M', ' ',
    PIPL_PROPERTY('W', 'r', 'E', 'x', 16),
    'P', 'B', 'M', ' ', 'P', 'G', 'M', ' ', 'P', 'P', 'M', ' ', 'P', 'N', 'M', ' ',
    PIPL_PROPERTY('f', 'm', 't', 'f', 4), 0x30, 0, 0, 0,  // can read, can write
};
// clang-format on

}  // namespace

#endif
