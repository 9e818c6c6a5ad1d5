#include <windows.h>

#include <atomic>

#include "platform/library_hooks.h"

namespace vornmt::platform {
namespace {

// Set on the loader's thread at process exit, read by the unload teardown
// that runs after DllMain on the same thread.
std::atomic<bool> process_exiting{false};

}  // namespace

bool ProcessIsExiting() { return process_exiting.load(); }

void KeepLibraryLoaded() {
    // Any address inside this module names it; pinning is idempotent and
    // lasts until the process ends, so FreeLibrary no longer unmaps the code.
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCWSTR>(&process_exiting), &module);
}

// Windows has no fork.
void RunInForkedChildren(void (*)()) {}

}  // namespace vornmt::platform

// The DLL's entry point; the runtime calls it before it runs the static
// destructors on unload. A non-null `reserved` at DLL_PROCESS_DETACH means the
// process is exiting: Windows has already ended every other thread, so the
// teardown in the static destructors must not wait for the worker threads.
// Linked into an executable, it is never called.
extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr) vornmt::platform::process_exiting.store(true);
    return TRUE;
}
