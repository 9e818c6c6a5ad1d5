// What the view knows of the touch server, as JSON events for its pages.
// The touch side (the library's two threads and the view's main thread)
// publishes; each open page has a PageBacklog that an HTTP thread drains.
// Publishing only appends under one short lock, so a slow page never slows
// the touch client. A page that opens late first gets a snapshot: the
// connection state, the device information, the resolution, the last
// gestures and errors, and the latest frame.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/protocol.h"
#include "view/page_backlog.h"

namespace vornmt::tools::view {

// Pages that may be open at once; each holds one HTTP thread.
constexpr std::size_t kMaxPages = 16;
// Gestures and errors a page opening late is shown.
constexpr std::size_t kSnapshotGestures = 20;
constexpr std::size_t kSnapshotErrors = 10;

enum class ConnectionState { kConnecting, kConnected, kServerLost, kReconnecting };

// A change of the connection, published when it happens: the event's time is
// when the state began (the library does not count its attempts, so the page
// shows how long a state without a connection has lasted).
struct ConnectionReport {
    ConnectionState state = ConnectionState::kConnecting;
    std::string server;       // "127.0.0.1:7100"
    std::string detail;       // why, in words: "connection refused (10061)"
};

class EventHub {
public:
    using Clock = std::chrono::steady_clock;

    EventHub();

    // ---- Touch side: any thread --------------------------------------------
    void PublishFrame(int value_0, int value_1, const std::vector<WirePoint>& points);
    // `name` as GetGestureNameOfCode gives it (empty for an unnamed code).
    void PublishGesture(int code, const std::string& name, const std::vector<double>& params);
    void PublishInformation(const WireInformation& information);
    void PublishResolution(int x, int y);
    void PublishError(int code);
    void PublishConnection(const ConnectionReport& report);

    // ---- Page side: HTTP threads -------------------------------------------
    using PageId = std::uint64_t;
    enum class Wait { kEvents, kTimeout, kEnded };

    // Opens a page's backlog, filled with the snapshot. False when kMaxPages
    // pages are open or the hub is closed.
    bool OpenPage(PageId* page);
    void ClosePage(PageId page);
    // Waits up to `timeout` for events of `page` and appends them to `out` as
    // Server-Sent Events text. kEnded when the hub closed (after the events
    // published before) or the page's backlog overflowed (then `out` ends
    // with an event saying so); the stream is to end then.
    Wait WaitForEvents(PageId page, std::chrono::milliseconds timeout, std::string* out);
    // Ends every page's stream; later OpenPage calls fail.
    void Close();
    // Waits until no page is open, or `timeout` passes; true when none is.
    bool WaitForPagesClosed(std::chrono::milliseconds timeout);

    std::size_t open_pages() const;

private:
    struct Page {
        PageId id = 0;
        PageBacklog backlog;
        std::uint64_t dropped_reported = 0;
    };

    std::string Header(const char* type, std::uint64_t number);
    void Publish_locked(EventText event, bool is_frame);
    Page* Find_locked(PageId id);

    const Clock::time_point started_ = Clock::now();
    // Tells a page that reconnects whether it is still the same view run.
    const std::int64_t run_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();

    mutable std::mutex mutex_;
    std::condition_variable changed_;             // a page has events or closed, or the hub closed
    std::vector<std::unique_ptr<Page>> pages_;    // guarded by mutex_
    PageId next_page_ = 1;                        // guarded by mutex_
    bool closed_ = false;                         // guarded by mutex_
    std::uint64_t frames_ = 0;                    // guarded by mutex_
    std::uint64_t gestures_ = 0;                  // guarded by mutex_
    std::uint64_t errors_ = 0;                    // guarded by mutex_
    std::vector<WirePoint> last_points_;          // guarded by mutex_
    Clock::time_point rate_since_ = started_;     // guarded by mutex_
    std::uint64_t rate_frames_ = 0;               // frames since rate_since_; guarded by mutex_
    double frames_per_second_ = 0;                // guarded by mutex_

    // The snapshot; guarded by mutex_.
    EventText connection_, information_, resolution_, frame_;
    std::deque<EventText> gesture_history_, error_history_;
};

}  // namespace vornmt::tools::view
