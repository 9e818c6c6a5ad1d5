#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <vector>

#include "platform/threads.h"

namespace vornmt::platform {
namespace {

struct Launch {
    ThreadEntry entry;
    void* argument;
};

// Nice steps the worker threads take above the process's own priority.
constexpr int kNiceRaise = 5;

// Raised within the normal time-sharing class only, never to a real-time
// policy: with one, a server flooding frames would starve every other
// process on the CPU. Raising needs a privilege or a nice limit that allows
// it; without them the thread keeps the process's priority, which is not a
// failure. Linux gives each thread a nice value of its own.
void RaisePriority() {
#if defined(__linux__)
    const pid_t thread = ::gettid();
    errno = 0;
    int nice_now = ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    if (errno == 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice_now - kNiceRaise);
#endif
}

void* RunEntry(void* raw) {
    Launch launch = *static_cast<Launch*>(raw);
    delete static_cast<Launch*>(raw);
    RaisePriority();
    launch.entry(launch.argument);
    return nullptr;
}

}  // namespace

WorkerThread::~WorkerThread() { Join(); }

int WorkerThread::Start(ThreadEntry entry, void* argument) {
    auto* launch = new (std::nothrow) Launch{entry, argument};
    if (launch == nullptr) return 8;  // ERROR_NOT_ENOUGH_MEMORY
    auto* thread = new (std::nothrow) pthread_t;
    if (thread == nullptr) {
        delete launch;
        return 8;
    }
    int rc = pthread_create(thread, nullptr, RunEntry, launch);
    if (rc != 0) {
        delete launch;
        delete thread;
        return rc == 11 /* EAGAIN */ ? 8 : rc;
    }
    native_ = thread;
    return 0;
}

void WorkerThread::Join() {
    if (native_ == nullptr) return;
    auto* thread = static_cast<pthread_t*>(native_);
    pthread_join(*thread, nullptr);
    delete thread;
    native_ = nullptr;
}

// Not deleted: a parent's thread may have been between deleting the handle
// and clearing the pointer at the fork. Kept reachable, so leak checkers do
// not count it.
void WorkerThread::Forget() {
    static auto* const forgotten = new std::vector<void*>;
    if (native_ != nullptr) forgotten->push_back(native_);
    native_ = nullptr;
}

}  // namespace vornmt::platform
