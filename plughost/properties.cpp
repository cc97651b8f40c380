// The property procedures of the record. plughost keeps no document
// properties beyond what the record itself carries (size, mode, resolution,
// file), so every property is answered "undefined", for reading and for
// setting alike; nothing is written through the plug-in's pointers.
#include "services.h"

namespace plug {

int16_t PI_CDECL PropertyGet(PIType, PIType, int32_t, intptr_t *, PIHandle *) {
    return errPlugInPropertyUndefined;
}

int16_t PI_CDECL PropertySet(PIType, PIType, int32_t, intptr_t, PIHandle) {
    return errPlugInPropertyUndefined;
}

}  // namespace plug
