#include "common/stop_signal.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#include <pthread.h>
#include <thread>
#endif

namespace vornmt::tools {
namespace {

std::mutex handler_mutex;
std::function<void()> handler;  // guarded by handler_mutex
std::atomic<int> requests{0};

void OnRequest() {
    if (requests.fetch_add(1) > 0) std::_Exit(130);
    std::function<void()> call;
    {
        std::lock_guard<std::mutex> hold(handler_mutex);
        call = handler;
    }
    if (call) call();
}

#if defined(_WIN32)

BOOL WINAPI ConsoleHandler(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    OnRequest();
    return TRUE;
}

}  // namespace

bool InstallStopHandler(std::function<void()> on_stop) {
    {
        std::lock_guard<std::mutex> hold(handler_mutex);
        handler = std::move(on_stop);
    }
    return SetConsoleCtrlHandler(ConsoleHandler, TRUE) != 0;
}

void RemoveStopHandler() {
    SetConsoleCtrlHandler(ConsoleHandler, FALSE);
    std::lock_guard<std::mutex> hold(handler_mutex);
    handler = nullptr;
}

#else

std::thread waiter;
std::atomic<bool> removing{false};

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

#endif

}  // namespace vornmt::tools
