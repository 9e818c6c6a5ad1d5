#include "view/event_hub.h"

#include <algorithm>

#include "common/event_text.h"
#include "view/json_text.h"

namespace vornmt::tools::view {
namespace {

// How often the frame rate is worked out again.
constexpr auto kRateWindow = std::chrono::milliseconds(500);

const char* StateName(ConnectionState state) {
    switch (state) {
        case ConnectionState::kConnecting: return "connecting";
        case ConnectionState::kConnected: return "connected";
        case ConnectionState::kServerLost: return "server lost";
        case ConnectionState::kReconnecting: return "reconnecting";
    }
    return "unknown";
}

void AppendField(std::string* out, const char* key, std::int64_t value) {
    *out += ",\"";
    *out += key;
    *out += "\":";
    *out += std::to_string(value);
}

void AppendField(std::string* out, const char* key, const std::string& value) {
    *out += ",\"";
    *out += key;
    *out += "\":";
    AppendJsonString(out, value);
}

void Remember(std::deque<EventText>* history, EventText event, std::size_t limit) {
    history->push_back(std::move(event));
    if (history->size() > limit) history->pop_front();
}

EventText Finish(std::string* text) {
    text->push_back('}');
    return std::make_shared<const std::string>(std::move(*text));
}

}  // namespace

EventHub::EventHub() = default;

std::string EventHub::Header(const char* type, std::uint64_t number) {
    std::string text = "{\"type\":\"";
    text += type;
    text += '"';
    AppendField(&text, "n", static_cast<std::int64_t>(number));
    AppendField(&text, "t",
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count());
    return text;
}

void EventHub::PublishFrame(int value_0, int value_1, const std::vector<WirePoint>& points) {
    std::lock_guard<std::mutex> hold(mutex_);
    const Clock::time_point now = Clock::now();
    ++rate_frames_;
    if (now - rate_since_ >= kRateWindow) {
        frames_per_second_ = static_cast<double>(rate_frames_) / std::chrono::duration<double>(now - rate_since_).count();
        rate_since_ = now;
        rate_frames_ = 0;
    }
    std::string text = Header("frame", ++frames_);
    AppendField(&text, "v0", value_0);
    AppendField(&text, "v1", value_1);
    text += ",\"fps\":";
    AppendJsonNumber(&text, static_cast<double>(static_cast<long long>(frames_per_second_ * 10 + 0.5)) / 10);
    text += ",\"points\":[";
    for (std::size_t i = 0; i < points.size(); ++i) {
        const WirePoint& p = points[i];
        if (i > 0) text += ',';
        text += '[';
        text += std::to_string(p.code_0) + ',' + std::to_string(p.code_1) + ',' + std::to_string(p.x) + ',' +
                std::to_string(p.y) + ',' + std::to_string(p.aux_0) + ',' + std::to_string(p.aux_1);
        text += ']';
    }
    text += ']';
    last_points_ = points;
    frame_ = Finish(&text);
    Publish_locked(frame_, true);
}

void EventHub::PublishGesture(int code, const std::string& name, const std::vector<double>& params) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string text = Header("gesture", ++gestures_);
    AppendField(&text, "code", code);
    AppendField(&text, "name", name);
    text += ",\"params\":[";
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (i > 0) text += ',';
        AppendJsonNumber(&text, params[i]);
    }
    // Where the gesture fired: the centre of the latest frame's points. The
    // library does not interpret gesture parameters, so neither does the view.
    text += "],\"at\":";
    if (last_points_.empty()) {
        text += "null";
    } else {
        double x = 0, y = 0;
        for (const WirePoint& p : last_points_) {
            x += p.x;
            y += p.y;
        }
        text += '[';
        AppendJsonNumber(&text, x / static_cast<double>(last_points_.size()));
        text += ',';
        AppendJsonNumber(&text, y / static_cast<double>(last_points_.size()));
        text += ']';
    }
    EventText event = Finish(&text);
    Remember(&gesture_history_, event, kSnapshotGestures);
    Publish_locked(std::move(event), false);
}

void EventHub::PublishInformation(const WireInformation& information) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string text = Header("information", 0);
    AppendField(&text, "v0", information.value_0);
    AppendField(&text, "v1", information.value_1);
    AppendField(&text, "text", information.text);
    information_ = Finish(&text);
    Publish_locked(information_, false);
}

