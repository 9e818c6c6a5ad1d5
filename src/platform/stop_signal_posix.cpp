#include <pthread.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/stop_signal.h"

namespace vornmt::platform {
namespace {

std::mutex handler_mutex;
std::function<void()> handler;  // guarded by handler_mutex
std::atomic<int> requests{0};
std::thread waiter;
std::atomic<bool> removing{false};

// The waiting thread.
void OnRequest() {
    if (requests.fetch_add(1) > 0) std::_Exit(130);
    std::function<void()> call;
    {
        std::lock_guard<std::mutex> hold(handler_mutex);
        call = handler;
    }
    if (call) call();
}

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

bool InstallStopHandler(std::function<void()> on_stop) {
    {
        std::lock_guard<std::mutex> hold(handler_mutex);
        handler = std::move(on_stop);
    }
    // A shell starts background programs with SIGINT ignored, and an ignored
    // signal never reaches sigwait; blocked, the default action never runs.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t set = StopSignals();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
    waiter = std::thread([set] {
        for (;;) {
            int signal_number = 0;
            if (sigwait(&set, &signal_number) != 0) continue;
            if (removing.load()) return;
            OnRequest();
        }
    });
    return true;
}

void RemoveStopHandler() {
    if (waiter.joinable()) {
        removing.store(true);
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
    }
    std::lock_guard<std::mutex> hold(handler_mutex);
    handler = nullptr;
}

}  // namespace vornmt::platform
