#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "platform/stop_signal.h"

namespace vornmt::platform {
namespace {

std::mutex handler_mutex;
std::function<void()> handler;  // guarded by handler_mutex
std::atomic<int> requests{0};

// The thread Windows starts for each console control event.
BOOL WINAPI ConsoleHandler(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    if (requests.fetch_add(1) > 0) std::_Exit(130);
    std::function<void()> call;
    {
        std::lock_guard<std::mutex> hold(handler_mutex);
        call = handler;
    }
    if (call) call();
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

}  // namespace vornmt::platform