void EventHub::PublishResolution(int x, int y) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string text = Header("resolution", 0);
    AppendField(&text, "x", x);
    AppendField(&text, "y", y);
    resolution_ = Finish(&text);
    Publish_locked(resolution_, false);
}

void EventHub::PublishError(int code) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string text = Header("error", ++errors_);
    AppendField(&text, "code", code);
    AppendField(&text, "number", StatusNumber(code));
    AppendField(&text, "text", std::string(GetStatusText(code)));
    EventText event = Finish(&text);
    Remember(&error_history_, event, kSnapshotErrors);
    Publish_locked(std::move(event), false);
}

void EventHub::PublishConnection(const ConnectionReport& report) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string text = Header("connection", 0);
    AppendField(&text, "state", std::string(StateName(report.state)));
    AppendField(&text, "server", report.server);
    AppendField(&text, "detail", report.detail);
    connection_ = Finish(&text);
    Publish_locked(connection_, false);
}

void EventHub::Publish_locked(EventText event, bool is_frame) {
    for (auto& page : pages_) page->backlog.Push(event, is_frame);
    if (!pages_.empty()) changed_.notify_all();
}

EventHub::Page* EventHub::Find_locked(PageId id) {
    for (auto& page : pages_) {
        if (page->id == id) return page.get();
    }
    return nullptr;
}

bool EventHub::OpenPage(PageId* id) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (closed_ || pages_.size() >= kMaxPages) return false;
    auto page = std::make_unique<Page>();
    page->id = next_page_++;
    // First the view's own clock, so that the page can tell the age of the
    // snapshot's events, then the snapshot.
    std::string hello = Header("hello", page->id);
    AppendField(&hello, "run", run_);
    AppendField(&hello, "max_frames", static_cast<std::int64_t>(kMaxQueuedFrames));
    page->backlog.Push(Finish(&hello), false);
    for (const EventText* event : {&connection_, &information_, &resolution_}) {
        if (*event) page->backlog.Push(*event, false);
    }
    for (const EventText& event : error_history_) page->backlog.Push(event, false);
    for (const EventText& event : gesture_history_) page->backlog.Push(event, false);
    if (frame_) page->backlog.Push(frame_, true);
    *id = page->id;
    pages_.push_back(std::move(page));
    return true;
}

void EventHub::ClosePage(PageId id) {
    std::lock_guard<std::mutex> hold(mutex_);
    pages_.erase(std::remove_if(pages_.begin(), pages_.end(), [&](const auto& page) { return page->id == id; }),
                 pages_.end());
    changed_.notify_all();
}

bool EventHub::WaitForPagesClosed(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, timeout, [&] { return pages_.empty(); });
}

EventHub::Wait EventHub::WaitForEvents(PageId id, std::chrono::milliseconds timeout, std::string* out) {
    std::vector<EventText> events;
    std::uint64_t dropped = 0;
    bool report_dropped = false;
    bool overflowed = false;
    bool ended = false;
    {
        std::unique_lock<std::mutex> hold(mutex_);
        Page* page = nullptr;
        changed_.wait_for(hold, timeout, [&] {
            page = Find_locked(id);
            return closed_ || !page || !page->backlog.empty() || page->backlog.overflowed();
        });
        if (!page) return Wait::kEnded;
        // A closing hub still hands over what was published before, so a
        // page shows everything the view received up to its end.
        overflowed = page->backlog.overflowed();
        ended = closed_;
        page->backlog.TakeAll(&events);
        dropped = page->backlog.dropped_frames();
        report_dropped = dropped != page->dropped_reported;
        page->dropped_reported = dropped;
    }
    if (report_dropped) {
        *out += "data: {\"type\":\"dropped\",\"frames\":" + std::to_string(dropped) + "}\n\n";
    }
    for (const EventText& event : events) {
        *out += "data: ";
        *out += *event;
        *out += "\n\n";
    }
    if (overflowed) {
        *out += "data: {\"type\":\"overflow\",\"limit\":" + std::to_string(kMaxQueuedOthers) + "}\n\n";
        return Wait::kEnded;
    }
    if (ended) return Wait::kEnded;
    return events.empty() && !report_dropped ? Wait::kTimeout : Wait::kEvents;
}

void EventHub::Close() {
    std::lock_guard<std::mutex> hold(mutex_);
    closed_ = true;
    changed_.notify_all();
}

std::size_t EventHub::open_pages() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return pages_.size();
}

}  // namespace vornmt::tools::view
