// When the library connects again in the background: the application's
// setting (off, or the first and the longest wait) and the waits it gives,
// doubling from the first to the longest, each varied by up to a fifth.
// The setting is read and written on any thread; the waits are counted on the
// receive thread only.
#pragma once

#include <atomic>
#include <cstdint>

namespace vornmt::client {

class ReconnectPolicy {
public:
    // 0, 0 turns it off. Returns 0, or 10022 for a negative value, a min
    // above max, or a min of 0 with a max above it (which would retry
    // without pause); then nothing changes.
    int Set(std::int32_t min_delay_ms, std::int32_t max_delay_ms);
    void TurnOff() { delays_.store(0); }
    bool on() const { return delays_.load() != 0; }

    // Receive thread: a new series of attempts begins.
    void Restart() { next_ms_ = 0; }
    // Receive thread: the wait before the next attempt, in milliseconds;
    // -1 once reconnection is off.
    int NextDelayMs();

private:
    // min in the low 32 bits, max in the high ones: one atomic, so that a
    // reader never mixes two settings.
    std::atomic<std::uint64_t> delays_{0};
    std::int64_t next_ms_ = 0;       // receive thread: the wait before jitter
    std::uint32_t jitter_state_ = 0;  // receive thread
};

}  // namespace vornmt::client
