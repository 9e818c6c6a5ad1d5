#include "client/reconnect_policy.h"

#include <algorithm>
#include <chrono>

namespace vornmt::client {
namespace {

constexpr int kInvalidArgument = 10022;  // WSAEINVAL

}  // namespace

int ReconnectPolicy::Set(std::int32_t min_delay_ms, std::int32_t max_delay_ms) {
    if (min_delay_ms < 0 || max_delay_ms < 0 || min_delay_ms > max_delay_ms) return kInvalidArgument;
    if (min_delay_ms == 0 && max_delay_ms != 0) return kInvalidArgument;
    delays_.store(static_cast<std::uint64_t>(static_cast<std::uint32_t>(max_delay_ms)) << 32 |
                  static_cast<std::uint32_t>(min_delay_ms));
    return 0;
}

int ReconnectPolicy::NextDelayMs() {
    const std::uint64_t delays = delays_.load();
    if (delays == 0) return -1;
    const std::int64_t min_ms = static_cast<std::int64_t>(delays & 0xFFFFFFFFu);
    const std::int64_t max_ms = static_cast<std::int64_t>(delays >> 32);
    next_ms_ = next_ms_ == 0 ? min_ms : std::min(next_ms_ * 2, max_ms);
    next_ms_ = std::max(next_ms_, min_ms);
    // A small generator of the thread's own, seeded by the clock: the waits
    // need only differ between clients, not be unpredictable.
    if (jitter_state_ == 0) {
        jitter_state_ = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) | 1u;
    }
    jitter_state_ ^= jitter_state_ << 13;
    jitter_state_ ^= jitter_state_ >> 17;
    jitter_state_ ^= jitter_state_ << 5;
    // Up to a fifth shorter or longer.
    const std::int64_t spread = next_ms_ / 5;
    const std::int64_t offset =
        spread == 0 ? 0 : static_cast<std::int64_t>(jitter_state_ % static_cast<std::uint32_t>(2 * spread + 1)) - spread;
    return static_cast<int>(std::clamp<std::int64_t>(next_ms_ + offset, 1, 0x7FFFFFFF));
}

}  // namespace vornmt::client
