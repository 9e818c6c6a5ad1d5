#include <pthread.h>

#include "platform/library_hooks.h"

namespace vornmt::platform {

// On POSIX the unload runs the library's static destructors while the worker
// threads still run, so the teardown can and does wait for them.
bool ProcessIsExiting() { return false; }

void KeepLibraryLoaded() {}

// The C library forgets a shared object's handlers when it is unloaded. Only
// a lack of memory at load makes the registration fail; forked children then
// keep the copies as they are.
void RunInForkedChildren(void (*handler)()) { ::pthread_atfork(nullptr, nullptr, handler); }

}  // namespace vornmt::platform
