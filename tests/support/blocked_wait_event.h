// A thread blocked in WaitEvent(-1) before the test goes on, as an
// application's reader sits there when events arrive.
#pragma once

#include <VornMTClient.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "client/library_state.h"
#include "support/wait_until.h"

namespace vornmt::testing {

class BlockedWaitEvent {
public:
    BlockedWaitEvent()
        : thread_([this] {
              Vorn_SDK_MultiTouch::TouchEvent event{};
              status_ = WaitEvent(&event, -1);
          }) {}
    ~BlockedWaitEvent() { Release(); }
    BlockedWaitEvent(const BlockedWaitEvent&) = delete;
    BlockedWaitEvent& operator=(const BlockedWaitEvent&) = delete;

    // True once the thread waits inside the queue.
    static bool Waiting() { return WaitUntil([] { return client::Library().events.has_waiting_takers(); }); }
    // True when WaitEvent returned within the deadline; if it did not, the
    // queue is closed to release the thread, so that the test can end.
    bool Returned() {
        bool returned = WaitUntil([this] { return status_.load() != kPending; });
        Release();
        return returned;
    }
    std::int32_t status() const { return status_.load(); }

private:
    static constexpr std::int32_t kPending = -1;

    void Release() {
        if (!thread_.joinable()) return;
        if (status_.load() == kPending) CloseEventQueue();
        thread_.join();
    }

    std::atomic<std::int32_t> status_{kPending};
    std::thread thread_;  // last: it starts once the status is in place
};

}  // namespace vornmt::testing
