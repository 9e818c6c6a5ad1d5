#include "platform/library_hooks.h"

namespace vornmt::platform {

// On POSIX the unload runs the library's static destructors while the worker
// threads still run, so the teardown can and does wait for them.
bool ProcessIsExiting() { return false; }

void KeepLibraryLoaded() {}

}  // namespace vornmt::platform
