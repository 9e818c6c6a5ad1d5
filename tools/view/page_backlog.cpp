#include "view/page_backlog.h"

#include <algorithm>

namespace vornmt::tools::view {

void PageBacklog::Push(EventText event, bool is_frame) {
    if (overflowed_) return;  // the stream ends; the page starts again from a snapshot
    if (is_frame && frames_ == max_frames_) {
        auto oldest = std::find_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.is_frame; });
        entries_.erase(oldest);
        --frames_;
        ++dropped_frames_;
    }
    if (!is_frame && entries_.size() - frames_ == max_others_) {
        overflowed_ = true;
        entries_.clear();
        frames_ = 0;
        return;
    }
    entries_.push_back(Entry{std::move(event), is_frame});
    if (is_frame) ++frames_;
}

void PageBacklog::TakeAll(std::vector<EventText>* events) {
    for (Entry& entry : entries_) events->push_back(std::move(entry.event));
    entries_.clear();
    frames_ = 0;
}

}  // namespace vornmt::tools::view
