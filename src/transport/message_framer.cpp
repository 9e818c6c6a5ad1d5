#include "transport/message_framer.h"

#include <cstring>

namespace vornmt::transport {

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
                std::string().swap(carry_over_);  // give the memory back
            } else {
                carry_over_.append(data, piece);
            }
        }
        if (nul == nullptr) break;
        if (dropping_) {
            dropping_ = false;
        } else {
            batch.push_back(std::move(carry_over_));
            carry_over_.clear();
        }
        data = nul + 1;
    }
    return oversized;
}

}  // namespace vornmt::transport
