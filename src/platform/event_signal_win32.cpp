#include <windows.h>

#include "platform/event_signal.h"

namespace vornmt::platform {

// A manual-reset event stays signalled from SetEvent until ResetEvent, so
// every waiter sees it while the queue holds an event.

namespace {

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

EventSignal::~EventSignal() { Close(); }

int EventSignal::Open() {
    if (handle_ != -1) return 0;
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return static_cast<int>(::GetLastError());
    handle_ = reinterpret_cast<std::intptr_t>(event);
    return 0;
}

void EventSignal::Close() {
    if (handle_ != -1) ::CloseHandle(Native(handle_));
    handle_ = -1;
}

void EventSignal::Set() { ::SetEvent(Native(handle_)); }

void EventSignal::Reset() { ::ResetEvent(Native(handle_)); }

}  // namespace vornmt::platform
