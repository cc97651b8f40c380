// Win32-only parts of the platform layer, used by the library entry point.
#pragma once

namespace flt {

// Destroys the module's private heap (the library is being unloaded).
void platform_heap_release();

}  // namespace flt
