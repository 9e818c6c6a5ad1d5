// What the library needs to know about its own loading and unloading.
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

}  // namespace vornmt::platform
