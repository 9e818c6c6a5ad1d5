#include <pthread.h>
#include <sched.h>

#include <new>

#include "platform/threads.h"

namespace vornmt::platform {
namespace {

struct Launch {
    ThreadEntry entry;
    void* argument;
};

void* RunEntry(void* raw) {
    Launch launch = *static_cast<Launch*>(raw);
    delete static_cast<Launch*>(raw);
    launch.entry(launch.argument);
    return nullptr;
}

// Real-time scheduling needs privileges most processes lack; without them
// the thread keeps the default policy, which is not a failure.
void RaisePriority(pthread_t thread) {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_RR);
    pthread_setschedparam(thread, SCHED_RR, &param);
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
    RaisePriority(*thread);
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

void WorkerThread::Abandon() {
    if (native_ == nullptr) return;
    auto* thread = static_cast<pthread_t*>(native_);
    pthread_detach(*thread);
    delete thread;
    native_ = nullptr;
}

void WorkerThread::Forget() {
    delete static_cast<pthread_t*>(native_);
    native_ = nullptr;
}

}  // namespace vornmt::platform
