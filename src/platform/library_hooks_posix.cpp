#include <pthread.h>

#include "platform/library_hooks.h"
#include "platform/owned_descriptors_posix.h"

namespace vornmt::platform {
namespace {

void (*child_handler)() = nullptr;

// The library's descriptors go first, so that nothing the handler does can
// reach the parent's connection through them.
void RunInChild() {
    CloseOwnedDescriptorsInChild();
    if (child_handler != nullptr) child_handler();
}

}  // namespace

// On POSIX the unload runs the library's static destructors while the worker
// threads still run, so the teardown can and does wait for them.
bool ProcessIsExiting() { return false; }

void KeepLibraryLoaded() {}

// The C library forgets a shared object's handlers when it is unloaded. Only
// a lack of memory at load makes the registration fail; forked children then
// keep the copies as they are.
void RunInForkedChildren(void (*handler)()) {
    child_handler = handler;
    ::pthread_atfork(LockOwnedDescriptorsForFork, UnlockOwnedDescriptorsAfterFork, RunInChild);
}

}  // namespace vornmt::platform
