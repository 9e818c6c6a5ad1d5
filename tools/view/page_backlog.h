// The events waiting to be written to one open page. Frames are the bulk of
// the stream and only the latest matters for the picture, so when a page
// falls behind its oldest frames are dropped first and counted; gestures,
// errors and state changes are never dropped. If those alone pile up past
// their bound the backlog is marked overflowed: the stream is then ended, and
// the page reconnects and starts again from a fresh snapshot.
// Not thread-safe: EventHub guards every backlog with its own lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace vornmt::tools::view {

// One event as the page receives it: a JSON object, written once and shared
// by every page's backlog.
using EventText = std::shared_ptr<const std::string>;

// Frames one page may have waiting (about two seconds at 100 frames/s).
constexpr std::size_t kMaxQueuedFrames = 256;
// Other events one page may have waiting before its stream is restarted.
constexpr std::size_t kMaxQueuedOthers = 4096;

class PageBacklog {
public:
    PageBacklog(std::size_t max_frames = kMaxQueuedFrames, std::size_t max_others = kMaxQueuedOthers)
        : max_frames_(max_frames > 0 ? max_frames : 1), max_others_(max_others > 0 ? max_others : 1) {}

    void Push(EventText event, bool is_frame);
    // Moves every waiting event, oldest first, to the end of `events`.
    void TakeAll(std::vector<EventText>* events);

    bool empty() const { return entries_.empty(); }
    // Frames dropped from this backlog so far.
    std::uint64_t dropped_frames() const { return dropped_frames_; }
    bool overflowed() const { return overflowed_; }

private:
    struct Entry {
        EventText event;
        bool is_frame;
    };

    std::size_t max_frames_;
    std::size_t max_others_;
    std::deque<Entry> entries_;
    std::size_t frames_ = 0;  // frames among entries_
    std::uint64_t dropped_frames_ = 0;
    bool overflowed_ = false;
};

}  // namespace vornmt::tools::view
