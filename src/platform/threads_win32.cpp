#include <windows.h>
#include <process.h>

#include <new>

#include "platform/threads.h"

namespace vornmt::platform {
namespace {

struct Launch {
    ThreadEntry entry;
    void* argument;
};

unsigned __stdcall RunEntry(void* raw) {
    Launch launch = *static_cast<Launch*>(raw);
    delete static_cast<Launch*>(raw);
    launch.entry(launch.argument);
    return 0;
}

}  // namespace

WorkerThread::~WorkerThread() { Join(); }

int WorkerThread::Start(ThreadEntry entry, void* argument) {
    auto* launch = new (std::nothrow) Launch{entry, argument};
    if (launch == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    // _beginthreadex rather than CreateThread, so the C runtime sets up and
    // frees its per-thread data. Default stack, running at once.
    auto handle = ::_beginthreadex(nullptr, 0, RunEntry, launch, 0, nullptr);
    if (handle == 0) {
        DWORD error = ::GetLastError();
        delete launch;
        return error != 0 ? static_cast<int>(error) : ERROR_NOT_ENOUGH_MEMORY;
    }
    native_ = reinterpret_cast<void*>(handle);
    // Above every normal-priority thread of the process; a refusal leaves the
    // thread at normal priority, which still works.
    ::SetThreadPriority(native_, THREAD_PRIORITY_TIME_CRITICAL);
    return 0;
}

void WorkerThread::Join() {
    if (native_ == nullptr) return;
    ::WaitForSingleObject(native_, INFINITE);
    ::CloseHandle(native_);
    native_ = nullptr;
}

// Windows has no fork; a handle is always this process's own, released
// without touching the thread.
void WorkerThread::Forget() {
    if (native_ == nullptr) return;
    ::CloseHandle(native_);
    native_ = nullptr;
}

}  // namespace vornmt::platform
