// What the library needs to know about its own loading and unloading, and
// about the process forking.
#pragma once

namespace vornmt::platform {

// True once the process has begun to exit while the library is loaded: the
// system has then already ended the worker threads (Windows), so the
// unload must not wait for them.
bool ProcessIsExiting();

// Keeps the library mapped for the rest of the process, so that unloading it
// while worker threads run can never unmap their code. Called when a
// connection starts; a no-op where unloading already waits for them.
void KeepLibraryLoaded();

// Has `handler` run in every child the process forks from now on, on the
// child's one thread before fork returns there, while no other thread exists:
// it may renew locks a parent's thread held at the fork and let go of the
// parent's connection. The child's copies of the library's own descriptors
// (see owned_descriptors_posix.h) are closed before it runs. Unregistered
// when the library is unloaded. A no-op where there is no fork (Windows).
// Called once, at load.
void RunInForkedChildren(void (*handler)());

}  // namespace vornmt::platform
