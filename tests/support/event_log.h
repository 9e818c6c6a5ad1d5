// Thread-safe record of what callbacks saw, which a test waits on with a
// deadline instead of sleeping. Callbacks run on the library's threads and
// push; the test thread waits and reads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vornmt::testing {

class EventLog {
public:
    void Add(std::string event) {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.push_back(std::move(event));
        threads_.push_back(std::this_thread::get_id());
        changed_.notify_all();
    }

    // True once at least `count` events are in, false at the deadline.
    bool WaitForCount(std::size_t count, int timeout_ms = 10000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                 [&] { return events_.size() >= count; });
    }

    std::vector<std::string> events() {
        std::lock_guard<std::mutex> guard(mutex_);
        return events_;
    }

    std::vector<std::thread::id> threads() {
        std::lock_guard<std::mutex> guard(mutex_);
        return threads_;
    }

    std::size_t size() {
        std::lock_guard<std::mutex> guard(mutex_);
        return events_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::vector<std::thread::id> threads_;
};

}  // namespace vornmt::testing
