#include "support/returns_within.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

namespace vornmt::testing {
namespace {

// Shared with the thread, which may outlive the call.
struct Completion {
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
};

}  // namespace

bool ReturnsWithin(int timeout_ms, std::function<void()> fn, const char* what) {
    auto completion = std::make_shared<Completion>();
    std::thread runner([completion, fn = std::move(fn)] {
        fn();
        std::lock_guard<std::mutex> guard(completion->mutex);
        completion->done = true;
        completion->returned.notify_all();
    });
    bool done;
    {
        std::unique_lock<std::mutex> lock(completion->mutex);
        done = completion->returned.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                             [&] { return completion->done; });
    }
    if (done) {
        runner.join();
        return true;
    }
    ADD_FAILURE() << what << " has not returned after " << timeout_ms << " ms";
    std::fprintf(stderr, "%s hangs; ending the test process, which could not exit\n", what);
    std::fflush(nullptr);
    std::_Exit(1);
}

}  // namespace vornmt::testing
