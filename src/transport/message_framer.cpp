#include "transport/message_framer.h"

#include <cstring>

namespace vornmt::transport {
namespace {

// A completed text whose buffer holds more than this beyond its length
// (an eighth of it, or this much for short ones) is queued as a copy that
// fits: a text grown across reads may hold twice its length.
constexpr std::size_t kSpareBytesQueued = 256;

}  // namespace

void MessageFramer::CompleteText(std::vector<std::string>& batch) {
    const std::size_t spare = carry_over_.capacity() - carry_over_.size();
    if (spare <= kSpareBytesQueued + carry_over_.size() / 8) {
        batch.push_back(std::move(carry_over_));
        carry_over_.clear();
        return;
    }
    // The carry-over keeps its buffer (at most about twice the message bound)
    // for the next text: growing one anew by doubling for every long text
    // left the allocator with freed blocks it keeps resident, several
    // megabytes over the queue's bound under a flood of long texts.
    batch.emplace_back(carry_over_.data(), carry_over_.size());
    carry_over_.clear();
}

int MessageFramer::Feed(const char* data, std::size_t size, std::vector<std::string>& batch) {
    int oversized = 0;
    const char* end = data + size;
    while (data < end) {
        const char* nul = static_cast<const char*>(std::memchr(data, '\0', static_cast<std::size_t>(end - data)));
        const char* piece_end = nul != nullptr ? nul : end;
        std::size_t piece = static_cast<std::size_t>(piece_end - data);
        if (!dropping_) {
            if (carry_over_.size() + piece > max_message_bytes_) {
                dropping_ = true;
                ++oversized;
                batch.push_back(OversizedMarker());
                std::string().swap(carry_over_);  // give the memory back
            } else {
                carry_over_.append(data, piece);
            }
        }
        if (nul == nullptr) break;
        if (dropping_) {
            dropping_ = false;
        } else {
            CompleteText(batch);
        }
        data = nul + 1;
    }
    return oversized;
}

}  // namespace vornmt::transport
