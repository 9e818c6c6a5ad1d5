// Worker threads. They start above the process's other threads, within the
// normal scheduling class (time-critical on Windows, the top of its dynamic
// range; a few nice steps up on Linux where permitted), never as real-time
// threads; a refusal is not a failure.
#pragma once

namespace vornmt::platform {

using ThreadEntry = void (*)(void* argument);

// An owned thread; empty when no thread is held.
class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread();  // joins a thread still held
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Returns 0 or the system's error number; on failure no thread is held.
    int Start(ThreadEntry entry, void* argument);
    bool running() const { return native_ != nullptr; }
    // Waits without time-out for the thread to end and releases its handle.
    void Join();
    // Drops the handle without touching the thread: in a forked child the
    // handle names a thread of the parent, which no call here may reach.
    void Forget();

private:
    void* native_ = nullptr;
};

}  // namespace vornmt::platform
